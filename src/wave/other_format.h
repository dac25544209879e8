// Other audio formats, told by their first bytes, for a file that is no wave file.
#pragma once
#include <cstddef>
#include <string>

// The format the first `n` bytes show: "MP3" (an ID3 tag or a frame sync), "FLAC", "Ogg" or
// "AIFF"; nullptr for none of them, a wave file's included.
const char* OtherAudioFormat(const unsigned char* bytes, size_t n);

// The line for a file of `path` whose first `n` bytes show one of those formats, naming it; ""
// for any other file.
std::string OtherFormatLine(const std::string& path, const unsigned char* bytes, size_t n);
