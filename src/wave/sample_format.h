// Which sample encodings the player can send to a device as they are.
#pragma once
#include <string>

#include "wave/wave_header.h"

enum class SampleEncoding { U8, S16, S24Packed, S32, Float32, Float64, ALaw, MuLaw };

// Picks the encoding for a scanned header. Returns false, with the line to
// print in `why`, for a file that could only make noise or crash the player.
bool ChooseEncoding(const StreamAttributes& attrs, SampleEncoding* encoding, std::string* why);

// Bytes of one sample of one channel in `encoding`.
size_t SampleBytes(SampleEncoding encoding);
