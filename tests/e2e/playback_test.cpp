// What reaches the device, byte for byte, from a file of more than 2 GiB and from other programs'
// files (golden/playback.txt has the encodings, selections and the rest).
#include <fstream>

#include "../harness.h"

namespace {

using Playback = EndToEnd;

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

// The line that ends a run comes after what the console already showed.
TEST_F(Playback, AnErrorLineComesLast) {
  Write("a.wav", WaveFile(Layout(8000, 2, 16, 800)));
  Shell("'" ZUVAROZA_BIN "' \"file:'/dev/full',raw\" a.wav 0 0 px >both.txt 2>&1; test $? = 1");
  EXPECT_TRUE(Read("both.txt") == Text("Playing...\nstart = 0.00 sec\nstop  = 0.10 sec\n\rclock = 0.00 sec\n"
                                       "Unable to write to pcm device: No space left on device\n"));
}

}  // namespace
