#include "wave/wave_header.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

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

// Where the identifiers of the chunks the player needs were found.
struct Chunks {
  std::optional<uint64_t> fmt, data, ds64;
};

bool Starts(const Window& w, uint64_t pos, const char* text) {
  const size_t len = std::strlen(text);
  return pos + len <= w.n && std::memcmp(w.bytes + pos, text, len) == 0;
}

bool Rf64(const Window& w) { return Starts(w, 0, "RF64") || Starts(w, 0, "BW64"); }

// First even offset in 2..kLastProbe holding `id` wholly inside the file.
std::optional<uint64_t> FindId(const Window& w, const char* id) {
  for (uint64_t off = 2; off <= kLastProbe && off + std::strlen(id) <= w.n; off += 2)
    if (Starts(w, off, id)) return off;
  return std::nullopt;
}

// The little-endian field of `len` bytes at `pos`, with bytes past what was
// read as 0; every byte counts as 0..255.
uint64_t Field(const Window& w, uint64_t pos, int len) {
  uint64_t v = 0;
  for (int i = len - 1; i >= 0; --i) v = v << 8 | (pos + i < w.n ? w.bytes[pos + i] : 0);
  return v;
}

// The data chunk's size in bytes; UINT64_MAX for "to the end of the file".
uint64_t DataSize(const Window& w, const Chunks& c) {
  const uint64_t size = Field(w, *c.data + 4, 4);
  if (size != kSizeUnknown) return size;
  return Rf64(w) && c.ds64 ? Field(w, *c.ds64 + 16, 8) : UINT64_MAX;  // past the RIFF size
}

// Follows the chunks of a RIFF, RF64 or BW64 wave file from offset 12: an id,
// a size, and a pad byte after an odd size. Gives nothing unless it comes to
// both "fmt " and "data" over ids of printable text, each chunk within the
// file: the text "data" inside a comment, a cue point or the audio is passed
// over, and a broken file is left to the probe that has always played it.
std::optional<Chunks> Walk(const Window& w) {
  if (!(Starts(w, 0, "RIFF") || Rf64(w)) || !Starts(w, 8, "WAVE")) return std::nullopt;
  Chunks c;
  const std::pair<const char*, std::optional<uint64_t>*> kIds[] = {
      {"fmt ", &c.fmt}, {"data", &c.data}, {"ds64", &c.ds64}};
  for (uint64_t pos = 12; pos <= kLastProbe && pos + 4 <= w.n;) {
    if (!std::all_of(w.bytes + pos, w.bytes + pos + 4, [](unsigned char b) { return b >= 0x20 && b < 0x7F; }))
      return std::nullopt;
    for (const auto& [id, at] : kIds)
      if (!*at && Starts(w, pos, id)) *at = pos;
    if (c.fmt && c.data) return c;
    // the data chunk too, when the format chunk comes after it
    const uint64_t size = pos == c.data ? DataSize(w, c) : Field(w, pos + 4, 4);
    if (size > w.fileSize) return std::nullopt;  // past the end (all ones for the data chunk)
    pos += 8 + size + size % 2;
  }
  return std::nullopt;
}

// The probe: the first even offsets holding the ids, wherever they are.
Chunks Probe(const Window& w) {
  return {FindId(w, "fmt"), FindId(w, "data"), Rf64(w) ? FindId(w, "ds64") : std::nullopt};
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

}  // namespace

bool ScanWaveHeader(const unsigned char* bytes, size_t n, uint64_t fileSize, StreamAttributes* attrs) {
  const Window w{bytes, n, fileSize};
  StreamAttributes& a = *attrs;
  a = StreamAttributes();
  a.bigEndian = Starts(w, 0, "RIFX");
  const std::optional<Chunks> walked = Walk(w);
  const Chunks c = walked ? *walked : Probe(w);
  a.hasFormat = c.fmt.has_value();
  if (c.fmt) ReadFormat(w, *c.fmt, &a);
  if (!c.data) return false;
  a.dataOffset = *c.data + 8;
  const uint64_t size = a.dataBytes = DataSize(w, c);
  const uint64_t present = a.dataOffset < fileSize ? fileSize - a.dataOffset : 0;
  const uint64_t frameBytes = FrameBytes(a);
  if (frameBytes != 0) a.lengthFrames = std::min(size, present) / frameBytes;
  return true;
}
