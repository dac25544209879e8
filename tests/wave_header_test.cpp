#include "wave/wave_header.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "wave/sample_format.h"
#include "wave/wave_file.h"
#include "wave_bytes.h"

namespace {

bool Scan(const Bytes& b, StreamAttributes* a) { return ScanWaveHeader(b.data(), b.size(), b.size(), a); }

StreamAttributes ScanOk(const Bytes& b) {
  StreamAttributes a;
  EXPECT_TRUE(Scan(b, &a));
  return a;
}

TEST(WaveHeader, CanonicalHeader) {
  WaveLayout w;
  w.data = Ramp(400);
  const Bytes file = WaveFile(w);
  ASSERT_EQ(file.size(), 444u);
  StreamAttributes a = ScanOk(file);
  EXPECT_EQ(a.sampleRate, 8000u);
  EXPECT_EQ(a.bytesPerSample, 2u);
  EXPECT_EQ(a.channels, 2u);
  EXPECT_EQ(a.formatCode, 1u);
  EXPECT_EQ(a.dataOffset, 44u);
  EXPECT_EQ(a.lengthFrames, 100u);
}

TEST(WaveHeader, ChunksAroundTheData) {
  WaveLayout w;
  w.data = Ramp(400);
  w.before = Chunk("LIST", Ramp(30));
  w.after = Chunk("LIST", Ramp(64));
  StreamAttributes a = ScanOk(WaveFile(w));
  EXPECT_EQ(a.dataOffset, 44u + 38u);
  EXPECT_EQ(a.lengthFrames, 100u);  // the trailing chunk is not audio
}

TEST(WaveHeader, FirstEvenDataWins) {
  WaveLayout w;
  w.data = Ramp(400);
  Bytes inner = {'x', 'x'};
  Put(&inner, "data");  // at offset 36 + 8 + 2 = 46
  w.before = Chunk("junk", inner);
  EXPECT_EQ(ScanOk(WaveFile(w)).dataOffset, 54u);
  w.before = Chunk("junk", Bytes{'x', 'd', 'a', 't', 'a', 'x'});  // odd offset: skipped
  EXPECT_EQ(ScanOk(WaveFile(w)).dataOffset, 44u + 14u);
}

TEST(WaveHeader, DataSizeIsCappedByBytesPresent) {
  WaveLayout w;
  w.data = Ramp(401);
  w.dataSize = 0;
  EXPECT_EQ(ScanOk(WaveFile(w)).lengthFrames, 0u);
  w.dataSize = 0xFFFFFFFF;  // to the end of the file
  EXPECT_EQ(ScanOk(WaveFile(w)).lengthFrames, 100u);
  w.dataSize = 100000;
  EXPECT_EQ(ScanOk(WaveFile(w)).lengthFrames, 100u);
  w.data.clear();
  Bytes file = WaveFile(w);
  file.resize(file.size() - 2);  // the size field itself is cut: the data starts past the end
  EXPECT_EQ(ScanOk(file).lengthFrames, 0u);
}

TEST(WaveHeader, DataSizesOf2GiBAndMore) {
  WaveLayout w;
  w.data = Ramp(400);
  const uint64_t fileSize = 44 + (uint64_t{5} << 30);  // only the header is in memory
  const struct {
    uint32_t field;
    uint64_t frames;
  } kCases[] = {
      {0x80000000, 0x20000000},
      {0xFFFFFFFE, 0x3FFFFFFF},
      {0xFFFFFFFF, uint64_t{5} << 28},  // to the end of the file
  };
  for (const auto& c : kCases) {
    w.dataSize = c.field;
    const Bytes file = WaveFile(w);
    StreamAttributes a;
    ASSERT_TRUE(ScanWaveHeader(file.data(), file.size(), fileSize, &a));
    EXPECT_EQ(a.lengthFrames, c.frames) << c.field;
  }
}

TEST(WaveHeader, Rf64AndBw64TakeTheDataSizeFromDs64) {
  WaveLayout w;
  w.data = Ramp(400);
  w.after = Chunk("LIST", Ramp(64));
  w.dataSize = 0xFFFFFFFF;
  w.ds64DataSize = 400;
  for (const char* id : {"RF64", "BW64"}) {
    w.riff = id;
    StreamAttributes a = ScanOk(WaveFile(w));
    EXPECT_EQ(a.dataOffset, 80u) << id;
    EXPECT_EQ(a.lengthFrames, 100u) << id;
  }
  w.ds64DataSize = int64_t{6} << 30;
  Bytes file = WaveFile(w);
  StreamAttributes a;
  ASSERT_TRUE(ScanWaveHeader(file.data(), file.size(), 80 + (uint64_t{8} << 30), &a));
  EXPECT_EQ(a.lengthFrames, uint64_t{6} << 28);

  w.ds64DataSize = 400;
  w.dataSize = 200;  // a size that fits in its field is that size
  EXPECT_EQ(ScanOk(WaveFile(w)).lengthFrames, 50u);
  w.dataSize = 0xFFFFFFFF;
  w.riff = "RIFF";  // a ds64 chunk counts only in an RF64 or BW64 file
  EXPECT_EQ(ScanOk(WaveFile(w)).lengthFrames, 118u);
  w.riff = "RF64";
  w.ds64DataSize = -1;  // no ds64: to the end of the file
  EXPECT_EQ(ScanOk(WaveFile(w)).lengthFrames, 118u);
}

TEST(WaveHeader, MissingChunks) {
  Bytes noFmt;
  Put(&noFmt, "RIFF....WAVEdata");
  Put(&noFmt, 8, 4);
  Put(&noFmt, "12345678");
  StreamAttributes a;
  EXPECT_TRUE(Scan(noFmt, &a));
  EXPECT_FALSE(a.hasFormat);
  EXPECT_EQ(a.lengthFrames, 0u);  // no frame size: no division by zero

  WaveLayout w;
  Bytes noData = WaveFile(w);
  noData.resize(39);  // ends inside the identifier
  EXPECT_FALSE(Scan(noData, &a));
}

TEST(WaveHeader, ProbesUpTo128KiB) {
  for (size_t pad : {131072 - 36, 131074 - 36}) {  // "data" at 131072, then 131074
    WaveLayout w;
    w.data = Ramp(40);
    w.before = Chunk("junk", Bytes(pad - 8, 0));
    StreamAttributes a;
    EXPECT_EQ(Scan(WaveFile(w), &a), pad == 131072 - 36);
  }
}

TEST(WaveHeader, FormatFields) {
  WaveLayout w;
  w.data = Ramp(60);
  w.channels = 0;
  StreamAttributes a = ScanOk(WaveFile(w));
  EXPECT_EQ(a.lengthFrames, 0u);

  w.channels = 2;
  w.format = 0xFFFE;
  w.bits = 24;
  a = ScanOk(WaveFile(w));
  EXPECT_EQ(a.bytesPerSample, 3u);
  EXPECT_EQ(a.formatCode, 1u);
  EXPECT_EQ(a.lengthFrames, 10u);
  w.subFormat = 3;
  w.bits = 32;
  a = ScanOk(WaveFile(w));
  EXPECT_EQ(a.formatCode, 3u);
  EXPECT_EQ(a.bytesPerSample, 4u);
}

TEST(WaveHeader, ContainerFromTheBlockAlign) {
  const struct {
    uint16_t channels, bits;
    int32_t blockAlign;
    uint32_t bytes;
  } kCases[] = {
      {2, 24, 8, 4}, {1, 24, 4, 4}, {2, 20, 6, 3}, {2, 9, 4, 2}, {2, 24, 10, 5},  // as the block align says
      {2, 24, 6, 3}, {2, 24, 0, 3}, {2, 24, 7, 3}, {2, 16, 2, 2}, {1, 8, 2, 1},    // packed
      {2, 20, 0, 2},
  };
  for (const auto& c : kCases) {
    WaveLayout w;
    w.channels = c.channels;
    w.bits = c.bits;
    w.blockAlign = c.blockAlign;
    w.data = Ramp(480);
    StreamAttributes a = ScanOk(WaveFile(w));
    EXPECT_EQ(a.bytesPerSample, c.bytes) << c.channels << "/" << c.bits << "/" << c.blockAlign;
    EXPECT_EQ(a.lengthFrames, 480 / (c.bytes * c.channels));
  }
}

TEST(SampleFormat, EncodingOfEachSampleAndContainer) {
  using E = SampleEncoding;
  const struct {
    uint16_t format, bits, bytes;
    E encoding;
    const char* refusal;  // nullptr: plays as `encoding`
  } kCases[] = {
      {1, 8, 1, E::U8, nullptr},
      {1, 16, 2, E::S16, nullptr},
      {1, 24, 3, E::S24Packed, nullptr},
      {1, 32, 4, E::S32, nullptr},
      {3, 32, 4, E::Float32, nullptr},
      {3, 64, 8, E::Float64, nullptr},
      {6, 8, 1, E::ALaw, nullptr},
      {7, 8, 1, E::MuLaw, nullptr},
      {1, 24, 4, E::S32, nullptr},  // left-justified in a wider container
      {1, 20, 3, E::S24Packed, nullptr},
      {1, 12, 2, E::S16, nullptr},
      {1, 9, 4, E::S32, nullptr},
      {1, 24, 5, E::U8, "Unsupported wave file: a block align of 10 (5-byte samples)."},
      {1, 24, 8, E::U8, "Unsupported wave file: 24-bit samples in 8-byte containers in format 1."},
      {1, 8, 2, E::U8, "Unsupported wave file: 8-bit samples in 2-byte containers in format 1."},
      {3, 32, 8, E::U8, "Unsupported wave file: 32-bit samples in 8-byte containers in format 3."},
      {3, 24, 4, E::U8, "Unsupported wave file: 24-bit samples in 4-byte containers in format 3."},
      {7, 8, 2, E::U8, "Unsupported wave file: 8-bit samples in 2-byte containers in format 7."},
      {1, 20, 2, E::U8, "Unsupported wave file: 20-bit samples in format 1."},
  };
  for (const auto& c : kCases) {
    StreamAttributes a;
    a.hasFormat = true;
    a.channels = 2;
    a.sampleRate = 44100;
    a.formatCode = c.format;
    a.bitsPerSample = c.bits;
    a.bytesPerSample = c.bytes;
    E e = E::MuLaw;
    std::string why;
    EXPECT_EQ(ChooseEncoding(a, &e, &why), c.refusal == nullptr) << c.format << "/" << c.bits << "/" << c.bytes;
    EXPECT_EQ(why, c.refusal ? c.refusal : "");
    if (!c.refusal) {
      EXPECT_EQ(e, c.encoding) << c.format << "/" << c.bits << "/" << c.bytes;
    }
  }
}

TEST(SampleFormat, PlaysOnlyWhatTheDeviceCanTakeAsIs) {
  const struct {
    uint16_t format, channels, bits;
    const char* refusal;  // nullptr: plays
  } kCases[] = {
      {1, 2, 16, nullptr},  {1, 1, 8, nullptr},   {1, 2, 24, nullptr}, {1, 2, 32, nullptr},
      {3, 2, 32, nullptr},  {3, 1, 64, nullptr},  {6, 1, 8, nullptr},  {7, 2, 8, nullptr},
      {1, 2, 12, "Unsupported wave file: 12-bit samples in format 1."},
      {1, 2, 64, "Unsupported wave file: 64-bit samples in format 1."},
      {3, 2, 16, "Unsupported wave file: 16-bit samples in format 3."},
      {2, 2, 4, "Unsupported wave file: 4-bit samples in format 2."},
      {1, 0, 16, "Unsupported wave file: 0 channels (mono and stereo play)."},
      {1, 6, 16, "Unsupported wave file: 6 channels (mono and stereo play)."},
  };
  for (const auto& c : kCases) {
    StreamAttributes a;
    a.hasFormat = true;
    a.formatCode = c.format;
    a.channels = c.channels;
    a.bitsPerSample = c.bits;
    a.bytesPerSample = c.bits / 8;
    a.sampleRate = 44100;
    SampleEncoding e;
    std::string why;
    EXPECT_EQ(ChooseEncoding(a, &e, &why), c.refusal == nullptr) << c.format << "/" << c.bits;
    EXPECT_EQ(why, c.refusal ? c.refusal : "");
  }
  StreamAttributes a;
  a.hasFormat = true;
  a.formatCode = 1;
  a.channels = 2;
  a.bitsPerSample = 16;
  SampleEncoding e;
  std::string why;
  EXPECT_FALSE(ChooseEncoding(a, &e, &why));  // a rate of 0
  a.sampleRate = ~uint64_t{0};                // a rate field of 0xFFFFFFFF, sign-extended
  EXPECT_FALSE(ChooseEncoding(a, &e, &why));
  EXPECT_EQ(why, "Unsupported wave file: a sample rate of 4294967295.");
}

TEST(GetAttributes, ReadsTheHeaderFromTheOpenFile) {
  char path[] = "/tmp/zuvaroza-scan-XXXXXX";
  const int out = mkstemp(path);
  ASSERT_GE(out, 0);
  WaveLayout w;
  w.data = Ramp(400);
  w.before = Chunk("junk", Bytes(100000, 'd'));
  const Bytes file = WaveFile(w);
  ASSERT_EQ(write(out, file.data(), file.size()), static_cast<ssize_t>(file.size()));
  close(out);
  const int fd = OpenWaveFile(path);
  ASSERT_GE(fd, 0);
  unlink(path);  // the open handle is what is read
  std::vector<unsigned char> window;
  StreamAttributes a;
  EXPECT_EQ(GetAttributes(fd, &window, &a), HeaderStatus::Ok);
  EXPECT_EQ(a.dataOffset, 44u + 100008u);
  EXPECT_EQ(a.lengthFrames, 100u);
  close(fd);
  EXPECT_EQ(OpenWaveFile("/dev/null"), -1);  // not a regular file
}

}  // namespace
