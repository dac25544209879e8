// Ctrl-C on the null device: it stops a pass that returns to the menu, and ends the program
// anywhere else, unless the caller ignored it.
#include <signal.h>
#include <unistd.h>

#include "../harness.h"

namespace {

class Interrupt : public EndToEnd {
 protected:
  // Waits for each text in turn.
  static bool Shows(Process* p, const Strings& texts, double seconds = 5) {
    for (const std::string& t : texts)
      if (!p->WaitFor(t, seconds)) return false;
    return true;
  }
};

TEST_F(Interrupt, StopsAPassThatReturnsToTheMenu) {
  Write("a.wav", WaveFile(Layout(44100, 2, 16, 441000)));  // 10 s: a million loops take hours
  Process p({"null", Path("a.wav")});
  p.Send("l 1000000 p\n");
  ASSERT_TRUE(Shows(&p, {"Playing..."}));
  usleep(200000);
  p.Signal(SIGINT);
  ASSERT_TRUE(Shows(&p, {"(1000000)\n'p' to play with current settings: 0.00 to 10.00 sec", kMenuEnd}));
  p.Send("l 2 p\n");  // the next pass plays through
  ASSERT_TRUE(Shows(&p, {"Loops remaining: 0", kMenuEnd}));
  p.Send("x\n");
  EXPECT_EQ(p.Finish().status, 0);
  // anywhere else, Ctrl-C ends the program: in the menu, in a "px" pass, at the file prompt
  for (const Strings& args : {Strings{"null", Path("a.wav")}, Strings{"null", Path("a.wav"), "0", "0", "px", "1000"},
                              Strings{"null"}}) {
    Process q(args);
    ASSERT_TRUE(q.WaitFor(args.size() > 2 ? "Playing..." : args.size() > 1 ? kMenuEnd : "to exit: \n"));
    q.Signal(SIGINT);
    EXPECT_EQ(q.Finish(5).signal, SIGINT) << args.size();
  }
  // unless the caller ignored it (a background job): then it stays ignored, after a pass too
  Process q("/bin/sh", {"-c", "trap '' INT; exec \"$0\" \"$@\"", ZUVAROZA_BIN, "null", Path("a.wav"), "0", "0.1", "p"}, {});
  ASSERT_TRUE(Shows(&q, {kMenuEnd}));
  q.Signal(SIGINT);
  usleep(100000);
  q.Send("x\n");
  EXPECT_EQ(q.Finish().status, 0);
}

// Waiting in the menu, following saves, costs no time.
TEST_F(Interrupt, TheMenuWaitsWithoutSpinning) {
  Process p({"-f", "null", Write("a.wav", WaveFile(Layout(8000, 2, 16, 800)))});
  ASSERT_TRUE(Shows(&p, {kMenuEnd}));
  usleep(1000000);
  p.Send("x\n");
  EXPECT_LE(p.Finish().cpuSeconds, 0.1);
}

}  // namespace
