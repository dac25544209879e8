// libFuzzer target for the header scan: arbitrary bytes as a whole file and as
// a prefix of one, then the encoding choice on what the scan found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "wave/sample_format.h"
#include "wave/wave_header.h"

namespace {

void Require(bool ok) {
  if (!ok) std::abort();  // libFuzzer saves the input as a crash
}

bool Same(const StreamAttributes& a, const StreamAttributes& b) {
  return a.sampleRate == b.sampleRate && a.bytesPerSample == b.bytesPerSample &&
         a.bitsPerSample == b.bitsPerSample && a.channels == b.channels &&
         a.formatCode == b.formatCode && a.dataOffset == b.dataOffset &&
         a.lengthFrames == b.lengthFrames && a.hasFormat == b.hasFormat;
}

// The length may not claim frames the file does not hold.
void CheckLength(const StreamAttributes& a, uint64_t fileSize) {
  if (a.dataOffset > fileSize) {
    Require(a.lengthFrames == 0);
    return;
  }
  uint64_t bytes = 0;
  Require(!__builtin_mul_overflow(uint64_t{FrameBytes(a)}, a.lengthFrames, &bytes));
  Require(bytes <= fileSize - a.dataOffset);
}

// The player sizes its buffers and reads by bytesPerSample, the device by the encoding.
uint32_t WidthOf(SampleEncoding e) {
  switch (e) {
    case SampleEncoding::U8: case SampleEncoding::ALaw: case SampleEncoding::MuLaw: return 1;
    case SampleEncoding::S16: return 2;
    case SampleEncoding::S24Packed: return 3;
    case SampleEncoding::S32: case SampleEncoding::Float32: return 4;
    case SampleEncoding::Float64: return 8;
  }
  return 0;
}

void CheckEncoding(const StreamAttributes& a) {
  SampleEncoding encoding;
  std::string why;
  if (ChooseEncoding(a, &encoding, &why)) {
    Require(why.empty());
    Require(a.hasFormat && (a.channels == 1 || a.channels == 2) && a.sampleRate != 0);
    Require(WidthOf(encoding) == a.bytesPerSample && a.bitsPerSample == 8 * a.bytesPerSample);
  } else {
    Require(!why.empty());
  }
}

// A scan of the first `n` bytes must agree with the whole file's scan unless it asks for more.
void CheckPrefix(const uint8_t* data, size_t size, size_t n, ScanStatus full,
                 const StreamAttributes& fullAttrs) {
  StreamAttributes a;
  const ScanStatus status = ScanWaveHeader(data, n, size, &a);
  if (status == ScanStatus::NeedMore) {
    Require(n < size);
    return;
  }
  Require(status == full && Same(a, fullAttrs));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StreamAttributes full;
  const ScanStatus status = ScanWaveHeader(data, size, size, &full);
  Require(status != ScanStatus::NeedMore);
  if (status == ScanStatus::Ok) {
    CheckLength(full, size);
    CheckEncoding(full);
  }
  // the player's first look is at 4096 bytes
  CheckPrefix(data, size, size < 4096 ? size : 4096, status, full);
  // bytes 0 and 1 are never probed, so they can pick a second prefix length freely
  if (size >= 2) CheckPrefix(data, size, (data[0] | data[1] << 8) % (size + 1), status, full);
  return 0;
}
