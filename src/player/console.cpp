#include "player/console.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

bool ReadWord(Console* console, std::string* word) {
  std::fflush(console->out);
  if (!console->pending.empty()) {
    word->swap(console->pending);
    console->pending.clear();
    return true;
  }
  int c;
  while ((c = std::getc(console->in)) != EOF && std::isspace(c)) {
  }
  if (c == EOF) return false;
  word->clear();
  do {
    word->push_back(static_cast<char>(c));
  } while ((c = std::getc(console->in)) != EOF && !std::isspace(c));
  return true;
}

namespace {

// Reads a word and hands it to `parse`, which returns how many characters it used.
template <typename Parse>
bool ReadNumber(Console* console, Parse parse) {
  std::string word;
  if (!ReadWord(console, &word)) return false;
  const size_t used = parse(word.c_str());
  console->pending = word.substr(used);
  return used > 0;
}

}  // namespace

bool ReadInt(Console* console, int* value) {
  return ReadNumber(console, [value](const char* text) -> size_t {
    char* end;
    const long long v = std::strtoll(text, &end, 0);
    if (end == text) return 0;
    *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
    return static_cast<size_t>(end - text);
  });
}

bool ReadInt64(Console* console, int64_t* value) {
  return ReadNumber(console, [value](const char* text) -> size_t {
    char* end;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text) return 0;
    *value = v;
    return static_cast<size_t>(end - text);
  });
}

bool ReadFloat(Console* console, float* value) {
  return ReadNumber(console, [value](const char* text) -> size_t {
    char* end;
    const float v = std::strtof(text, &end);
    if (end == text) return 0;
    *value = v;
    return static_cast<size_t>(end - text);
  });
}
