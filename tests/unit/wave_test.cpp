// The header scan on byte images, the encoding chosen for a header, and the decoding of samples
// for the seam tools.
#include <gtest/gtest.h>

#include <functional>

#include "wave/other_format.h"
#include "wave/sample_decode.h"
#include "wave/sample_format.h"
#include "wave/wave_header.h"

namespace {

using Bytes = std::vector<unsigned char>;
using E = SampleEncoding;
constexpr uint64_t kGiB = uint64_t{1} << 30;

Bytes operator+(Bytes a, const Bytes& b) { return a.insert(a.end(), b.begin(), b.end()), a; }
Bytes Le(uint64_t v, int n) { return n == 0 ? Bytes() : Bytes{static_cast<unsigned char>(v)} + Le(v >> 8, n - 1); }
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
Bytes Chunk(const std::string& id, const Bytes& body) { return Text(id) + Le(body.size(), 4) + body + Bytes(body.size() % 2); }

// A header in front of 400 bytes of 16-bit stereo at 8000 Hz, unless changed. Format 0xFFFE: extensible float, 0:
// no format chunk; align -1: channels × bits / 8; chunks before and after the data; dataSize -1: the data's own size;
// ds64 -1: no ds64 chunk.
struct Layout {
  uint16_t format = 1, channels = 2, bits = 16;
  int32_t align = -1;
  Bytes before, data = Bytes(400, 0x5A), after;
  int64_t dataSize = -1, ds64 = -1;
  std::string riff = "RIFF";
};

Bytes Fmt(const Layout& w) {
  const uint64_t align = w.align < 0 ? w.channels * (w.bits / 8u) : static_cast<uint64_t>(w.align);
  Bytes fmt = Le(w.format, 2) + Le(w.channels, 2) + Le(8000, 4) + Le(8000 * align, 4) + Le(align, 2) + Le(w.bits, 2);
  if (w.format == 0xFFFE) fmt = fmt + Le(22, 2) + Le(w.bits, 2) + Le(3, 4) + Le(3, 2) + Bytes(14);
  return Chunk("fmt ", fmt);
}

Bytes Wave(const Layout& w) {
  const Bytes ds64 = w.ds64 < 0 ? Bytes() : Chunk("ds64", Le(0, 8) + Le(w.ds64, 8) + Le(0, 12));
  const Bytes body = Text("WAVE") + ds64 + (w.format ? Fmt(w) : Bytes()) + w.before + Text("data") +
                     Le(w.dataSize < 0 ? w.data.size() : w.dataSize, 4) + w.data + w.after;
  return Text(w.riff) + Le(body.size(), 4) + body;
}

// The chunks are found by walking them (tests/corpus has the layouts found in the wild); where they do not lead to
// the data, the first ids at even offsets are taken. Offset 0: no data chunk found.
TEST(WaveHeader, WhereTheDataIsAndHowLong) {
  const auto align = [](uint16_t channels, uint16_t bits, int32_t align) {
    return [=](Layout* w) { w->channels = channels, w->bits = bits, w->align = align, w->data = Bytes(480); };
  };
  using L = Layout*;
  const struct { std::function<void(L)> change; uint64_t fileSize, offset, frames, bytes, code; } kRows[] = {
      {[](L w) { w->after = Fmt(*w), w->format = 0, w->data = Text("fmt ") + Bytes(396); }, 0, 20, 100, 2, 1},
      // an id of junk; a size past the end, "data" at an odd offset passed over
      {[](L w) { w->before = Bytes{1, 0, 0, 0} + Le(6, 4) + Text("xxdata"); }, 0, 54, 101, 2, 1},
      {[](L w) { w->before = Text("LIST") + Le(999, 4) + Text("xdataxdata"); }, 0, 58, 101, 2, 1},
      // RIFX is not walked
      {[](L w) { w->riff = "RIFX", w->before = Chunk("LIST", Text("xxdata")); }, 0, 54, 101, 2, 1},
      // walked to at 128 KiB; past the probes
      {[](L w) { w->before = Chunk("junk", Text("xxdata") + Bytes(131072 - 50)); }, 0, 131080, 100, 2, 1},
      {[](L w) { w->before = Chunk("junk", Bytes(131074 - 44)); }, 0, 0, 0, 0, 0},
      // cut inside the data id, in the size field
      {[](L) {}, 39, 0, 0, 0, 0},
      {[](L) {}, 42, 44, 0, 2, 1},
      {[](L w) { w->format = 0; }, 0, 20, 0, 0, 0},
      {[](L w) { w->channels = 0; }, 0, 44, 0, 2, 1},
      {[](L w) { w->dataSize = 0; }, 0, 44, 0, 2, 1},
      // all ones: to the end, in 5 GiB; a ds64 size in RF64 only, and only for all ones
      {[](L w) { w->dataSize = 0xFFFFFFFF; }, 44 + 5 * kGiB, 44, 5 * kGiB / 4, 2, 1},
      {[](L w) { w->riff = "RF64", w->dataSize = 0xFFFFFFFF, w->ds64 = 6 * kGiB; },
       80 + 8 * kGiB, 80, 6 * kGiB / 4, 2, 1},
      {[](L w) { w->riff = "RF64", w->dataSize = 200, w->ds64 = 400; }, 0, 80, 50, 2, 1},
      {[](L w) { w->dataSize = 0xFFFFFFFF, w->ds64 = 4, w->after = Bytes(72); }, 0, 80, 118, 2, 1},
      {[](L w) { w->riff = "RF64", w->dataSize = 0xFFFFFFFF, w->after = Bytes(72); }, 0, 44, 118, 2, 1},
      {[](L w) { w->format = 0xFFFE, w->bits = 32; }, 0, 68, 50, 4, 3},
      // the container, as the block align says, else packed
      {align(2, 20, 6), 0, 44, 80, 3, 1},
      {align(2, 24, 7), 0, 44, 80, 3, 1},
      {align(2, 16, 2), 0, 44, 120, 2, 1},
      {align(1, 8, 2), 0, 44, 480, 1, 1},
  };
  for (const auto& r : kRows) {
    Layout w;
    r.change(&w);
    Bytes b = Wave(w);
    if (r.fileSize != 0 && r.fileSize < b.size()) b.resize(r.fileSize);
    StreamAttributes a;
    ASSERT_EQ(ScanWaveHeader(b.data(), b.size(), r.fileSize ? r.fileSize : b.size(), &a), r.offset != 0) << &r - kRows;
    if (r.offset == 0) continue;
    EXPECT_EQ(std::vector<uint64_t>({a.dataOffset, a.lengthFrames, a.bytesPerSample, a.formatCode}),
              std::vector<uint64_t>({r.offset, r.frames, r.bytes, r.code})) << &r - kRows;
  }
}

// A file in another audio format, told by its first bytes (tests/e2e/refusals.test has FLAC).
TEST(OtherFormat, FirstBytes) {
  const std::pair<std::string, const char*> kRows[] = {
      {"ID3", "MP3"}, {"\xFF\xFB", "MP3"}, {"OggS", "Ogg"}, {"FORM1234AIFF", "AIFF"}, {"FORM1234AIFC", "AIFF"},
      {"FORM1234WAVE", nullptr}, {"RIFF1234WAVE", nullptr}, {"\xFF\xF1", nullptr}, {"\xFF\xEB", nullptr},
      {"\xFF\x7B", nullptr}, {"\xFE\xFB", nullptr}, {"\xFF", nullptr}};
  for (const auto& [bytes, format] : kRows) EXPECT_STREQ(OtherAudioFormat(Text(bytes).data(), bytes.size()), format) << bytes;
  EXPECT_EQ(OtherAudioFormat(Text("FORM1234AIFF").data(), 11), nullptr);
}

// Encodings of one width the program could mistake for each other, and each refusal: "" where its text has the
// shape of one above (tests/e2e has what plays bit for bit, and the refusals for channels, a missing format chunk
// and big-endian).
TEST(SampleFormat, EncodingOfEachSampleAndContainer) {
  const struct { uint16_t format, channels, bits, bytes; E encoding; const char* refusal; } kRows[] = {
      {1, 2, 8, 1, E::U8, nullptr}, {6, 1, 8, 1, E::ALaw, nullptr}, {7, 2, 8, 1, E::MuLaw, nullptr},
      {1, 2, 32, 4, E::S32, nullptr}, {3, 2, 32, 4, E::Float32, nullptr}, {1, 2, 20, 3, E::S24Packed, nullptr},
      {1, 2, 12, 2, E::S16, nullptr}, {1, 2, 9, 4, E::S32, nullptr},
      {1, 2, 24, 5, E::U8, "a block align of 10 (5-byte samples)."}, {1, 2, 20, 2, E::U8, "20-bit samples in format 1."},
      {1, 2, 64, 8, E::U8, "64-bit samples in format 1."}, {1, 2, 12, 1, E::U8, ""}, {1, 2, 4, 0, E::U8, ""},
      {1, 2, 24, 8, E::U8, "24-bit samples in 8-byte containers in format 1."}, {2, 1, 16, 2, E::U8, ""},
      {3, 2, 16, 2, E::U8, ""}, {3, 2, 32, 8, E::U8, ""}, {3, 2, 24, 4, E::U8, ""}, {7, 2, 8, 2, E::U8, ""},
      {6, 2, 8, 2, E::U8, ""},
  };
  StreamAttributes a;
  E e;
  std::string why;
  for (const auto& r : kRows) {
    a.hasFormat = true, a.channels = r.channels, a.formatCode = r.format, a.bitsPerSample = r.bits;
    a.bytesPerSample = r.bytes, a.sampleRate = 44100, e = E::MuLaw, why.clear();
    EXPECT_EQ(ChooseEncoding(a, &e, &why), r.refusal == nullptr) << &r - kRows;
    if (!r.refusal) {
      EXPECT_EQ(e, r.encoding) << &r - kRows;
    } else if (*r.refusal) {
      EXPECT_EQ(why, "Unsupported wave file: " + std::string(r.refusal));
    }
  }
  a.hasFormat = true, a.formatCode = a.channels = 1, a.bitsPerSample = 16, a.bytesPerSample = 2;
  // the last: 0xFFFFFFFF, sign-extended
  for (uint64_t rate : {uint64_t{INT32_MAX}, uint64_t{0}, uint64_t{INT32_MAX} + 1, ~uint64_t{0}}) {
    a.sampleRate = rate;
    EXPECT_EQ(ChooseEncoding(a, &e, &why), rate == INT32_MAX) << rate;
  }
  EXPECT_EQ(why, "Unsupported wave file: a sample rate of 4294967295.");
}

// Bytes little-endian, as in the file.
TEST(SampleDecode, ExtremesOfEachEncoding) {
  const struct { E encoding; Bytes bytes; float want; } kRows[] = {
      {E::U8, {0x00}, -1.0f}, {E::U8, {0xFF}, 127 / 128.0f}, {E::S16, {0x00, 0x80}, -1.0f}, {E::S16, {0xFF, 0xFF}, -1 / 32768.0f},
      {E::S24Packed, {0x00, 0x00, 0x80}, -1.0f}, {E::S24Packed, {0xFF, 0xFF, 0x7F}, 8388607 / 8388608.0f},
      {E::S32, {0x00, 0x00, 0x00, 0x80}, -1.0f}, {E::S32, {0x00, 0x00, 0x01, 0x00}, 1 / 32768.0f},
      // floats: within full scale as they are; beyond it, infinite or not a number, clamped
      {E::Float32, {0x00, 0x00, 0x80, 0xBE}, -0.25f}, {E::Float32, {0x00, 0x00, 0x00, 0x40}, 1.0f},
      {E::Float32, {0x00, 0x00, 0x80, 0xFF}, -1.0f}, {E::Float32, {0x00, 0x00, 0xC0, 0x7F}, 0.0f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xD0, 0x3F}, 0.25f},
      // G.711, the values sox gives on a 16-bit scale
      {E::ALaw, {0xD5}, 8 / 32768.0f}, {E::ALaw, {0x55}, -8 / 32768.0f}, {E::ALaw, {0xC5}, 264 / 32768.0f},
      {E::ALaw, {0xAA}, 32256 / 32768.0f}, {E::MuLaw, {0xEF}, 132 / 32768.0f}, {E::MuLaw, {0x70}, -120 / 32768.0f},
      {E::MuLaw, {0x80}, 32124 / 32768.0f},
  };
  for (const auto& r : kRows) {
    ASSERT_EQ(r.bytes.size(), SampleBytes(r.encoding));
    EXPECT_EQ(DecodeSample(r.encoding, r.bytes.data()), r.want) << &r - kRows;
  }
  const Bytes stereo24 = {0, 0, 0x80, 0, 0, 0x40, 0, 0, 0xC0, 0xFF, 0xFF, 0x7F};
  EXPECT_EQ(DecodeFrames(E::S24Packed, 2, stereo24.data(), 2), (ChannelSamples{{-1.0f, -0.5f}, {0.5f, 8388607 / 8388608.0f}}));
}

}  // namespace
