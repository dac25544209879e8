// What reaches the device, byte for byte, captured through alsa-lib's file plugin.
#include <fstream>

#include "../harness.h"

namespace {

class Playback : public EndToEnd {
 protected:
  // The bytes a capture device received from playing `w` with `args` after device and file.
  Bytes Played(const WaveLayout& w, std::vector<std::string> args) {
    args.insert(args.begin(), {Capture("out.raw"), Write("a.wav", WaveFile(w))});
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    return Read("out.raw");
  }
};

TEST_F(Playback, EveryEncodingIsSentUnchangedAndMonoIsDoubled) {
  const struct {
    uint16_t format, channels, bits;
    int32_t align;  // -1: packed
  } kCases[] = {{1, 2, 16, -1}, {1, 1, 16, -1}, {1, 2, 24, -1}, {1, 1, 24, -1}, {1, 1, 8, -1},
                {3, 2, 32, -1}, {3, 1, 64, -1}, {1, 2, 32, -1}, {6, 1, 8, -1},  {7, 2, 8, -1},
                // 24-bit samples in 4-byte containers go as the containers: one second is one second
                {1, 2, 24, 8},  {1, 1, 24, 4}};
  for (const auto& c : kCases) {
    WaveLayout w = Layout(8000, c.channels, c.bits, 10001);  // not a whole number of periods
    w.format = c.format;
    w.blockAlign = c.align;
    const size_t width = c.align < 0 ? c.bits / 8 : 4;
    w.data = Ramp(10001 * c.channels * width);
    EXPECT_TRUE(Played(w, {"0", "0", "px"}) == (c.channels == 2 ? w.data : Widen(w.data, width)))
        << c.format << "/" << c.channels << "/" << c.bits << "/" << c.align;
  }
}

TEST_F(Playback, SelectionsEndWhereTheAudioEnds) {
  WaveLayout w = Layout(8000, 2, 16, 8000);
  w.after = Chunk("LIST", Ramp(100, 9));  // not audio
  EXPECT_TRUE(Played(w, {"0.25", "0.75", "px", "2"}) == Repeat(Slice(w.data, 2000 * 4, 6000 * 4), 2));
  EXPECT_TRUE(Played(w, {"0.5", "100", "px"}) == Slice(w.data, 4000 * 4, 8000 * 4));
  w.dataSize = 0xFFFFFFFF;  // RF64 and BW64: the size is in the ds64 chunk
  w.ds64DataSize = static_cast<int64_t>(w.data.size());
  for (const char* id : {"RF64", "BW64"}) {
    w.riff = id;
    EXPECT_TRUE(Played(w, {"0", "0", "px"}) == w.data) << id;
  }
  w = Layout(8000, 2, 16, 8000);
  w.dataSize = 1 << 30;  // a size field past the end of the file
  EXPECT_TRUE(Played(w, {"0.5", "0", "px"}) == Slice(w.data, 4000 * 4, 8000 * 4));
}

TEST_F(Playback, DataOf2GiBOrMoreEndsWhereItsSizeSays) {
  // 67109 s of 16-bit stereo at 8 kHz: a size field of 0x80001500, in a sparse file
  const uint64_t size = uint64_t{32000} * 67109;
  WaveLayout w;
  w.dataSize = static_cast<int64_t>(size);
  const std::string file = Write("big.wav", WaveFile(w));
  const Bytes last = Ramp(32000, 3), tail = last + Chunk("LIST", Ramp(100, 9));
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  f.seekp(static_cast<std::streamoff>(44 + size - last.size()));
  f.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size())).flush();
  const Outcome o = Run({Capture("out.raw"), file, "67108", "0", "px"});
  EXPECT_EQ(o.out.rfind("Playing...\nstart = 67108.00 sec\nstop  = 67109.00 sec\n", 0), 0u) << o.out;
  EXPECT_TRUE(Read("out.raw") == last);
}

TEST_F(Playback, FilesMadeBySoxMatchSoxAndAplay) {
  Shell("sox -n -r 44100 -b 24 -c 2 s24.wav synth 0.3 sine 440 sine 660 && sox s24.wav -t raw s24.raw");
  Shell("sox -n -r 22050 -b 16 -c 1 m16.wav synth 0.3 pluck 220 && sox m16.wav -t raw m16.raw");
  EXPECT_EQ(Run({Capture("out.raw"), Path("s24.wav"), "0", "0", "px"}).status, 0);
  EXPECT_TRUE(Read("out.raw") == Read("s24.raw"));
  // aplay pads its last period with silence: ours must be the start of its output
  Shell("aplay -q -D \"file:'ref.raw',raw\" s24.wav");
  EXPECT_TRUE(Slice(Read("ref.raw"), 0, Read("out.raw").size()) == Read("out.raw"));
  Run({Capture("out.raw"), Path("m16.wav"), "0", "0", "wx", "2"});
  EXPECT_TRUE(Read("out.raw") == Repeat(Widen(Read("m16.raw"), 2), 2));
}

}  // namespace
