// Devices that cannot play the file as it is: no sound server there, a rate it does not grant.
#include <algorithm>

#include "fixture.h"

namespace {

using Device = EndToEnd;

// Each ends with one line on standard error (two for a refused format) and status 1.
TEST_F(Device, DevicesThatCannotPlayTheFileAsItIs) {
  WaveLayout w;
  w.rate = 1000;
  w.data = Ramp(400);
  const std::string slow = Write("slow.wav", WaveFile(w));
  w.rate = 8000;
  const std::string file = Write("a.wav", WaveFile(w));  // less than the device's buffer
  w.format = 3;
  w.bits = 32;
  const std::string floats = Write("f.wav", WaveFile(w));
  std::ofstream(Path(".asoundrc")) << "pcm.s16only { type linear slave { pcm \"null\" format S16_LE } }\n";
  const struct {
    std::string device, file, err;
    bool plays;
  } kCases[] = {
      {"pulse", file, "unable to open pcm device: Connection refused\n", false},
      // plug:null grants 4000 Hz below it: 1000 Hz audio would play 4 times too fast
      {"plug:null", slow, "Unable to play 1000 Hz on this device (it offers 4000 Hz); a plughw: device converts\n", false},
      {"s16only", floats, "Unable to set playback format: Invalid argument\nTry plug:s16only, which converts\n", false},
      // the tail, written only by the final drain, cannot be written: not a normal end
      {"file:'/dev/full',raw", file, "Unable to write to pcm device: No space left on device\n", true},
  };
  for (const auto& c : kCases) {
    const Outcome o = RunZuvaroza({c.device, c.file, "0", "0", "px"}, "", 20,
                                  {"PULSE_SERVER=unix:" + Path("no-server"), "HOME=" + dir_});
    EXPECT_EQ(o.status, 1) << c.device;
    EXPECT_EQ(o.err, c.err);
    EXPECT_EQ(o.out.find("Playing...") != std::string::npos, c.plays) << c.device;
  }
}

}  // namespace
