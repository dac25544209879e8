#include "audio/feed.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace {

// The width is a constant here, so each copy compiles to a plain move.
template <size_t W>
void Widen(uint64_t frames, const unsigned char* in, unsigned char* out) {
  for (uint64_t k = 0; k < frames; ++k, in += W, out += 2 * W) {
    std::memcpy(out, in, W);
    std::memcpy(out + W, in, W);
  }
}

// Copies each of `frames` mono samples of `width` bytes into both channels.
void Interleave(uint64_t frames, size_t width, const unsigned char* in, unsigned char* out) {
  switch (width) {
    case 1: Widen<1>(frames, in, out); break;
    case 2: Widen<2>(frames, in, out); break;
    case 3: Widen<3>(frames, in, out); break;
    case 4: Widen<4>(frames, in, out); break;
    case 8: Widen<8>(frames, in, out); break;
  }
}

// Narrows `count` 64-bit float samples to 32-bit, each written `copies` times (twice to widen mono).
void NarrowFloats(uint64_t count, int copies, const unsigned char* in, unsigned char* out) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "wave samples are little-endian");
  for (uint64_t i = 0; i < count; ++i, in += 8) {
    double d;
    std::memcpy(&d, in, 8);
    const float f = static_cast<float>(std::clamp<double>(d, -FLT_MAX, FLT_MAX));
    for (int c = 0; c < copies; ++c, out += 4) std::memcpy(out, &f, 4);
  }
}

}  // namespace

bool NeedsConverting(uint32_t channels, SampleEncoding file, SampleEncoding device) {
  return channels == 1 || file != device;
}

void ToDevice(uint64_t frames, uint32_t channels, size_t sampleBytes, SampleEncoding file, SampleEncoding device,
              const unsigned char* in, unsigned char* out) {
  if (file != device)
    NarrowFloats(frames * channels, channels == 1 ? 2 : 1, in, out);
  else if (channels == 1)
    Interleave(frames, sampleBytes, in, out);
}
