// The header scan on built byte images, the encoding chosen for a header, and the decoding
// of samples for the seam tools.
#include <unistd.h>

#include <functional>

#include "harness.h"
#include "wave/sample_decode.h"
#include "wave/sample_format.h"
#include "wave/wave_file.h"
#include "wave/wave_header.h"

namespace {

using E = SampleEncoding;
constexpr uint64_t kGiB = uint64_t{1} << 30;

TEST(WaveHeader, WhereTheDataIsAndHowLong) {
  const struct {
    const char* what;
    std::function<void(WaveLayout*)> change;  // to 16-bit stereo at 8000 Hz, 400 bytes of data
    uint64_t fileSize;                         // 0: the bytes built
    uint64_t offset, frames;
    uint32_t bytesPerSample, formatCode;
  } kRows[] = {
      {"canonical", [](WaveLayout*) {}, 0, 44, 100, 2, 1},
      {"chunks around", [](WaveLayout* w) { w->before = Chunk("LIST", Ramp(30)), w->after = Chunk("LIST", Ramp(64)); }, 0, 82, 100, 2, 1},
      // the chunks do not lead to the data: the first "data" at an even offset is taken
      {"an id of junk", [](WaveLayout* w) { w->before = Bytes{1, 0, 0, 0} + Le(6, 4) + Text("xxdata"); }, 0, 54, 101, 2, 1},
      {"a size past the end, odd data skipped", [](WaveLayout* w) { w->before = Text("LIST") + Le(999, 4) + Text("xdataxdata"); }, 0, 58, 101, 2, 1},
      {"big-endian", [](WaveLayout* w) { w->riff = "RIFX", w->before = Chunk("LIST", Text("xxdata")); }, 0, 54, 101, 2, 1},
      {"size 0", [](WaveLayout* w) { w->dataSize = 0; }, 0, 44, 0, 2, 1},
      {"size all ones: to the end", [](WaveLayout* w) { w->dataSize = 0xFFFFFFFF, w->after = Ramp(3); }, 0, 44, 100, 2, 1},
      {"size past the end", [](WaveLayout* w) { w->dataSize = 100000; }, 0, 44, 100, 2, 1},
      {"size field cut", [](WaveLayout* w) { w->data.clear(); }, 42, 44, 0, 2, 1},
      {"no channels", [](WaveLayout* w) { w->channels = 0; }, 0, 44, 0, 2, 1},
      {"2 GiB", [](WaveLayout* w) { w->dataSize = 0x80000000; }, 44 + 5 * kGiB, 44, 0x20000000, 2, 1},
      {"4 GiB less 2", [](WaveLayout* w) { w->dataSize = 0xFFFFFFFE; }, 44 + 5 * kGiB, 44, 0x3FFFFFFF, 2, 1},
      {"all ones in 5 GiB", [](WaveLayout* w) { w->dataSize = 0xFFFFFFFF; }, 44 + 5 * kGiB, 44, 5 * kGiB / 4, 2, 1},
      {"RF64", [](WaveLayout* w) { w->riff = "RF64", w->dataSize = 0xFFFFFFFF, w->ds64DataSize = 400, w->after = Ramp(64); }, 0, 80, 100, 2, 1},
      {"BW64", [](WaveLayout* w) { w->riff = "BW64", w->dataSize = 0xFFFFFFFF, w->ds64DataSize = 400, w->after = Ramp(64); }, 0, 80, 100, 2, 1},
      {"ds64 of 6 GiB", [](WaveLayout* w) { w->riff = "RF64", w->dataSize = 0xFFFFFFFF, w->ds64DataSize = 6 * kGiB; }, 80 + 8 * kGiB, 80, 6 * kGiB / 4, 2, 1},
      {"RF64 size that fits", [](WaveLayout* w) { w->riff = "RF64", w->dataSize = 200, w->ds64DataSize = 400; }, 0, 80, 50, 2, 1},
      {"ds64 in RIFF", [](WaveLayout* w) { w->dataSize = 0xFFFFFFFF, w->ds64DataSize = 4, w->after = Ramp(72); }, 0, 80, 118, 2, 1},
      {"RF64 without ds64", [](WaveLayout* w) { w->riff = "RF64", w->dataSize = 0xFFFFFFFF, w->after = Ramp(72); }, 0, 44, 118, 2, 1},
      {"extensible", [](WaveLayout* w) { w->format = 0xFFFE, w->bits = 24, w->data = Ramp(60); }, 0, 68, 10, 3, 1},
      {"extensible float", [](WaveLayout* w) { w->format = 0xFFFE, w->subFormat = 3, w->bits = 32; }, 0, 68, 50, 4, 3},
      {"data at 128 KiB", [](WaveLayout* w) { w->before = Chunk("junk", Bytes(131072 - 44, 0)); }, 0, 131080, 100, 2, 1},
  };
  for (const auto& r : kRows) {
    WaveLayout w;
    w.data = Ramp(400);
    r.change(&w);
    Bytes b = WaveFile(w);
    if (r.fileSize != 0 && r.fileSize < b.size()) b.resize(r.fileSize);
    StreamAttributes a;
    ASSERT_TRUE(ScanWaveHeader(b.data(), b.size(), r.fileSize ? r.fileSize : b.size(), &a)) << r.what;
    EXPECT_EQ(a.dataOffset, r.offset) << r.what;
    EXPECT_EQ(a.lengthFrames, r.frames) << r.what;
    EXPECT_EQ(a.bytesPerSample, r.bytesPerSample) << r.what;
    EXPECT_EQ(a.formatCode, r.formatCode) << r.what;
    EXPECT_EQ(a.sampleRate, 8000u) << r.what;
    EXPECT_EQ(a.bigEndian, b[3] == 'X') << r.what;
  }
}

// The chunks by their ids and sizes, with the text "fmt data" in the audio and "data" in the
// chunks before it at even offsets. An odd size is followed by a pad byte.
TEST(WaveHeader, ChunksFoundByWalkingThem) {
  const Bytes fmt = Chunk("fmt ", Le(1, 2) + Le(2, 2) + Le(8000, 4) + Le(32000, 4) + Le(4, 2) + Le(16, 2));
  const Bytes cue = Chunk("cue ", Le(1, 4) + Le(1, 4) + Le(0, 4) + Text("data") + Le(0, 12));
  const struct {
    const char* what;
    const char* riff;
    Bytes before, after;  // the chunks before and after the data chunk
    uint32_t dataSize;
  } kRows[] = {
      {"fmt after bext", "RIFF", Chunk("bext", Text("raw data, odd")) + fmt, {}, 400},
      {"fmt after JUNK", "RIFF", Chunk("JUNK", Bytes(28, 0)) + fmt, {}, 400},
      {"fmt after smpl", "RIFF", Chunk("smpl", Le(7, 36) + Text("data") + Le(0, 20)) + fmt, {}, 400},
      {"fmt after cue", "RIFF", cue + fmt, {}, 400},
      {"LIST", "RIFF", fmt + Chunk("LIST", Text("INFOICMT") + Le(13, 4) + Text("metadata test")), {}, 400},
      {"iXML", "RIFF", fmt + Chunk("iXML", Text("<BWFXML><NOTE>data</NOTE></BWFXML>\n")), {}, 400},
      {"cue after the data", "RIFF", fmt, cue, 400},
      {"fmt after the data", "RIFF", {}, fmt, 400},
      {"RF64", "RF64", Chunk("ds64", Le(0, 8) + Le(400, 8) + Le(0, 12)) + fmt, cue, 0xFFFFFFFF},
  };
  for (const auto& r : kRows) {
    const Bytes body = Text("WAVE") + r.before + Text("data") + Le(r.dataSize, 4) + Repeat(Text("fmt data"), 50) + r.after;
    const Bytes b = Text(r.riff) + Le(body.size(), 4) + body;
    StreamAttributes a;
    ASSERT_TRUE(ScanWaveHeader(b.data(), b.size(), b.size(), &a)) << r.what;
    EXPECT_EQ(a.dataOffset, 12 + r.before.size() + 8) << r.what;
    EXPECT_EQ(a.lengthFrames, 100u) << r.what;
    EXPECT_EQ(a.channels * a.sampleRate * a.bitsPerSample, 256000u) << r.what;
  }
}

TEST(WaveHeader, MissingChunksAndTheProbeLimit) {
  StreamAttributes a;
  const Bytes noFmt = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
  EXPECT_TRUE(ScanWaveHeader(noFmt.data(), noFmt.size(), noFmt.size(), &a));
  EXPECT_FALSE(a.hasFormat);
  EXPECT_EQ(a.lengthFrames, 0u);  // no frame size: no division by zero
  const Bytes cut = Slice(WaveFile(WaveLayout()), 0, 39);  // ends inside the identifier
  EXPECT_FALSE(ScanWaveHeader(cut.data(), cut.size(), cut.size(), &a));
  WaveLayout far;
  far.before = Chunk("junk", Bytes(131074 - 44, 0));  // "data" at 131074: past the probes
  const Bytes b = WaveFile(far);
  EXPECT_FALSE(ScanWaveHeader(b.data(), b.size(), b.size(), &a));
}

TEST(WaveHeader, ContainerFromTheBlockAlign) {
  const struct {
    uint16_t channels, bits;
    int32_t blockAlign;
    uint32_t bytes;
  } kRows[] = {
      {2, 24, 8, 4}, {1, 24, 4, 4}, {2, 20, 6, 3}, {2, 9, 4, 2}, {2, 24, 10, 5},  // as the block align says
      {2, 24, 6, 3}, {2, 24, 0, 3}, {2, 24, 7, 3}, {2, 16, 2, 2}, {1, 8, 2, 1},    // packed
      {2, 20, 0, 2},
  };
  for (const auto& r : kRows) {
    WaveLayout w = Layout(8000, r.channels, r.bits, 0);
    w.blockAlign = r.blockAlign;
    w.data = Ramp(480);
    const Bytes b = WaveFile(w);
    StreamAttributes a;
    ASSERT_TRUE(ScanWaveHeader(b.data(), b.size(), b.size(), &a));
    EXPECT_EQ(a.bytesPerSample, r.bytes) << r.channels << "/" << r.bits << "/" << r.blockAlign;
    EXPECT_EQ(a.lengthFrames, 480 / (r.bytes * r.channels));
  }
}

using WaveFileRead = EndToEnd;  // for its temporary directory

// A file cut short since its header was read gives the whole frames still there.
TEST_F(WaveFileRead, ReadsEndWhereTheFileEnds) {
  const Bytes b = Slice(WaveFile(Layout(8000, 2, 16, 10)), 0, 44 + 4 * 8 + 3);
  const int fd = OpenWaveFile(Write("a.wav", b).c_str());
  std::vector<unsigned char> window, out(4 * 20);
  StreamAttributes a;
  ASSERT_EQ(GetAttributes(fd, &window, &a), HeaderStatus::Ok);
  EXPECT_EQ(ReadFrames(fd, a, 5, 20, out.data()), 3u);
  EXPECT_TRUE(Bytes(out.begin(), out.begin() + 12) == Slice(b, 64, 76));
  close(fd);
}

TEST(SampleFormat, EncodingOfEachSampleAndContainer) {
  const struct {
    uint16_t format, channels, bits, bytes;
    E encoding;
    const char* refusal;  // nullptr: plays as `encoding`
  } kRows[] = {
      {1, 2, 8, 1, E::U8, nullptr}, {1, 1, 16, 2, E::S16, nullptr}, {1, 2, 24, 3, E::S24Packed, nullptr},
      {1, 2, 32, 4, E::S32, nullptr}, {3, 2, 32, 4, E::Float32, nullptr}, {3, 1, 64, 8, E::Float64, nullptr},
      {6, 1, 8, 1, E::ALaw, nullptr}, {7, 2, 8, 1, E::MuLaw, nullptr}, {1, 2, 20, 3, E::S24Packed, nullptr},
      {1, 2, 24, 4, E::S32, nullptr}, {1, 2, 12, 2, E::S16, nullptr}, {1, 2, 9, 4, E::S32, nullptr},  // left-justified
      {1, 2, 24, 5, E::U8, "a block align of 10 (5-byte samples)."}, {1, 2, 20, 2, E::U8, "20-bit samples in format 1."},
      {1, 2, 24, 8, E::U8, "24-bit samples in 8-byte containers in format 1."}, {1, 2, 64, 8, E::U8, "64-bit samples in format 1."},
      {1, 2, 8, 2, E::U8, "8-bit samples in 2-byte containers in format 1."}, {3, 2, 16, 2, E::U8, "16-bit samples in format 3."},
      {3, 2, 32, 8, E::U8, "32-bit samples in 8-byte containers in format 3."},
      {3, 2, 24, 4, E::U8, "24-bit samples in 4-byte containers in format 3."},
      {7, 2, 8, 2, E::U8, "8-bit samples in 2-byte containers in format 7."},
      {6, 2, 8, 2, E::U8, "8-bit samples in 2-byte containers in format 6."},
      {1, 0, 16, 2, E::U8, "0 channels (mono and stereo play)."}, {1, 6, 16, 2, E::U8, "6 channels (mono and stereo play)."},
  };
  for (const auto& r : kRows) {
    StreamAttributes a;
    a.hasFormat = true;
    a.channels = r.channels;
    a.sampleRate = 44100;
    a.formatCode = r.format;
    a.bitsPerSample = r.bits;
    a.bytesPerSample = r.bytes;
    E e = E::MuLaw;
    std::string why;
    EXPECT_EQ(ChooseEncoding(a, &e, &why), r.refusal == nullptr) << r.format << "/" << r.bits << "/" << r.bytes;
    EXPECT_EQ(why, r.refusal ? "Unsupported wave file: " + std::string(r.refusal) : "");
    EXPECT_TRUE(r.refusal || e == r.encoding) << r.format << "/" << r.bits << "/" << r.bytes;
  }
  StreamAttributes a;
  a.hasFormat = true;
  a.formatCode = a.channels = 1;
  a.bitsPerSample = 16;
  a.bytesPerSample = 2;
  E e;
  std::string why;
  EXPECT_FALSE(ChooseEncoding(a, &e, &why));  // a rate of 0
  a.sampleRate = ~uint64_t{0};                // a rate field of 0xFFFFFFFF, sign-extended
  EXPECT_FALSE(ChooseEncoding(a, &e, &why));
  EXPECT_EQ(why, "Unsupported wave file: a sample rate of 4294967295.");
  a.bigEndian = true;
  EXPECT_FALSE(ChooseEncoding(a, &e, &why));
  EXPECT_EQ(why, "Unsupported wave file: big-endian (RIFX).");
}

TEST(SampleDecode, ExtremesOfEachEncoding) {
  const struct {
    E encoding;
    Bytes bytes;  // little-endian, as in the file
    float want;
  } kRows[] = {
      {E::U8, {0x00}, -1.0f}, {E::U8, {0x80}, 0.0f}, {E::U8, {0xFF}, 127 / 128.0f}, {E::S16, {0x00, 0x80}, -1.0f},
      {E::S16, {0xFF, 0x7F}, 32767 / 32768.0f}, {E::S16, {0x00, 0x00}, 0.0f}, {E::S16, {0x01, 0x00}, 1 / 32768.0f},
      {E::S16, {0xFF, 0xFF}, -1 / 32768.0f}, {E::S24Packed, {0x00, 0x00, 0x80}, -1.0f},
      {E::S24Packed, {0xFF, 0xFF, 0x7F}, 8388607 / 8388608.0f}, {E::S24Packed, {0x01, 0x00, 0x00}, 1 / 8388608.0f},
      {E::S24Packed, {0xFF, 0xFF, 0xFF}, -1 / 8388608.0f}, {E::S32, {0x00, 0x00, 0x00, 0x80}, -1.0f},
      {E::S32, {0xFF, 0xFF, 0xFF, 0x7F}, 1.0f}, {E::S32, {0x00, 0x00, 0x01, 0x00}, 1 / 32768.0f},
      // floats: within full scale as they are; beyond it, infinite or not a number, clamped
      {E::Float32, {0x00, 0x00, 0x80, 0xBE}, -0.25f}, {E::Float32, {0x00, 0x00, 0x80, 0x3F}, 1.0f},
      {E::Float32, {0x00, 0x00, 0x00, 0x40}, 1.0f}, {E::Float32, {0x00, 0x00, 0x40, 0xC0}, -1.0f},
      {E::Float32, {0x00, 0x00, 0x80, 0x7F}, 1.0f}, {E::Float32, {0x00, 0x00, 0x80, 0xFF}, -1.0f},
      {E::Float32, {0x00, 0x00, 0xC0, 0x7F}, 0.0f}, {E::Float32, {0x00, 0x00, 0xC0, 0xFF}, 0.0f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xD0, 0x3F}, 0.25f}, {E::Float64, {0, 0, 0, 0, 0, 0, 0xE0, 0xBF}, -0.5f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0x00, 0x40}, 1.0f}, {E::Float64, {0, 0, 0, 0, 0, 0, 0xF0, 0xFF}, -1.0f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xF8, 0x7F}, 0.0f},
      // G.711, the values sox gives on a 16-bit scale
      {E::ALaw, {0xD5}, 8 / 32768.0f}, {E::ALaw, {0x55}, -8 / 32768.0f}, {E::ALaw, {0xC5}, 264 / 32768.0f},
      {E::ALaw, {0x80}, 5504 / 32768.0f}, {E::ALaw, {0x70}, -688 / 32768.0f}, {E::ALaw, {0xAA}, 32256 / 32768.0f},
      {E::ALaw, {0x2A}, -32256 / 32768.0f}, {E::MuLaw, {0xFF}, 0.0f}, {E::MuLaw, {0x7F}, 0.0f},
      {E::MuLaw, {0xEF}, 132 / 32768.0f}, {E::MuLaw, {0x70}, -120 / 32768.0f}, {E::MuLaw, {0x55}, -716 / 32768.0f},
      {E::MuLaw, {0x80}, 32124 / 32768.0f}, {E::MuLaw, {0x00}, -32124 / 32768.0f},
  };
  for (const auto& r : kRows) {
    ASSERT_EQ(r.bytes.size(), SampleBytes(r.encoding));
    EXPECT_EQ(DecodeSample(r.encoding, r.bytes.data()), r.want)
        << static_cast<int>(r.encoding) << " code " << static_cast<int>(r.bytes.back());
  }
  const Bytes stereo24 = {0, 0, 0x80, 0, 0, 0x40, 0, 0, 0xC0, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(DecodeFrames(E::S24Packed, 2, stereo24.data(), 2),
            (ChannelSamples{{-1.0f, -0.5f}, {0.5f, 8388607 / 8388608.0f}}));
}

}  // namespace
