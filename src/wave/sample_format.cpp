#include "wave/sample_format.h"

#include <cstdint>

namespace {

enum : uint32_t { kPcm = 1, kFloat = 3, kALaw = 6, kMuLaw = 7 };

// Integer samples wider than 8 bits are signed and left-justified in their
// container, so the container's format plays them as they are.
bool EncodingFor(uint32_t code, uint32_t bits, uint32_t bytes, SampleEncoding* e) {
  const bool filled = bits == 8 * bytes;
  switch (code) {
    case kPcm:
      if (bits == 8 && bytes == 1) {
        *e = SampleEncoding::U8;
        return true;
      }
      if (bits <= 8 || bits > 8 * bytes) return false;
      switch (bytes) {
        case 2: *e = SampleEncoding::S16; return true;
        case 3: *e = SampleEncoding::S24Packed; return true;
        case 4: *e = SampleEncoding::S32; return true;
      }
      return false;
    case kFloat:
      if (filled && bits == 32) {
        *e = SampleEncoding::Float32;
        return true;
      }
      if (filled && bits == 64) {
        *e = SampleEncoding::Float64;
        return true;
      }
      return false;
    case kALaw:
      *e = SampleEncoding::ALaw;
      return filled && bits == 8;
    case kMuLaw:
      *e = SampleEncoding::MuLaw;
      return filled && bits == 8;
  }
  return false;
}

}  // namespace

bool ChooseEncoding(const StreamAttributes& a, SampleEncoding* encoding, std::string* why) {
  const std::string prefix = "Unsupported wave file: ";
  const bool packed = a.bytesPerSample == a.bitsPerSample / 8;  // no container wider than the bits
  if (a.bigEndian) {
    *why = prefix + "big-endian (RIFX).";
  } else if (!a.hasFormat) {
    *why = prefix + "no format chunk.";
  } else if (a.channels != 1 && a.channels != 2) {
    *why = prefix + std::to_string(a.channels) + " channels (mono and stereo play).";
  } else if (a.sampleRate == 0 || a.sampleRate > INT32_MAX) {
    // a rate field with its top bit set reads as negative: no device plays that
    *why = prefix + "a sample rate of " + std::to_string(static_cast<uint32_t>(a.sampleRate)) + ".";
  } else if (!packed && a.bytesPerSample > 4 && a.bytesPerSample != 8) {  // no device format that wide
    *why = prefix + "a block align of " + std::to_string(FrameBytes(a)) + " (" +
           std::to_string(a.bytesPerSample) + "-byte samples).";
  } else if (!EncodingFor(a.formatCode, a.bitsPerSample, a.bytesPerSample, encoding)) {
    *why = prefix + std::to_string(a.bitsPerSample) + "-bit samples" +
           (packed ? "" : " in " + std::to_string(a.bytesPerSample) + "-byte containers") + " in format " +
           std::to_string(a.formatCode) + ".";
  } else {
    return true;
  }
  return false;
}

size_t SampleBytes(SampleEncoding e) {
  switch (e) {
    case SampleEncoding::U8: case SampleEncoding::ALaw: case SampleEncoding::MuLaw: return 1;
    case SampleEncoding::S16: return 2;
    case SampleEncoding::S24Packed: return 3;
    case SampleEncoding::S32: case SampleEncoding::Float32: return 4;
    case SampleEncoding::Float64: return 8;
  }
  return 0;
}
