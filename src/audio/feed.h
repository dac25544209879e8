// Frames as the file holds them, made into the device's: mono widened to
// stereo, 64-bit float narrowed to 32-bit where the device lacks it. What the
// file holds is otherwise sent as it is, bit for bit.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wave/sample_format.h"

// Whether `frames` of the file's must pass through ToDevice, or can be read
// straight into the device's buffer.
bool NeedsConverting(uint32_t channels, SampleEncoding file, SampleEncoding device);

// Converts `frames` frames of `channels` samples of `sampleBytes` in `file`'s
// encoding at `in` to stereo frames in `device`'s encoding at `out`. Values
// beyond the 32-bit float range are clamped, not undefined.
void ToDevice(uint64_t frames, uint32_t channels, size_t sampleBytes, SampleEncoding file, SampleEncoding device,
              const unsigned char* in, unsigned char* out);
