// A file changed between two passes while the program waits in the menu.
#include <cstdio>
#include <functional>

#include "fixture.h"

namespace {

const char kMenuEnd[] = "'+' to show additional commands\n";

class Recheck : public EndToEnd {
 protected:
  WaveLayout Layout(uint16_t channels, uint32_t rate, uint16_t bits, size_t frames, unsigned seed) {
    WaveLayout w;
    w.channels = channels;
    w.rate = rate;
    w.bits = bits;
    w.data = Ramp(frames * channels * bits / 8, seed);
    return w;
  }

  // Plays `first` with "p", lets `change` alter the file, then types `words`.
  Outcome TwoPasses(const WaveLayout& first, const std::function<void()>& change,
                    const std::string& words) {
    Process p({Capture("out.raw"), Write("a.wav", WaveFile(first)), "0", "0", "p"});
    EXPECT_TRUE(p.WaitFor(kMenuEnd));
    change();
    p.Send(words);
    return p.Finish();
  }
};

TEST_F(Recheck, ShapeChangesEndTheRun) {
  const struct {
    WaveLayout now;
    const char* warning;
  } kCases[] = {
      {Layout(2, 16000, 16, 800, 1), "WARNING: Wavefile samplerate has changed!  Restart the program.\n"},
      {Layout(2, 8000, 24, 800, 1), "WARNING: Wavefile bit depth has changed!  Restart the program.\n"},
      {Layout(1, 8000, 16, 800, 1), "WARNING: Wavefile channel number has changed!  Restart the program.\n"},
  };
  for (const auto& c : kCases) {
    for (const char* word : {"p\n", "x\n"}) {  // exiting re-checks too
      Outcome o = TwoPasses(Layout(2, 8000, 16, 800, 1), [&] { Write("a.wav", WaveFile(c.now)); }, word);
      EXPECT_EQ(o.status, 1);
      EXPECT_EQ(o.out.substr(o.out.size() - std::string(c.warning).size()), c.warning);
    }
  }
  WaveLayout floats = Layout(2, 8000, 32, 800, 1);
  floats.format = 3;
  Outcome o = TwoPasses(Layout(2, 8000, 32, 800, 1), [&] { Write("a.wav", WaveFile(floats)); }, "p\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("bit depth has changed"), std::string::npos);

  WaveLayout wider = Layout(2, 8000, 24, 800, 1);
  wider.blockAlign = 8;  // the same 24 bits, now in 4-byte containers
  o = TwoPasses(Layout(2, 8000, 24, 800, 1), [&] { Write("a.wav", WaveFile(wider)); }, "p\n");
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("bit depth has changed"), std::string::npos);
}

TEST_F(Recheck, ShorterFileWarnsClipsAndPlaysWhatIsThere) {
  const WaveLayout shorter = Layout(2, 8000, 16, 3000, 2);
  const WaveLayout first = Layout(2, 8000, 16, 8000, 1);
  Outcome o = TwoPasses(first, [&] { Write("a.wav", WaveFile(shorter)); }, "p\np\n");
  EXPECT_EQ(o.status, 0);
  const std::string warned = "WARNING: Wavefile length has changed!\nPlaying...\nstart = 0.00 sec\nstop  = 0.38 sec\n";
  EXPECT_NE(o.out.find(warned), o.out.rfind(warned));  // on every later pass
  EXPECT_TRUE(Read("out.raw") == first.data + shorter.data + shorter.data);
}

TEST_F(Recheck, FileReplacedByRenameIsTheFilePlayed) {
  const WaveLayout second = Layout(2, 8000, 16, 8000, 3);
  const WaveLayout first = Layout(2, 8000, 16, 8000, 1);
  Outcome o = TwoPasses(first, [&] {
    Write("new.wav", WaveFile(second));
    ASSERT_EQ(std::rename(Path("new.wav").c_str(), Path("a.wav").c_str()), 0);
  }, "p\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == first.data + second.data);
}

}  // namespace
