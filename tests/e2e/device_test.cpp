// Devices that cannot play the file as it is: no sound server there, a rate it does not grant.
#include <algorithm>

#include "fixture.h"

namespace {

using Device = EndToEnd;

TEST_F(Device, NoSoundServerIsAnOpenError) {
  WaveLayout w;
  w.data = Ramp(800);
  const Outcome o = RunZuvaroza({"pulse", Write("a.wav", WaveFile(w)), "0", "0", "px"}, "", 20,
                                {"PULSE_SERVER=unix:" + Path("no-server")});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(o.err, "unable to open pcm device: Connection refused\n");
  EXPECT_EQ(o.out, "");
}

// `plug:null` grants 4000 Hz for any rate below it: played so, 1000 Hz audio would be 4 times too fast.
TEST_F(Device, ARateNotGrantedIsRefused) {
  WaveLayout w;
  w.rate = 1000;
  w.data = Ramp(400);
  const Outcome o = RunZuvaroza({"plug:null", Write("a.wav", WaveFile(w)), "0", "0", "px"});
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
  for (const char* word : {"1000", "4000", "plughw:"})
    EXPECT_NE(o.err.find(word), std::string::npos) << word << " in " << o.err;
  EXPECT_EQ(o.out.find("Playing..."), std::string::npos);
}

}  // namespace
