// The seam commands through the menu: "v" draws where the loop joins, "z" snaps its ends.
#include <unistd.h>

#include "fixture.h"

namespace {

const char kMenuEnd[] = "'+' to show additional commands\n";

class Seam : public EndToEnd {
 protected:
  // 1000 Hz, so that times in eighths of a second are whole frames. A triangle in
  // each channel, 400 a frame up and down, going up through zero at frames 100, 200, ...
  static WaveLayout Triangle(uint16_t channels, size_t frames) {
    WaveLayout w;
    w.rate = 1000;
    w.channels = channels;
    for (size_t i = 0; i < frames; ++i) {
      const int p = static_cast<int>(i % 100);
      const int v = 400 * (p <= 25 ? p : p <= 75 ? 50 - p : p - 100);
      for (uint16_t c = 0; c < channels; ++c) Put(&w.data, static_cast<uint16_t>(v), 2);
    }
    return w;
  }
  Outcome Type(const WaveLayout& w, const std::string& input, const std::string& locale = "C") {
    return RunZuvaroza({Capture("out.raw"), Write("a.wav", WaveFile(w))}, input, 20, {"LC_ALL=" + locale});
  }
  // What the program printed, less the menus.
  static std::string Said(const std::string& out) {
    std::string said;
    for (size_t at = 0, end; at < out.size(); at = end + 1) {
      end = out.find('\n', at);
      if (end == std::string::npos) end = out.size();
      const std::string line = out.substr(at, end - at);
      if (!line.empty() && line[0] != '\'' && line != "Enter in-time in seconds." &&
          line != "Enter out-time in seconds.")
        said += line + "\n";
    }
    return said;
  }
};

TEST_F(Seam, SnapPlaysTheSnappedSelection) {
  const WaveLayout w = Triangle(1, 1000);
  Outcome o = Type(w, "i 0.125 o 0.875 nn 50 z p x\n");
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(Said(o.out).find("Start moved by -25 frames (-0.025 sec) to a zero crossing going up.\n"
                             "Stop moved by +25 frames (+0.025 sec) to a zero crossing going up.\n"
                             "Playing...\nstart = 0.10 sec\nstop  = 0.90 sec\n"),
            std::string::npos) << o.out;
  EXPECT_TRUE(Read("out.raw") == Widen(Slice(w.data, 200, 1800), 2));

  o = Type(w, "i 0.125 o 0.875 nn 20 z i 0.1 z x\n");  // none in reach; already there
  EXPECT_NE(Said(o.out).find("Start left alone: no zero crossing going up within 20 frames.\n"
                             "Stop left alone: no zero crossing going up within 20 frames.\n"
                             "Start is at a zero crossing going up already.\n"),
            std::string::npos) << o.out;
}

TEST_F(Seam, ViewDrawsEachChannelAndItsVerdict) {
  // mono, joined at a crossing: smooth
  Outcome o = Type(Triangle(1, 1000), "i 0.1 o 0.9 v x\n");
  std::string said = Said(o.out);
  EXPECT_EQ(said.rfind("seam: 256 frames before the stop | 256 from the start, scaled to 0.31\nmono\n", 0), 0u)
      << said;
  EXPECT_NE(said.find("\nmono: seam step = 0.012, typical step = 0.012, smooth\n"), std::string::npos) << said;
  // stereo, joined at the top of the triangle: both channels step
  o = Type(Triangle(2, 1000), "i 0.125 o 0.9 v x\n", "C.UTF-8");
  said = Said(o.out);
  EXPECT_NE(said.find("\nleft\n"), std::string::npos);
  EXPECT_NE(said.find("\nright\n"), std::string::npos);
  EXPECT_NE(said.find("│"), std::string::npos);  // braille where the console takes UTF-8
  EXPECT_NE(said.find("\nleft: seam step = 0.317, typical step = 0.012, likely to click\n"
                      "right: seam step = 0.317, typical step = 0.012, likely to click\n"),
            std::string::npos) << said;
}

TEST_F(Seam, BadSelectionsAndChangedFilesAreRefused) {
  const std::string shortText = "The selection is shorter than 256 frames: too short for that.\n";
  const struct {
    const char* input;
    std::string said;
  } kCases[] = {
      {"i 0.5 o 0.5 v z x\n", "Start time and stop time are the same!\nStart time and stop time are the same!\n"},
      {"i 0.5 o 0.25 v x\n", "Start time is set later than stop time!\n"},
      {"i 0.5 o 0.625 v x\n", shortText},  // 125 frames
  };
  for (const auto& c : kCases) {
    const Outcome o = Type(Triangle(1, 1000), c.input);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(Said(o.out), c.said) << c.input;
  }
  Process p({Capture("out.raw"), Write("a.wav", WaveFile(Triangle(1, 1000)))});
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  Write("a.wav", WaveFile(Triangle(1, 900)));
  p.Send("v z\n");
  ASSERT_TRUE(p.WaitFor("The file has changed since it was last played: play it again first.\n"));
  ASSERT_TRUE(p.WaitFor("The file has changed since it was last played: play it again first.\n"));
  ASSERT_EQ(unlink(Path("a.wav").c_str()), 0);
  p.Send("v\n");
  ASSERT_TRUE(p.WaitFor("The file called " + Path("a.wav") + " cannot be found!\n"));
  p.Send("x\n");
  EXPECT_EQ(p.Finish().status, 2);  // "x" reads the file again, and it is gone
}

}  // namespace
