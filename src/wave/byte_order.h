// Little-endian field assembly for wave headers; every byte counts as 0..255.
#pragma once
#include <cstdint>

// 16-bit field; never negative.
inline int64_t Assem2(const unsigned char* b) {
  return static_cast<int64_t>(b[0]) | static_cast<int64_t>(b[1]) << 8;
}

// 32-bit field, sign-extended: a top byte of 0x80 or more gives a negative value.
inline int64_t Assem4(const unsigned char* b) {
  uint32_t v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return static_cast<int32_t>(v);
}
