// A pass through a sound server lasts as long as its sound, shows its clock as it plays, and
// gives the menu back only once the sound has ended.
#include <algorithm>
#include <cfloat>
#include <cstring>

#include "paced_fixture.h"

namespace {

const char kMenuEnd[] = "'+' to show additional commands\n";

TEST_F(Paced, PlayAndExitEndsWhenTheSoundHasPlayedLikeAplay) {
  Bytes data;
  const std::string file = WriteWave("a.wav", 44100, 2, 2.0, &data);
  const Outcome aplay =
      Process("aplay", {"-q", "-D", Recording("aplay.raw"), file}, server_->Env()).Finish();
  ASSERT_EQ(aplay.status, 0) << aplay.err;

  const Outcome o = Run({Recording("out.raw"), file, "0", "0", "px"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(Read("out.raw") == data);
  EXPECT_GE(o.seconds, 2.0);  // sooner, and the end of the sound was cut off
  EXPECT_LE(o.seconds, aplay.seconds + 0.25) << "aplay took " << aplay.seconds;
}

TEST_F(Paced, MenuComesBackWhenThePassHasBeenHeard) {
  const std::string file = WriteWave("a.wav", 44100, 2, 1.0);
  auto p = Start({"pulse", file});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  const double asked = p->Elapsed();
  p->Send("p\n");
  ASSERT_TRUE(p->WaitFor("Playing..."));
  ASSERT_TRUE(p->WaitFor(kMenuEnd, 5));
  const double back = p->ShownAt(p->Mark() - 1) - asked;
  EXPECT_GE(back, 1.0);  // sooner, and the pass was still sounding
  EXPECT_LE(back, 1.4);
  p->Send("x\n");
  EXPECT_EQ(p->Finish().status, 0);
}

TEST_F(Paced, ClockLinesArriveWhileThePassPlays) {
  // 16000 Hz: a period lasts 256 ms, so a line held back for one shows
  const std::string file = WriteWave("a.wav", 16000, 2, 2.0);
  Process p({"pulse", file, "0", "0", "px"}, server_->Env());
  const Outcome o = p.Finish();
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<double> shown;
  for (size_t at = o.out.find("\rclock = "); at != std::string::npos; at = o.out.find("\rclock = ", at + 1))
    shown.push_back(p.ShownAt(at));
  ASSERT_GE(shown.size(), 6u) << o.out;
  EXPECT_LE(shown.front(), 0.2);  // from the first sound on
  EXPECT_GE(shown.back() - shown.front(), 0.5);  // spread over the pass, not a burst
  double longest = 0;
  for (size_t i = 1; i < shown.size(); ++i) longest = std::max(longest, shown[i] - shown[i - 1]);
  EXPECT_LE(longest, 0.35);
}

TEST_F(Paced, SixtyFourBitFloatPlaysAs32BitWhereTheDeviceLacksIt) {
  const struct {
    double in;
    float out;
  } kSamples[] = {{0.5, 0.5f}, {-0.25, -0.25f}, {0.1, 0.1f}, {1e300, FLT_MAX}, {-1e300, -FLT_MAX}};
  WaveLayout w;
  w.format = 3;
  w.channels = 1;
  w.bits = 64;
  Bytes want;
  for (int i = 0; i < 2000; ++i) {
    const auto& s = kSamples[i % 5];
    uint64_t in;
    uint32_t out;
    std::memcpy(&in, &s.in, 8);
    std::memcpy(&out, &s.out, 4);
    Put(&w.data, in, 8);
    Put(&want, out, 4);
    Put(&want, out, 4);  // mono into both channels
  }
  const Outcome o = Run({Recording("out.raw"), Write("f.wav", WaveFile(w)), "0", "0", "px"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("The device does not take 64-bit float samples: playing them as 32-bit float.\n"
                        "Playing...", 0), 0u) << o.out;
  EXPECT_TRUE(Read("out.raw") == want);
}

}  // namespace
