#include "wave/wave_header.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#include "wave/byte_order.h"
#include "wave/file_io.h"

namespace {

constexpr uint32_t kFormatExtensible = 0xFFFE;

// A view of the first bytes of a file. `partial` means bytes exist past `n`
// that the answer may need; `needMore` records that it did.
struct Window {
  const unsigned char* bytes;
  size_t n;
  uint64_t fileSize;
  bool partial;
  bool needMore = false;
};

// First even offset in 2..kLastProbe holding `id` wholly inside the file.
bool FindId(Window* w, const char* id, uint64_t* pos) {
  const size_t len = std::strlen(id);
  for (uint64_t off = 2; off <= kLastProbe && off + len <= w->fileSize; off += 2) {
    if (off + len > w->n) {
      w->needMore = w->partial;
      return false;
    }
    if (std::memcmp(w->bytes + off, id, len) == 0) {
      *pos = off;
      return true;
    }
  }
  return false;
}

// The bytes at `pos`, with those past the end of the file read as 0.
std::array<unsigned char, 4> Field(Window* w, uint64_t pos, size_t len) {
  std::array<unsigned char, 4> out{};
  for (size_t i = 0; i < len && pos + i < w->fileSize; ++i) {
    if (pos + i >= w->n) {
      w->needMore = w->partial;
      break;
    }
    out[i] = w->bytes[pos + i];
  }
  return out;
}

void ReadFormat(Window* w, uint64_t fmtPos, StreamAttributes* a) {
  a->channels = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 10, 2).data()));
  a->bitsPerSample = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 22, 2).data()));
  a->bytesPerSample = a->bitsPerSample >> 3;
  a->sampleRate = static_cast<uint64_t>(Assem4(Field(w, fmtPos + 12, 4).data()));
  a->formatCode = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 8, 2).data()));
  if (a->formatCode == kFormatExtensible)
    a->formatCode = static_cast<uint32_t>(Assem2(Field(w, fmtPos + 32, 2).data()));
}

}  // namespace

ScanStatus ScanWaveHeader(const unsigned char* bytes, size_t n, uint64_t fileSize,
                          StreamAttributes* attrs) {
  Window w{bytes, n, fileSize, n < fileSize && n < kScanWindow};
  StreamAttributes a;
  uint64_t fmtPos = 0;
  a.hasFormat = FindId(&w, "fmt", &fmtPos);
  if (a.hasFormat) ReadFormat(&w, fmtPos, &a);
  uint64_t dataPos = 0;
  bool hasData = FindId(&w, "data", &dataPos);
  if (w.needMore) return ScanStatus::NeedMore;
  if (!hasData) {
    *attrs = a;
    return ScanStatus::NoData;
  }
  a.dataOffset = dataPos + 8;
  const uint64_t size = static_cast<uint64_t>(Assem4(Field(&w, dataPos + 4, 4).data()));
  if (w.needMore) return ScanStatus::NeedMore;
  const uint64_t frameBytes = FrameBytes(a);
  if (frameBytes != 0) {
    const uint64_t present = a.dataOffset < fileSize ? fileSize - a.dataOffset : 0;
    a.lengthFrames = size / frameBytes;
    if (frameBytes * a.lengthFrames > present) a.lengthFrames = present / frameBytes;
  }
  *attrs = a;
  return ScanStatus::Ok;
}

void FileNotFound(const std::string& path) {
  std::printf("The file called %s cannot be found!\n", path.c_str());
  std::exit(2);
}

namespace {

// Scans the first `want` bytes of the file; a file that shrank since fstat
// counts only the bytes that are really there.
ScanStatus ScanPrefix(int fd, unsigned char* buf, size_t want, uint64_t fileSize,
                      StreamAttributes* attrs) {
  const size_t got = ReadAt(fd, buf, want, 0);
  if (got < want) fileSize = got;
  return ScanWaveHeader(buf, got, fileSize, attrs);
}

}  // namespace

void GetAttributes(const std::string& path, StreamAttributes* attrs) {
  UniqueFd fd = OpenRegularFile(path.c_str());
  struct stat st;
  if (!fd.Valid() || fstat(fd.Get(), &st) != 0) FileNotFound(path);
  const uint64_t fileSize = static_cast<uint64_t>(st.st_size);

  // Most headers fit in a few kilobytes: look there before reading the whole window.
  std::array<unsigned char, 4096> head;
  ScanStatus status = ScanPrefix(fd.Get(), head.data(),
                                 static_cast<size_t>(std::min<uint64_t>(fileSize, head.size())),
                                 fileSize, attrs);
  if (status == ScanStatus::NeedMore) {
    std::vector<unsigned char> window(static_cast<size_t>(std::min<uint64_t>(fileSize, kScanWindow)));
    status = ScanPrefix(fd.Get(), window.data(), window.size(), fileSize, attrs);
  }
  if (!attrs->hasFormat) std::printf("Can't find format chunk in wave file!\n");
  if (status != ScanStatus::Ok) {
    std::printf("Can't find data block in wave file!\n");
    std::exit(2);
  }
}
