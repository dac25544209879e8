#include "player/console.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>

namespace {

// A console reading `input`.
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
  const std::string input = "  n\tno\n" + longWord + " \x01\xff ";
  FakeConsole c(input);
  EXPECT_EQ(c.Word(), "n");
  EXPECT_EQ(c.Word(), "no");
  EXPECT_EQ(c.Word(), longWord);
  EXPECT_EQ(c.Word(), "\x01\xff");
  EXPECT_EQ(c.Word(), "<end>");
  EXPECT_EQ(c.Word(), "<end>");
}

TEST(Console, NumbersLeaveWhatTheyCannotUse) {
  FakeConsole c("0x1F 010 12abc p 99999999999 -99999999999 nan 1e99 3.5x");
  int i = -1;
  ASSERT_TRUE(ReadInt(&c.console, &i));
  EXPECT_EQ(i, 31);
  ASSERT_TRUE(ReadInt(&c.console, &i));
  EXPECT_EQ(i, 8);
  ASSERT_TRUE(ReadInt(&c.console, &i));
  EXPECT_EQ(i, 12);
  EXPECT_EQ(c.Word(), "abc");
  EXPECT_FALSE(ReadInt(&c.console, &i));  // "p" is no number: unchanged, next word
  EXPECT_EQ(i, 12);
  EXPECT_EQ(c.Word(), "p");
  ASSERT_TRUE(ReadInt(&c.console, &i));
  EXPECT_EQ(i, INT_MAX);
  ASSERT_TRUE(ReadInt(&c.console, &i));
  EXPECT_EQ(i, INT_MIN);
  float f = 0;
  ASSERT_TRUE(ReadFloat(&c.console, &f));
  EXPECT_TRUE(std::isnan(f));
  ASSERT_TRUE(ReadFloat(&c.console, &f));
  EXPECT_TRUE(std::isinf(f));
  ASSERT_TRUE(ReadFloat(&c.console, &f));
  EXPECT_EQ(f, 3.5f);
  EXPECT_EQ(c.Word(), "x");
  int64_t n = 7;
  EXPECT_FALSE(ReadInt64(&c.console, &n));
  EXPECT_EQ(n, 7);
}

}  // namespace
