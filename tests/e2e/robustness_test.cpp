// Odd files and odd typing: every run ends by itself with status 0, 1 or 2.
#include <random>

#include "../harness.h"

namespace {

using Robustness = EndToEnd;

void ExpectCleanEnd(const Outcome& o, const std::string& what) {
  EXPECT_FALSE(o.timedOut) << what;
  EXPECT_EQ(o.signal, 0) << what;
  EXPECT_TRUE(o.status == 0 || o.status == 1 || o.status == 2) << what << " status " << o.status;
}

// A wave file with one random kind of damage.
Bytes Mutant(std::mt19937* rng) {
  auto pick = [rng](uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(*rng); };
  WaveLayout w;
  const uint16_t kChannels[] = {0, 1, 2, 3, 255, 65535};
  const uint16_t kBits[] = {0, 1, 8, 12, 16, 20, 24, 32, 64, 65535};
  w.format = static_cast<uint16_t>(pick(4) == 0 ? 0xFFFE : pick(2) ? 1 : 1 + pick(8));
  w.subFormat = static_cast<uint16_t>(1 + pick(7));
  w.channels = pick(2) ? 2 : kChannels[pick(6)];
  w.bits = pick(2) ? 16 : kBits[pick(10)];
  w.rate = pick(3) == 0 ? pick(0xFFFFFFFFu) : 8000;
  w.data = Ramp(pick(3000), pick(100));
  if (pick(3) == 0) w.before = Chunk("LIST", Ramp(pick(300)));
  if (pick(3) == 0) w.after = Chunk("junk", Ramp(pick(300)));
  if (pick(3) == 0) w.dataSize = pick(0xFFFFFFFFu);
  Bytes b = WaveFile(w);
  for (uint32_t flips = pick(4); flips > 0; --flips) b[pick(std::min<uint32_t>(80, b.size()))] = static_cast<unsigned char>(pick(256));
  if (pick(4) == 0) b.resize(pick(static_cast<uint32_t>(b.size()) + 1));
  return b;
}

TEST_F(Robustness, DamagedFiles) {
  std::mt19937 rng(20261206);
  int seen[4] = {};
  for (int i = 0; i < 300; ++i) {
    const Bytes file = Mutant(&rng);
    Outcome o = Run({"null", Write("m.wav", file), "0", "0", "px"});
    ExpectCleanEnd(o, "file " + std::to_string(i));
    ++seen[o.status & 3];
  }
  EXPECT_GT(seen[0], 10);  // some damage still plays
  EXPECT_GT(seen[2], 10);
}

TEST_F(Robustness, OddTyping) {
  WaveLayout w;
  w.data = Ramp(4000);
  const std::string file = Write("a.wav", WaveFile(w));
  const std::string kNumbers[] = {"nan", "inf", "-inf", "1e39", "-1e39", "99999999999999999999",
                                  "-99999999999999999999", "0x7fffffffffffffff", "-0", "\x01\xfe"};
  std::string input = std::string(1 << 20, 'w') + std::string(" \0\xff\x80 ", 5);
  for (const std::string& n : kNumbers)
    input += "i " + n + " o " + n + " nn " + n + " N B j J no bo n b l " + n + " l -3 p ";
  input += "l 1 w x\n";
  Outcome o = Run({"null", file}, input);
  ExpectCleanEnd(o, "typing");
  EXPECT_EQ(o.status, 0);
  // the last word "w" played the whole file, then "x" ended the run
  EXPECT_NE(o.out.find("\rclock = 0.00 sec\n", o.out.rfind("Playing...")), std::string::npos);
}

TEST_F(Robustness, ClosedStandardInputIsTheEndOfInput) {
  Write("a.wav", WaveFile(Layout(8000, 2, 16, 100)));
  Shell("'" ZUVAROZA_BIN "' \"file:'out.raw',raw\" a.wav <&- >out.txt");
  EXPECT_EQ(Read("out.raw").size(), 0u);  // the wave file was never read as commands
}

}  // namespace
