// What the player needs to know of a wave file, and the scan that finds it in the file's first bytes.
#pragma once
#include <cstddef>
#include <cstdint>

struct StreamAttributes {
  uint64_t sampleRate = 0;
  uint32_t bytesPerSample = 0;  // the container: from the block align, or bits / 8 truncated
  uint32_t bitsPerSample = 0;
  uint32_t channels = 0;
  uint32_t formatCode = 0;  // 1 PCM, 3 float, 6 A-law, 7 mu-law (extensible resolved)
  uint64_t dataOffset = 0;  // first sample byte
  uint64_t lengthFrames = 0;  // the data size (ds64 in RF64 and BW64) in whole frames, capped by the file
  uint64_t dataBytes = 0;     // the data size as the header gives it; UINT64_MAX for "to the end"
  bool hasFormat = false;
  bool bigEndian = false;  // a RIFX file: its fields were read the wrong way round
};

inline uint32_t FrameBytes(const StreamAttributes& a) { return a.bytesPerSample * a.channels; }

// Chunks are found by walking the file's chunks, or, in a file whose chunks
// do not lead to both, by probing for their identifiers at even offsets; either
// way at offsets 2..kLastProbe. The fields read beside an identifier end at
// most kFieldReach bytes past it.
constexpr uint64_t kLastProbe = 131072;
constexpr uint64_t kFieldReach = 36;
constexpr size_t kScanWindow = kLastProbe + kFieldReach;

// Scans `bytes`, the first `n` bytes of a file of `fileSize` bytes (all of
// them, or the first kScanWindow). Bytes past `n` read as 0. Returns false
// when there is no data chunk; `attrs` then still says whether a format chunk
// was found.
bool ScanWaveHeader(const unsigned char* bytes, size_t n, uint64_t fileSize, StreamAttributes* attrs);
