#include "io/console.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "io/interrupt.h"
#include "io/loop.h"

namespace {

constexpr const char* kSpace = " \t\n\v\f\r";

bool IsSpace(char ch) { return ch != '\0' && std::strchr(kSpace, ch) != nullptr; }

long long Saturated(const char* text, char** end, int base) {
  errno = 0;
  return std::strtoll(text, end, base);  // saturates, as the prompts want
}

}  // namespace

void ReadInput(Console* c) {
  constexpr size_t kChunk = 65536;
  const size_t had = c->buffered.size();
  c->buffered.resize(had + kChunk);
  ssize_t n;
  do {
    n = read(0, &c->buffered[had], kChunk);
  } while (n < 0 && errno == EINTR);
  c->buffered.resize(had + (n > 0 ? static_cast<size_t>(n) : 0));
  // an error reading standard input is its end too; EAGAIN cannot come, it was readable
  if (n <= 0) c->ended = true;
}

bool TakeWord(Console* c, std::string* word, bool* emptyLine) {
  if (!c->pending.empty()) {
    word->swap(c->pending);
    c->pending.clear();
    return c->lineHasWord = true;
  }
  size_t start = 0;
  for (; start < c->buffered.size() && IsSpace(c->buffered[start]); ++start) {
    if (c->buffered[start] != '\n') continue;
    if (emptyLine && !c->lineHasWord) {
      c->buffered.erase(0, start + 1);
      word->clear();
      return *emptyLine = true;
    }
    c->lineHasWord = false;
  }
  const size_t end = c->buffered.find_first_of(kSpace, start);
  c->buffered.erase(0, start);  // only spaces before it, or nothing at all
  if (c->buffered.empty() || (end == std::string::npos && !c->ended)) return false;
  const size_t length = end == std::string::npos ? end : end - start;
  word->assign(c->buffered, 0, length);
  c->buffered.erase(0, length);
  if (emptyLine) *emptyLine = false;
  return c->lineHasWord = true;
}

bool InputDone(const Console& c) {
  return c.ended && c.pending.empty() && c.buffered.find_first_not_of(kSpace) == std::string::npos;
}

bool WaitForWord(Console* c, std::string* word) {
  while (!TakeWord(c, word)) {
    if (c->ended) return false;
    Want want;
    want.input = true;
    const Wake wake = Poll(want);
    if (wake == Wake::Input) ReadInput(c);
    if (wake == Wake::Signal) TakeSignals();
  }
  return true;
}

size_t ParseInt(const std::string& word, int* value) {
  char* end;
  const long long v = Saturated(word.c_str(), &end, 0);
  if (end == word.c_str()) return 0;
  *value = v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
  return static_cast<size_t>(end - word.c_str());
}

size_t ParseInt64(const std::string& word, int64_t* value) {
  char* end;
  const long long v = Saturated(word.c_str(), &end, 10);
  if (end == word.c_str()) return 0;
  *value = v;
  return static_cast<size_t>(end - word.c_str());
}

size_t ParseTime(const std::string& word, double* seconds, int64_t* frame, bool* frames) {
  const char* text = word.c_str();
  char* end;
  const long long v = Saturated(text, &end, 10);
  *frames = end != text && *end == 's';
  if (*frames) {
    *frame = v;
    return static_cast<size_t>(end + 1 - text);
  }
  const double d = std::strtod(text, &end);
  if (end == text) return 0;
  *seconds = d;
  return static_cast<size_t>(end - text);
}
