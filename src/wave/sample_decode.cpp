#include "wave/sample_decode.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

uint64_t LittleEndian(const unsigned char* b, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[i];
  return v;
}

// A signed integer of `bits` bits, two's complement, as a fraction of full scale.
float SignedFraction(uint64_t v, int bits) {
  const double full = std::ldexp(1.0, bits - 1);
  const double x = static_cast<double>(v);
  return static_cast<float>((x >= full ? x - 2 * full : x) / full);
}

float Clamped(double x) {
  if (std::isnan(x)) return 0.0f;
  return static_cast<float>(std::clamp(x, -1.0, 1.0));
}

// G.711 A-law: the even bits travel inverted; three bits of segment, four of
// step, and the top bit set for positive values. Gives a 16-bit magnitude.
int ALawLinear(unsigned char code) {
  const int a = code ^ 0x55;
  const int segment = (a >> 4) & 7;
  int magnitude = (a & 0x0F) << 4 | 8;
  if (segment > 0) magnitude = (magnitude + 0x100) << (segment - 1);
  return (a & 0x80) ? magnitude : -magnitude;
}

// G.711 µ-law: all bits travel inverted; the value is offset by a bias of 132
// so that each segment doubles the one before; the top bit set for negative values.
int MuLawLinear(unsigned char code) {
  const int u = ~code & 0xFF;
  const int magnitude = (((u & 0x0F) << 3) + 0x84) << ((u >> 4) & 7);
  return (u & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
}

}  // namespace

float DecodeSample(SampleEncoding encoding, const unsigned char* b) {
  const uint64_t v = LittleEndian(b, static_cast<int>(SampleBytes(encoding)));
  switch (encoding) {
    case SampleEncoding::U8: return static_cast<float>(static_cast<int>(v) - 128) / 128.0f;
    case SampleEncoding::S16: return SignedFraction(v, 16);
    case SampleEncoding::S24Packed: return SignedFraction(v, 24);
    case SampleEncoding::S32: return SignedFraction(v, 32);
    case SampleEncoding::Float32: {
      const auto bits = static_cast<uint32_t>(v);
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return Clamped(f);
    }
    case SampleEncoding::Float64: {
      double d;
      std::memcpy(&d, &v, sizeof d);
      return Clamped(d);
    }
    case SampleEncoding::ALaw: return static_cast<float>(ALawLinear(b[0])) / 32768.0f;
    case SampleEncoding::MuLaw: return static_cast<float>(MuLawLinear(b[0])) / 32768.0f;
  }
  return 0.0f;
}

ChannelSamples DecodeFrames(SampleEncoding encoding, uint32_t channels, const unsigned char* bytes,
                            size_t frames) {
  ChannelSamples out(channels);
  const size_t width = SampleBytes(encoding);
  for (size_t c = 0; c < out.size(); ++c) {
    out[c].reserve(frames);
    for (size_t f = 0; f < frames; ++f)
      out[c].push_back(DecodeSample(encoding, bytes + (f * out.size() + c) * width));
  }
  return out;
}

void MeasureLevel(SampleEncoding encoding, const unsigned char* bytes, size_t count, Level* level) {
  // full scale: the largest positive value, which an integer's most negative one passes
  static const unsigned char kMost[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F};
  const size_t width = SampleBytes(encoding);
  const bool floating = encoding == SampleEncoding::Float32 || encoding == SampleEncoding::Float64;
  const bool companded = encoding == SampleEncoding::ALaw || encoding == SampleEncoding::MuLaw;
  const unsigned char top[] = {static_cast<unsigned char>(encoding == SampleEncoding::ALaw ? 0xAA : 0x80)};
  const float full = floating ? 1.0f
                     : companded ? DecodeSample(encoding, top)
                     : encoding == SampleEncoding::U8 ? 127.0f / 128.0f
                                                      : DecodeSample(encoding, kMost + 8 - width);
  for (size_t i = 0; i < count; ++i, bytes += width) {
    const float v = std::fabs(DecodeSample(encoding, bytes));
    level->peak = std::max(level->peak, v);
    if (v >= full) ++level->fullScale;
  }
}
