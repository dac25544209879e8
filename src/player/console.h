// Whitespace-delimited words and numbers from an input stream, read the way
// the menu and its prompts expect.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct Console {
  FILE* in = stdin;
  FILE* out = stdout;   // flushed before every read, so a script sees each prompt
  std::string pending;  // text a number prompt could not use: the next word
};

// Reads the next word. Returns false at the end of input.
bool ReadWord(Console* console, std::string* word);

// Number prompts read one word and take the number at its front; the rest of
// the word, or the whole word when no number starts it, is the next word.
// On failure the value is left as it was. Out-of-range numbers saturate.
bool ReadInt(Console* console, int* value);        // decimal, 0-octal or 0x-hex
bool ReadInt64(Console* console, int64_t* value);  // decimal
bool ReadFloat(Console* console, float* value);
