#include "player/console.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cmath>

namespace {

// A console reading `input` from a file in memory.
struct FakeConsole {
  explicit FakeConsole(const std::string& input) {
    console.in = memfd_create("input", 0);
    EXPECT_EQ(write(console.in, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    lseek(console.in, 0, SEEK_SET);
  }
  ~FakeConsole() { close(console.in); }
  std::string Word() {
    std::string w;
    return ReadWord(&console, &w) ? w : "<end>";
  }
  Console console;
};

TEST(Console, WordsOfAnyLengthUntilTheEnd) {
  const std::string longWord(100000, 'q');
  FakeConsole c("  n\tno\n" + longWord + " \x01\xff ");
  for (const std::string& want : {std::string("n"), std::string("no"), longWord, std::string("\x01\xff"),
                                  std::string("<end>"), std::string("<end>")})
    EXPECT_EQ(c.Word(), want);
}

TEST(Console, NumbersLeaveWhatTheyCannotUse) {
  FakeConsole c("0x1F 010 12abc p 99999999999 -99999999999 nan 1e99 3.5x 9");
  int i = -1;
  for (int want : {31, 8, 12}) {
    ASSERT_TRUE(ReadInt(&c.console, &i));
    EXPECT_EQ(i, want);
  }
  EXPECT_EQ(c.Word(), "abc");
  EXPECT_FALSE(ReadInt(&c.console, &i));  // "p" is no number: unchanged, next word
  EXPECT_EQ(i, 12);
  EXPECT_EQ(c.Word(), "p");
  for (int want : {INT_MAX, INT_MIN}) {
    ASSERT_TRUE(ReadInt(&c.console, &i));
    EXPECT_EQ(i, want);
  }
  float f = 0;
  ASSERT_TRUE(ReadFloat(&c.console, &f) && std::isnan(f));
  ASSERT_TRUE(ReadFloat(&c.console, &f) && std::isinf(f));
  ASSERT_TRUE(ReadFloat(&c.console, &f));
  EXPECT_EQ(f, 3.5f);
  int64_t n = 7;
  EXPECT_FALSE(ReadInt64(&c.console, &n));  // "x"
  EXPECT_EQ(n, 7);
  EXPECT_EQ(c.Word(), "x");
  EXPECT_TRUE(ReadInt64(&c.console, &n));
  EXPECT_EQ(n, 9);
}

}  // namespace
