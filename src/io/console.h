// Whitespace-delimited words and numbers from standard input, read the way
// the menu and its prompts expect. The console keeps its own buffer, so that
// it knows when a word is already there and when it must wait for one.
#pragma once
#include <cstdint>
#include <string>

#include "io/wait.h"

// Standard input, for the whole run: the file prompt's and the menu's.
struct Console {
  Waiter* waiter = nullptr;
  std::string buffered;   // read but not yet used
  bool ended = false;     // no more input will come
  std::string pending;    // text a number prompt could not use: the next word
};

// Reads the next word. Returns false at the end of input.
bool ReadWord(Console* console, std::string* word);

enum class Got { Word, End, Save };

// The menu's read: as ReadWord, but in follow mode a save that comes while
// it waits ends the wait, with no word read.
Got ReadCommand(Console* console, std::string* word);

// Number prompts read one word and take the number at its front; the rest of
// the word, or the whole word when no number starts it, is the next word.
// On failure the value is left as it was. Out-of-range numbers saturate.
bool ReadInt(Console* console, int* value);        // decimal, 0-octal or 0x-hex
bool ReadInt64(Console* console, int64_t* value);  // decimal

// A time: seconds, or frames for a whole number ending in "s", as sox writes
// them ("96038s"): `*frames` says which was read.
bool ReadTime(Console* console, double* seconds, int64_t* frame, bool* frames);
