#include "wave/other_format.h"

#include <cstring>

namespace {

bool At(const unsigned char* bytes, size_t n, size_t pos, const char* text) {
  const size_t len = std::strlen(text);
  return pos + len <= n && std::memcmp(bytes + pos, text, len) == 0;
}

// An MPEG audio frame's header: 11 bits of sync, then a version and a layer that are not the
// reserved ones (layer 0 is AAC's ADTS, no MP3).
bool FrameSync(const unsigned char* b, size_t n) {
  return n >= 2 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[1] & 0x18) != 0x08 && (b[1] & 0x06) != 0;
}

}  // namespace

const char* OtherAudioFormat(const unsigned char* b, size_t n) {
  if (At(b, n, 0, "ID3") || FrameSync(b, n)) return "MP3";
  if (At(b, n, 0, "fLaC")) return "FLAC";
  if (At(b, n, 0, "OggS")) return "Ogg";
  if (At(b, n, 0, "FORM") && (At(b, n, 8, "AIFF") || At(b, n, 8, "AIFC"))) return "AIFF";
  return nullptr;
}

std::string OtherFormatLine(const std::string& path, const unsigned char* bytes, size_t n) {
  const char* format = OtherAudioFormat(bytes, n);
  return format ? path + " is not a wave file: it looks like " + format + "." : "";
}
