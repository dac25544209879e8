// Whitespace-delimited words from standard input, read as they come, without
// waiting: the loop says when input is there, and the menu takes whole words.
// Numbers are read from the front of a word; what a number does not use is
// the next word.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Standard input, for the whole run: the file prompt's and the menu's.
struct Console {
  std::string buffered;      // read but not yet used
  bool ended = false;        // no more input will come
  std::string pending;       // what a number did not use: the next word
  bool lineHasWord = false;  // a word was taken since the last line end
};

// Reads what standard input holds now; it was found readable, so this does not wait.
void ReadInput(Console* console);

// The next whole word, if there is one; a word still being typed is whole
// only once the input has ended. With `emptyLine`, a line ended with no word
// on it (Enter alone) is taken too, as an empty word with `*emptyLine` set.
bool TakeWord(Console* console, std::string* word, bool* emptyLine = nullptr);

// Whether the input has ended with no word left.
bool InputDone(const Console& console);

// Before the run, for the file prompt: waits for the next word. False at the end of input.
bool WaitForWord(Console* console, std::string* word);

// Numbers at the front of `word`: how many characters they used, 0 for none.
// Out-of-range numbers saturate.
size_t ParseInt(const std::string& word, int* value);        // decimal, 0-octal or 0x-hex
size_t ParseInt64(const std::string& word, int64_t* value);  // decimal

// A time: seconds, or frames for a whole number ending in "s", as sox writes
// them ("96038s"): `*frames` says which was read.
size_t ParseTime(const std::string& word, double* seconds, int64_t* frame, bool* frames);
