// What the player needs to know of a wave file, and the scan that finds it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

struct StreamAttributes {
  uint64_t sampleRate = 0;
  uint32_t bytesPerSample = 0;  // bits per sample / 8, truncated
  uint32_t bitsPerSample = 0;
  uint32_t channels = 0;
  uint32_t formatCode = 0;  // 1 PCM, 3 float, 6 A-law, 7 mu-law (extensible resolved)
  uint64_t dataOffset = 0;  // first sample byte
  uint64_t lengthFrames = 0;
  bool hasFormat = false;
};

inline uint32_t FrameBytes(const StreamAttributes& a) { return a.bytesPerSample * a.channels; }

enum class ScanStatus { Ok, NoData, NeedMore };

// Identifiers are probed at even offsets 2..kLastProbe; the fields read beside
// them end at most kFieldReach bytes past the identifier.
constexpr uint64_t kLastProbe = 131072;
constexpr uint64_t kFieldReach = 36;
constexpr size_t kScanWindow = kLastProbe + kFieldReach;

// Scans `bytes`, the first `n` bytes of a file of `fileSize` bytes. When `n`
// is short of both the file and kScanWindow and the answer depends on the
// bytes beyond, returns NeedMore. Bytes past the end of the file read as 0.
ScanStatus ScanWaveHeader(const unsigned char* bytes, size_t n, uint64_t fileSize,
                          StreamAttributes* attrs);

// Reads the header of the file at `path`. A missing file or data chunk prints
// its line on standard output and ends the process with status 2.
void GetAttributes(const std::string& path, StreamAttributes* attrs);

// The fatal line for a file that cannot be opened; status 2.
[[noreturn]] void FileNotFound(const std::string& path);
