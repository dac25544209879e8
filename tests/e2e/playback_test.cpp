// What reaches the device, byte for byte, captured through alsa-lib's file plugin.
#include "fixture.h"

namespace {

using Playback = EndToEnd;

WaveLayout Layout(uint16_t format, uint16_t channels, uint16_t bits, size_t frames) {
  WaveLayout w;
  w.format = format;
  w.channels = channels;
  w.bits = bits;
  w.data = Ramp(frames * channels * (bits / 8));
  return w;
}

TEST_F(Playback, EveryEncodingIsSentUnchangedAndMonoIsDoubled) {
  const struct {
    uint16_t format, channels, bits;
  } kCases[] = {{1, 2, 16}, {1, 1, 16}, {1, 2, 24}, {1, 1, 24}, {1, 1, 8},
                {3, 2, 32}, {3, 1, 64}, {1, 2, 32}, {6, 1, 8},  {7, 2, 8}};
  for (const auto& c : kCases) {
    const WaveLayout w = Layout(c.format, c.channels, c.bits, 10001);  // not a whole number of periods
    Outcome o = RunZuvaroza({Capture("out.raw"), Write("a.wav", WaveFile(w)), "0", "0", "px"});
    ASSERT_EQ(o.status, 0) << o.out << o.err;
    const Bytes want = c.channels == 2 ? w.data : Widen(w.data, c.bits / 8);
    EXPECT_TRUE(Read("out.raw") == want) << c.format << "/" << c.channels << "/" << c.bits;
  }
}

TEST_F(Playback, SamplesInWiderContainersAreSentAsTheContainers) {
  for (uint16_t channels : {2, 1}) {
    WaveLayout w = Layout(1, channels, 24, 0);
    w.blockAlign = 4 * channels;
    w.data = Ramp(8000 * w.blockAlign);  // one second
    Outcome o = RunZuvaroza({Capture("out.raw"), Write("a.wav", WaveFile(w)), "0", "0", "px"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("Playing...\nstart = 0.00 sec\nstop  = 1.00 sec\n", 0), 0u) << o.out;
    EXPECT_TRUE(Read("out.raw") == (channels == 2 ? w.data : Widen(w.data, 4))) << channels;
  }
}

TEST_F(Playback, SelectionLoopsJoinWithNothingBetween) {
  WaveLayout w = Layout(1, 2, 16, 8000);
  w.after = Chunk("LIST", Ramp(100, 9));
  Outcome o = RunZuvaroza({Capture("out.raw"), Write("a.wav", WaveFile(w)), "0.25", "0.75", "px", "2"});
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == Repeat(Slice(w.data, 2000 * 4, 6000 * 4), 2));
  EXPECT_EQ(o.out.rfind("Playing...\nstart = 0.25 sec\nstop  = 0.75 sec\n\nLoops remaining: 1\n\rclock = 0.25 sec", 0), 0u);

  // a stop past the end, then a size field past the end of the file
  for (int64_t size : {-1, 1 << 30}) {
    w.dataSize = size;
    if (size > 0) w.after.clear();  // a lying size makes any trailing chunk look like audio
    o = RunZuvaroza({Capture("out.raw"), Write("a.wav", WaveFile(w)), "0.5", "100", "px"});
    EXPECT_TRUE(Read("out.raw") == Slice(w.data, 4000 * 4, 8000 * 4)) << size;
  }
}

TEST_F(Playback, DataOf2GiBOrMoreEndsWhereItsSizeSays) {
  // 67109 s of 16-bit stereo at 8 kHz: a size field of 0x80001500, in a sparse file
  const uint64_t size = uint64_t{32000} * 67109;
  WaveLayout w;
  w.dataSize = static_cast<int64_t>(size);
  const std::string file = Write("big.wav", WaveFile(w));
  const Bytes last = Ramp(32000, 3);
  {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(44 + size - last.size()));
    const Bytes tail = last + Chunk("LIST", Ramp(100, 9));
    f.write(reinterpret_cast<const char*>(tail.data()), static_cast<std::streamsize>(tail.size()));
  }
  Outcome o = RunZuvaroza({Capture("out.raw"), file, "67108", "0", "px"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.rfind("Playing...\nstart = 67108.00 sec\nstop  = 67109.00 sec\n", 0), 0u) << o.out;
  EXPECT_TRUE(Read("out.raw") == last);
}

TEST_F(Playback, Rf64AndBw64EndWhereTheirDs64Says) {
  WaveLayout w = Layout(1, 2, 16, 8000);
  w.after = Chunk("LIST", Ramp(100, 9));
  w.dataSize = 0xFFFFFFFF;
  w.ds64DataSize = static_cast<int64_t>(w.data.size());
  for (const char* id : {"RF64", "BW64"}) {
    w.riff = id;
    Outcome o = RunZuvaroza({Capture("out.raw"), Write("a.wav", WaveFile(w)), "0", "0", "px"});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(Read("out.raw") == w.data) << id;
  }
}

TEST_F(Playback, LoopCountsAndEmptySelections) {
  const std::string file = Write("a.wav", WaveFile(Layout(1, 2, 16, 800)));
  const std::string head = "Playing...\nstart = 0.00 sec\nstop  = 0.10 sec\n";
  const struct {
    std::vector<std::string> args;
    std::string out;
    size_t bytes;
  } kCases[] = {
      {{"0", "0", "px", "0"}, head + "\n", 0},
      {{"0", "0", "px", "1"}, head + "\rclock = 0.00 sec\n", 3200},
      {{"0", "0", "px", "3"},
       head + "\nLoops remaining: 2\n\rclock = 0.00 sec\nLoops remaining: 1\n\rclock = 0.00 sec"
              "\nLoops remaining: 0\n\rclock = 0.00 sec\n",
       9600},
      {{"0.05", "0.02", "px", "2147483647"},  // nothing to play: no loop lines either
       "Start time is set later than stop time!\nPlaying...\nstart = 0.05 sec\nstop  = 0.02 sec\n\n", 0},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args{Capture("out.raw"), file};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Outcome o = RunZuvaroza(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, c.out);
    EXPECT_EQ(Read("out.raw").size(), c.bytes);
  }
}

TEST_F(Playback, FilesMadeBySoxMatchSoxAndAplay) {
  Shell("sox -n -r 44100 -b 24 -c 2 s24.wav synth 0.3 sine 440 sine 660 && sox s24.wav -t raw s24.raw");
  Shell("sox -n -r 22050 -b 16 -c 1 m16.wav synth 0.3 pluck 220 && sox m16.wav -t raw m16.raw");
  Outcome o = RunZuvaroza({Capture("out.raw"), Path("s24.wav"), "0", "0", "px"});
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == Read("s24.raw"));
  // aplay pads its last period with silence: ours must be the start of its output
  Shell("aplay -q -D \"file:'ref.raw',raw\" s24.wav");
  EXPECT_TRUE(Slice(Read("ref.raw"), 0, Read("out.raw").size()) == Read("out.raw"));

  o = RunZuvaroza({Capture("out.raw"), Path("m16.wav"), "0", "0", "wx", "2"});
  EXPECT_TRUE(Read("out.raw") == Repeat(Widen(Read("m16.raw"), 2), 2));
}

}  // namespace
