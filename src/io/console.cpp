#include "io/console.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "io/wait.h"

namespace {

constexpr const char* kSpace = " \t\n\v\f\r";

// Moves the first whole word of what was read into `word`; a word still being
// typed is whole only once the input has ended.
bool TakeWord(Console* c, std::string* word) {
  const size_t start = c->buffered.find_first_not_of(kSpace);
  const size_t end = start == std::string::npos ? start : c->buffered.find_first_of(kSpace, start);
  if (start == std::string::npos || (end == std::string::npos && !c->ended)) {
    c->buffered.erase(0, start);  // only spaces before it, or nothing at all
    return false;
  }
  word->assign(c->buffered, start, end - start);
  c->buffered.erase(0, end);
  return true;
}

// Waits for more input and appends it; false when a save came first.
bool ReadMore(Console* c, bool saveEnds) {
  if (Wait(c->waiter, kInput | (saveEnds ? kSave : 0u), kNever) == Event::Save) return false;
  constexpr size_t kChunk = 65536;
  const size_t had = c->buffered.size();
  c->buffered.resize(had + kChunk);
  ssize_t n;
  do {
    n = read(0, &c->buffered[had], kChunk);
  } while (n < 0 && errno == EINTR);
  c->buffered.resize(had + (n > 0 ? static_cast<size_t>(n) : 0));
  if (n <= 0) c->ended = true;  // an error reading standard input is its end too
  return true;
}

Got NextWord(Console* c, std::string* word, bool saveEnds) {
  if (!c->pending.empty()) {
    word->swap(c->pending);
    c->pending.clear();
    return Got::Word;
  }
  while (!TakeWord(c, word)) {
    if (c->ended) return Got::End;
    if (!ReadMore(c, saveEnds)) return Got::Save;
  }
  return Got::Word;
}

}  // namespace

bool ReadWord(Console* console, std::string* word) { return NextWord(console, word, false) == Got::Word; }

Got ReadCommand(Console* console, std::string* word) { return NextWord(console, word, true); }

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

bool ReadTime(Console* console, double* seconds, int64_t* frame, bool* frames) {
  return ReadNumber(console, [=](const char* text) -> size_t {
    char* end;
    const long long v = std::strtoll(text, &end, 10);
    *frames = end != text && *end == 's';
    if (*frames) {
      *frame = v;
      return static_cast<size_t>(end + 1 - text);
    }
    const double f = std::strtod(text, &end);
    if (end == text) return 0;
    *seconds = f;
    return static_cast<size_t>(end - text);
  });
}
