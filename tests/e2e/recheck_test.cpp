// A file changed between two passes while the program waits in the menu.
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "../harness.h"

namespace {

class Recheck : public EndToEnd {
 protected:
  // Plays `first` with "p", lets `change` alter the file, then types `words`.
  Outcome TwoPasses(const WaveLayout& first, const std::function<void()>& change, const std::string& words) {
    Process p({Capture("out.raw"), Write("a.wav", WaveFile(first)), "0", "0", "p"});
    EXPECT_TRUE(p.WaitFor(kMenuEnd));
    change();
    p.Send(words);
    return p.Finish();
  }
};

TEST_F(Recheck, ShapeChangesEndTheRun) {
  WaveLayout floats = Layout(8000, 2, 32, 800), wider = Layout(8000, 2, 24, 800);
  floats.format = 3;     // the same width as float
  wider.blockAlign = 8;  // the same 24 bits, now in 4-byte containers
  const struct {
    WaveLayout before, now;
    const char* word;
    std::string warning;
  } kCases[] = {
      {Layout(8000, 2, 16, 800), Layout(16000, 2, 16, 800), "p", "samplerate"},
      {Layout(8000, 2, 16, 800), Layout(16000, 2, 16, 800), "x", "samplerate"},  // exiting re-checks too
      {Layout(8000, 2, 16, 800), Layout(8000, 2, 24, 800), "p", "bit depth"},
      {Layout(8000, 2, 16, 800), Layout(8000, 1, 16, 800), "x", "channel number"},
      {Layout(8000, 2, 32, 800), floats, "p", "bit depth"},
      {Layout(8000, 2, 24, 800), wider, "p", "bit depth"},
  };
  for (const auto& c : kCases) {
    const Outcome o = TwoPasses(c.before, [&] { Write("a.wav", WaveFile(c.now)); }, std::string(c.word) + "\n");
    EXPECT_EQ(o.status, 1);
    const std::string line = "\nWARNING: Wavefile " + c.warning + " has changed!  Restart the program.\n";
    EXPECT_EQ(o.out.substr(o.out.size() - line.size()), line);
  }
}

TEST_F(Recheck, NewLengthsWarnAndClipAndRenamedFilesPlay) {
  const WaveLayout first = Layout(8000, 2, 16, 8000), shorter = Layout(8000, 2, 16, 3000, 2);
  Outcome o = TwoPasses(first, [&] { Write("a.wav", WaveFile(shorter)); }, "p\np\n");
  EXPECT_EQ(o.status, 0);
  const std::string warned = "WARNING: Wavefile length has changed!\nPlaying...\nstart = 0.00 sec\nstop  = 0.38 sec\n";
  EXPECT_NE(o.out.find(warned), o.out.rfind(warned));  // on every later pass
  EXPECT_TRUE(Read("out.raw") == first.data + shorter.data + shorter.data);

  const WaveLayout second = Layout(8000, 2, 16, 8000, 3);
  o = TwoPasses(first, [&] {
    Write("new.wav", WaveFile(second));
    ASSERT_EQ(std::rename(Path("new.wav").c_str(), Path("a.wav").c_str()), 0);
  }, "p\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == first.data + second.data);
}

// The seam tools look at the file only as the last pass found it.
TEST_F(Recheck, SeamToolsRefuseAFileThatChangedOrWent) {
  Process p({Capture("out.raw"), Write("a.wav", WaveFile(Layout(8000, 1, 16, 1000)))});
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  Write("a.wav", WaveFile(Layout(8000, 1, 16, 900)));
  p.Send("v z\n");
  for (int i = 0; i < 2; ++i)
    EXPECT_TRUE(p.WaitFor("The file has changed since it was last played: play it again first.\n"));
  ASSERT_EQ(unlink(Path("a.wav").c_str()), 0);
  p.Send("v\n");
  EXPECT_TRUE(p.WaitFor("The file called " + Path("a.wav") + " cannot be found!\n"));
  p.Send("x\n");
  EXPECT_EQ(p.Finish().status, 2);  // "x" reads the file again, and it is gone
}

}  // namespace
