// Samples of any encoding on one float scale, for measuring and drawing the
// waveform. Nothing played goes through here: playback stays bit-exact.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "wave/sample_format.h"

// One vector of samples per channel, each on the scale where full scale is 1.0.
using ChannelSamples = std::vector<std::vector<float>>;

// The little-endian sample at `bytes`, within [-1, 1]: the most negative
// integer gives -1; not-a-number gives 0 and floats beyond full scale are clamped,
// so whatever the file holds can be turned into a row of the picture.
float DecodeSample(SampleEncoding encoding, const unsigned char* bytes);

// `frames` frames of `channels` interleaved samples at `bytes`, one vector per channel.
ChannelSamples DecodeFrames(SampleEncoding encoding, uint32_t channels, const unsigned char* bytes,
                            size_t frames);

// How loud some samples are: the largest magnitude, and how many were at full
// scale (the largest value the encoding holds, either way).
struct Level {
  float peak = 0.0f;
  uint64_t fullScale = 0;
};

// Adds `count` samples at `bytes` to `level`.
void MeasureLevel(SampleEncoding encoding, const unsigned char* bytes, size_t count, Level* level);
