// libFuzzer target for the header scan: arbitrary bytes as a whole file, then
// the encoding choice on what the scan found.
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

void CheckEncoding(const StreamAttributes& a) {
  SampleEncoding encoding;
  std::string why;
  if (ChooseEncoding(a, &encoding, &why)) {
    Require(why.empty() && !a.bigEndian);
    Require(a.hasFormat && (a.channels == 1 || a.channels == 2) && a.sampleRate != 0);
    // the player reads by bytesPerSample, the device takes the encoding
    Require(SampleBytes(encoding) == a.bytesPerSample && a.bitsPerSample <= 8 * a.bytesPerSample);
    // only integer samples of more than a byte sit in a wider container
    Require(a.bitsPerSample == 8 * a.bytesPerSample || (a.formatCode == 1 && a.bitsPerSample > 8));
  } else {
    Require(!why.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StreamAttributes attrs;
  // the player reads at most the scan window of a file of any size
  const size_t n = size < kScanWindow ? size : kScanWindow;
  if (ScanWaveHeader(data, n, size, &attrs)) {
    CheckLength(attrs, size);
    CheckEncoding(attrs);
  }
  return 0;
}
