#include "wave/wave_header.h"

#include <array>
#include <cstring>

namespace {

// Little-endian fields; every byte counts as 0..255.
int64_t Assem2(const unsigned char* b) { return static_cast<int64_t>(b[0]) | static_cast<int64_t>(b[1]) << 8; }

// 32-bit field, sign-extended: a top byte of 0x80 or more gives a negative value.
int64_t Assem4(const unsigned char* b) {
  const uint32_t v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                     static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return static_cast<int32_t>(v);
}

constexpr uint32_t kFormatExtensible = 0xFFFE;

struct Window {
  const unsigned char* bytes;
  size_t n;
  uint64_t fileSize;
};

// First even offset in 2..kLastProbe holding `id` wholly inside the file.
bool FindId(const Window& w, const char* id, uint64_t* pos) {
  const size_t len = std::strlen(id);
  for (uint64_t off = 2; off <= kLastProbe && off + len <= w.n; off += 2) {
    if (std::memcmp(w.bytes + off, id, len) == 0) {
      *pos = off;
      return true;
    }
  }
  return false;
}

// The bytes at `pos`, with those past what was read as 0.
std::array<unsigned char, 4> Field(const Window& w, uint64_t pos, size_t len) {
  std::array<unsigned char, 4> out{};
  for (size_t i = 0; i < len && pos + i < w.n; ++i) out[i] = w.bytes[pos + i];
  return out;
}

void ReadFormat(const Window& w, uint64_t fmtPos, StreamAttributes* a) {
  a->channels = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 10, 2).data()));
  a->bitsPerSample = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 22, 2).data()));
  a->bytesPerSample = a->bitsPerSample >> 3;
  a->sampleRate = static_cast<uint64_t>(Assem4(Field(w, fmtPos + 12, 4).data()));
  a->formatCode = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 8, 2).data()));
  if (a->formatCode == kFormatExtensible)
    a->formatCode = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 32, 2).data()));
}

}  // namespace

bool ScanWaveHeader(const unsigned char* bytes, size_t n, uint64_t fileSize, StreamAttributes* attrs) {
  const Window w{bytes, n, fileSize};
  StreamAttributes a;
  uint64_t fmtPos = 0;
  a.hasFormat = FindId(w, "fmt", &fmtPos);
  if (a.hasFormat) ReadFormat(w, fmtPos, &a);
  uint64_t dataPos = 0;
  if (!FindId(w, "data", &dataPos)) {
    *attrs = a;
    return false;
  }
  a.dataOffset = dataPos + 8;
  const uint64_t size = static_cast<uint64_t>(Assem4(Field(w, dataPos + 4, 4).data()));
  const uint64_t frameBytes = FrameBytes(a);
  if (frameBytes != 0) {
    const uint64_t present = a.dataOffset < fileSize ? fileSize - a.dataOffset : 0;
    a.lengthFrames = size / frameBytes;
    if (frameBytes * a.lengthFrames > present) a.lengthFrames = present / frameBytes;
  }
  *attrs = a;
  return true;
}
