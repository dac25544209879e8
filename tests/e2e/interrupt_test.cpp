// Ctrl-C stops a pass that returns to the menu, and ends the program anywhere else.
#include <signal.h>
#include <unistd.h>

#include "../harness.h"

namespace {

class Interrupt : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    file_ = Write("a.wav", WaveFile(Layout(44100, 2, 16, 441000)));  // 10 s: a million loops take hours
  }
  std::string file_;
};

TEST_F(Interrupt, StopsThePassAndKeepsTheSession) {
  Process p({"null", file_});
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  p.Send("l 1000000 p\n");
  ASSERT_TRUE(p.WaitFor("Playing..."));
  usleep(200000);
  p.Signal(SIGINT);
  ASSERT_TRUE(p.WaitFor("(1000000)\n'p' to play with current settings: 0.00 to 10.00 sec", 5));
  ASSERT_TRUE(p.WaitFor(kMenuEnd, 5));
  EXPECT_TRUE(p.Running());
  p.Send("l 2 p\n");  // the next pass plays through
  ASSERT_TRUE(p.WaitFor("Loops remaining: 0"));
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  p.Send("x\n");
  Outcome o = p.Finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.signal, 0);
}

TEST_F(Interrupt, EndsTheProgramElsewhere) {
  Process inMenu({"null", file_});
  ASSERT_TRUE(inMenu.WaitFor(kMenuEnd));
  inMenu.Signal(SIGINT);
  EXPECT_EQ(inMenu.Finish().signal, SIGINT);

  Process playAndExit({"null", file_, "0", "0", "px", "1000000"});
  ASSERT_TRUE(playAndExit.WaitFor("Playing..."));
  playAndExit.Signal(SIGINT);
  EXPECT_EQ(playAndExit.Finish(5).signal, SIGINT);

  Process atPrompt({"null"});
  ASSERT_TRUE(atPrompt.WaitFor("to exit: \n"));
  atPrompt.Signal(SIGINT);
  EXPECT_EQ(atPrompt.Finish().signal, SIGINT);
}

// A background job of a shell: Ctrl-C meant for the shell must not end the player.
TEST_F(Interrupt, IgnoredByTheCallerStaysIgnored) {
  Process p("/bin/sh", {"-c", "trap '' INT; exec \"$0\" \"$@\"", ZUVAROZA_BIN, "null", file_}, {});
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  p.Send("p\n");
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  p.Signal(SIGINT);
  usleep(100000);
  EXPECT_TRUE(p.Running());
  p.Send("x\n");
  const Outcome o = p.Finish();
  EXPECT_EQ(o.signal, 0);
  EXPECT_EQ(o.status, 0);
}

}  // namespace
