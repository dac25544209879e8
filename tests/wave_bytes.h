// Wave files built byte by byte inside the tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct WaveLayout {
  uint16_t format = 1;  // 0xFFFE writes an extensible header with `subFormat`
  uint16_t subFormat = 1;
  uint16_t channels = 2;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  int32_t blockAlign = -1;  // -1 writes channels × bits / 8
  Bytes before;  // chunks between the format and data chunks
  Bytes data;
  Bytes after;  // chunks after the data
  int64_t dataSize = -1;  // the size field; -1 writes data.size()
  std::string riff = "RIFF";  // or "RF64", "BW64"
  int64_t ds64DataSize = -1;  // 0 or more writes a ds64 chunk first, with this data size
};

inline void Put(Bytes* b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b->push_back(static_cast<unsigned char>(v >> (8 * i)));
}
inline void Put(Bytes* b, const std::string& s) {
  for (char c : s) b->push_back(static_cast<unsigned char>(c));
}

inline Bytes Chunk(const std::string& id, const Bytes& body) {
  Bytes b;
  Put(&b, id);
  Put(&b, body.size(), 4);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() % 2) b.push_back(0);
  return b;
}

inline Bytes WaveFile(const WaveLayout& w) {
  const bool ext = w.format == 0xFFFE;
  const uint16_t align = static_cast<uint16_t>(w.blockAlign < 0 ? w.channels * (w.bits / 8) : w.blockAlign);
  Bytes fmt;
  Put(&fmt, w.format, 2);
  Put(&fmt, w.channels, 2);
  Put(&fmt, w.rate, 4);
  Put(&fmt, uint64_t{w.rate} * align, 4);
  Put(&fmt, align, 2);
  Put(&fmt, w.bits, 2);
  if (ext) {
    Put(&fmt, 22, 2);
    Put(&fmt, w.bits, 2);
    Put(&fmt, 3, 4);
    Put(&fmt, w.subFormat, 2);
    for (unsigned char c : {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38,
                            0x9B, 0x71})
      fmt.push_back(c);
  }
  Bytes body;
  Put(&body, "WAVE");
  if (w.ds64DataSize >= 0) {
    Bytes ds64;
    Put(&ds64, 0, 8);  // the RIFF size, not read
    Put(&ds64, static_cast<uint64_t>(w.ds64DataSize), 8);
    Put(&ds64, 0, 8);  // the sample count
    Put(&ds64, 0, 4);  // and an empty table
    const Bytes c = Chunk("ds64", ds64);
    body.insert(body.end(), c.begin(), c.end());
  }
  Bytes f = Chunk("fmt ", fmt);
  body.insert(body.end(), f.begin(), f.end());
  body.insert(body.end(), w.before.begin(), w.before.end());
  Put(&body, "data");
  Put(&body, w.dataSize < 0 ? w.data.size() : static_cast<uint64_t>(w.dataSize), 4);
  body.insert(body.end(), w.data.begin(), w.data.end());
  body.insert(body.end(), w.after.begin(), w.after.end());
  Bytes file;
  Put(&file, w.riff);
  Put(&file, body.size(), 4);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

// Distinct, non-silent sample bytes, so a misplaced byte shows.
inline Bytes Ramp(size_t n, unsigned seed = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 7 + seed * 13 + i / 251) & 0xFF);
  return b;
}
