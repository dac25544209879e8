// The menu driven through standard input, as a person or a script would.
#include "fixture.h"

namespace {

std::string Menu(int loops, const char* start, const char* stop) {
  return "\n'i' to set in\n'o' to set out\n'l' to change number of loops (" + std::to_string(loops) +
         ")\n'p' to play with current settings: " + start + " to " + stop +
         " sec\n'w' to play whole file\n'x' to exit\n'+' to show additional commands\n";
}

const char kMore[] =
    "\nAdditional Commands:\n"
    "\t'j' to jump time selection ahead\n"
    "\t'J' to jump time selection back\n"
    "\t'n' to nudge start forward\n"
    "\t'b' to nudge start backward\n"
    "\t'no' to nudge stop point forward\n"
    "\t'bo' to nudge stop point backward\n"
    "\t'N' to nudge both start and stop forward\n"
    "\t'B' to nudge both start and stop backward\n"
    "\t'nn' to set nudge amount\n"
    "\t'f' to toggle follow mode (off)\n"
    "\t'v' to view the loop's seam\n"
    "\t'z' to snap start and stop to zero crossings\n";

std::string Nudge(const char* amount) {
  return std::string("\nCurrent Nudge Amount = ") + amount +
         "\nEnter new nudge amount (in samples) or '0' to keep settings\n";
}

class MenuTest : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    wave_.data = Ramp(800 * 4);  // 0.1 s at 8000 Hz
    file_ = Write("a.wav", WaveFile(wave_));
  }
  Outcome Type(const std::string& input, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{Capture("out.raw"), file_};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunZuvaroza(args, input);
  }
  WaveLayout wave_;
  std::string file_;
};

TEST_F(MenuTest, TextsAndDialogs) {
  const std::string menu = Menu(1, "0.00", "0.10");
  Outcome o = Type("+\nl\n3\nnn\n0\nnn\n-5\nnn\n50\nnn\nx\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, menu + kMore + menu + "Enter number of loops.\n" + Menu(3, "0.00", "0.10") +
                       Nudge("12000 samples or 1.500 sec") + Menu(3, "0.00", "0.10") +
                       Nudge("12000 samples or 1.500 sec") + Menu(3, "0.00", "0.10") +
                       Nudge("12000 samples or 1.500 sec") + Menu(3, "0.00", "0.10") +
                       Nudge("50 samples or 0.006 sec") + Menu(3, "0.00", "0.10") + "\n");
  EXPECT_EQ(Read("out.raw").size(), 0u);
}

TEST_F(MenuTest, EmptyAndReversedSelections) {
  Outcome o = Type("p\n", {"0.05", "0.05"});
  EXPECT_EQ(o.out, Menu(1, "0.05", "0.05") + "Start time and stop time are the same!\n" +
                       Menu(1, "0.05", "0.05") + "\n");
  o = Type("p\n", {"0.05", "0.02"});
  EXPECT_EQ(o.out, Menu(1, "0.05", "0.02") + "Start time is set later than stop time!\n" +
                       "Playing...\nstart = 0.05 sec\nstop  = 0.02 sec\n\n" + Menu(1, "0.05", "0.02") + "\n");
  EXPECT_EQ(Read("out.raw").size(), 0u);

  // "px" that could not play still ends the run after the next pass
  o = Type("w\n", {"0.05", "0.05", "px"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.substr(o.out.size() - 18), "\rclock = 0.00 sec\n");
  EXPECT_TRUE(Read("out.raw") == wave_.data);
}

TEST_F(MenuTest, WordsOnOneLineAndFirstCommand) {
  Outcome o = Type("nn 100 n n p\n");  // the start moves 200 frames
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == Slice(wave_.data, 800, wave_.data.size()));
  EXPECT_NE(o.out.find(Menu(1, "0.01", "0.10") + Menu(1, "0.03", "0.10") + "Playing..."),
            std::string::npos);

  o = Type("", {"0", "0", "p"});  // plays, then the menu; the end of input then ends it
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, "Playing...\nstart = 0.00 sec\nstop  = 0.10 sec\n\rclock = 0.00 sec\n" +
                       Menu(1, "0.00", "0.10") + "\n");
  EXPECT_TRUE(Read("out.raw") == wave_.data);
}

TEST_F(MenuTest, NumberPromptsGiveBackWhatTheyCannotRead) {
  Outcome o = Type("i 0.025 o p\n");  // "p" is no out-time: the stop stays, then it plays
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == Slice(wave_.data, 800, wave_.data.size()));
  o = Type("l 2x p\n");  // 2 loops, then "x" ends before "p"
  EXPECT_NE(o.out.find("loops (2)"), std::string::npos);
  EXPECT_EQ(o.out.find("Playing"), std::string::npos);
  o = Type("o\n");  // the end of input at a prompt, then in the menu
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out, Menu(1, "0.00", "0.10") + "Enter out-time in seconds.\n" + Menu(1, "0.00", "0.10") + "\n");
}

}  // namespace
