#include "wave/wave_header.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// A data size field of all ones means "to the end of the file", unless an
// RF64 or BW64 file's ds64 chunk gives the size.
constexpr uint64_t kSizeUnknown = 0xFFFFFFFF;
constexpr uint32_t kFormatExtensible = 0xFFFE;

struct Window {
  const unsigned char* bytes;
  size_t n;
  uint64_t fileSize;
};

// First even offset in 2..kLastProbe holding `id` wholly inside the file.
std::optional<uint64_t> FindId(const Window& w, const char* id) {
  const size_t len = std::strlen(id);
  for (uint64_t off = 2; off <= kLastProbe && off + len <= w.n; off += 2)
    if (std::memcmp(w.bytes + off, id, len) == 0) return off;
  return std::nullopt;
}

// The little-endian field of `len` bytes at `pos`, with bytes past what was
// read as 0; every byte counts as 0..255.
uint64_t Field(const Window& w, uint64_t pos, int len) {
  uint64_t v = 0;
  for (int i = len - 1; i >= 0; --i) v = v << 8 | (pos + i < w.n ? w.bytes[pos + i] : 0);
  return v;
}

void ReadFormat(const Window& w, uint64_t fmtPos, StreamAttributes* a) {
  a->channels = static_cast<uint32_t>(Field(w, fmtPos + 10, 2));
  a->bitsPerSample = static_cast<uint32_t>(Field(w, fmtPos + 22, 2));
  a->bytesPerSample = a->bitsPerSample >> 3;
  // Samples wider than a byte may sit in wider containers (24 bits in 4 bytes),
  // which the block align tells. One of 0, or one that is no multiple of the
  // channels or too small for the bits (a writer counting one channel), says
  // nothing: such files were written packed.
  const uint32_t align = static_cast<uint32_t>(Field(w, fmtPos + 20, 2));
  if (a->bitsPerSample > 8 && a->channels != 0 && align % a->channels == 0 &&
      align / a->channels * 8 >= a->bitsPerSample)
    a->bytesPerSample = align / a->channels;
  // sign-extended, so that a damaged rate reads as too large to play
  a->sampleRate = static_cast<uint64_t>(int64_t{static_cast<int32_t>(Field(w, fmtPos + 12, 4))});
  a->formatCode = static_cast<uint32_t>(Field(w, fmtPos + 8, 2));
  if (a->formatCode == kFormatExtensible) a->formatCode = static_cast<uint32_t>(Field(w, fmtPos + 32, 2));
}

// The data chunk's size in bytes; UINT64_MAX for "to the end of the file".
uint64_t DataSize(const Window& w, uint64_t dataPos) {
  const uint64_t size = Field(w, dataPos + 4, 4);
  if (size != kSizeUnknown) return size;
  // "data" was found, so the first four bytes were read
  const bool rf64 = std::memcmp(w.bytes, "RF64", 4) == 0 || std::memcmp(w.bytes, "BW64", 4) == 0;
  const auto ds64 = rf64 ? FindId(w, "ds64") : std::nullopt;
  return ds64 ? Field(w, *ds64 + 16, 8) : UINT64_MAX;  // past the RIFF size
}

}  // namespace

bool ScanWaveHeader(const unsigned char* bytes, size_t n, uint64_t fileSize, StreamAttributes* attrs) {
  const Window w{bytes, n, fileSize};
  StreamAttributes& a = *attrs;
  a = StreamAttributes();
  const auto fmt = FindId(w, "fmt"), data = FindId(w, "data");
  a.hasFormat = fmt.has_value();
  if (fmt) ReadFormat(w, *fmt, &a);
  if (!data) return false;
  a.dataOffset = *data + 8;
  const uint64_t size = DataSize(w, *data);
  const uint64_t present = a.dataOffset < fileSize ? fileSize - a.dataOffset : 0;
  const uint64_t frameBytes = FrameBytes(a);
  if (frameBytes != 0) a.lengthFrames = std::min(size, present) / frameBytes;
  return true;
}
