#include "wave/sample_decode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using E = SampleEncoding;

TEST(SampleDecode, ExtremesOfEachEncoding) {
  const struct {
    E encoding;
    std::vector<unsigned char> bytes;  // little-endian, as in the file
    float want;
  } kRows[] = {
      {E::U8, {0x00}, -1.0f}, {E::U8, {0x80}, 0.0f}, {E::U8, {0xFF}, 127 / 128.0f},
      {E::S16, {0x00, 0x80}, -1.0f}, {E::S16, {0xFF, 0x7F}, 32767 / 32768.0f},
      {E::S16, {0x00, 0x00}, 0.0f}, {E::S16, {0x01, 0x00}, 1 / 32768.0f},
      {E::S16, {0xFF, 0xFF}, -1 / 32768.0f},
      {E::S24Packed, {0x00, 0x00, 0x80}, -1.0f},
      {E::S24Packed, {0xFF, 0xFF, 0x7F}, 8388607 / 8388608.0f},
      {E::S24Packed, {0x01, 0x00, 0x00}, 1 / 8388608.0f},
      {E::S24Packed, {0xFF, 0xFF, 0xFF}, -1 / 8388608.0f},
      {E::S32, {0x00, 0x00, 0x00, 0x80}, -1.0f},
      {E::S32, {0xFF, 0xFF, 0xFF, 0x7F}, 1.0f},  // 1 - 2^-31 rounds to 1 in a float
      {E::S32, {0x00, 0x00, 0x01, 0x00}, 1 / 32768.0f},
      {E::S32, {0x00, 0x00, 0x00, 0x00}, 0.0f},
      // floats: within full scale as they are; beyond it, infinite or not a number, clamped
      {E::Float32, {0x00, 0x00, 0x80, 0xBE}, -0.25f}, {E::Float32, {0x00, 0x00, 0x80, 0x3F}, 1.0f},
      {E::Float32, {0x00, 0x00, 0x00, 0x40}, 1.0f}, {E::Float32, {0x00, 0x00, 0x40, 0xC0}, -1.0f},
      {E::Float32, {0x00, 0x00, 0x80, 0x7F}, 1.0f}, {E::Float32, {0x00, 0x00, 0x80, 0xFF}, -1.0f},
      {E::Float32, {0x00, 0x00, 0xC0, 0x7F}, 0.0f}, {E::Float32, {0x00, 0x00, 0xC0, 0xFF}, 0.0f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xD0, 0x3F}, 0.25f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xE0, 0xBF}, -0.5f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0x00, 0x40}, 1.0f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xF0, 0xFF}, -1.0f},
      {E::Float64, {0, 0, 0, 0, 0, 0, 0xF8, 0x7F}, 0.0f},
      // G.711, the values sox gives on a 16-bit scale
      {E::ALaw, {0xD5}, 8 / 32768.0f}, {E::ALaw, {0x55}, -8 / 32768.0f},
      {E::ALaw, {0xC5}, 264 / 32768.0f}, {E::ALaw, {0x80}, 5504 / 32768.0f},
      {E::ALaw, {0x70}, -688 / 32768.0f}, {E::ALaw, {0xAA}, 32256 / 32768.0f},
      {E::ALaw, {0x2A}, -32256 / 32768.0f},
      {E::MuLaw, {0xFF}, 0.0f}, {E::MuLaw, {0x7F}, 0.0f}, {E::MuLaw, {0xEF}, 132 / 32768.0f},
      {E::MuLaw, {0x70}, -120 / 32768.0f}, {E::MuLaw, {0x55}, -716 / 32768.0f},
      {E::MuLaw, {0x80}, 32124 / 32768.0f}, {E::MuLaw, {0x00}, -32124 / 32768.0f},
  };
  for (const auto& r : kRows) {
    ASSERT_EQ(r.bytes.size(), SampleBytes(r.encoding));
    EXPECT_EQ(DecodeSample(r.encoding, r.bytes.data()), r.want)
        << static_cast<int>(r.encoding) << " code " << static_cast<int>(r.bytes.back());
  }
}

TEST(SampleDecode, FramesSplitIntoChannels) {
  const unsigned char stereo24[] = {0, 0, 0x80, 0, 0, 0x40, 0, 0, 0xC0, 0xFF, 0xFF, 0x7F};
  const ChannelSamples got = DecodeFrames(E::S24Packed, 2, stereo24, 2);
  EXPECT_EQ(got, (ChannelSamples{{-1.0f, -0.5f}, {0.5f, 8388607 / 8388608.0f}}));
  const unsigned char mono8[] = {0x00, 0x40, 0xC0};
  EXPECT_EQ(DecodeFrames(E::U8, 1, mono8, 3), (ChannelSamples{{-1.0f, -0.5f, 0.5f}}));
}

}  // namespace
