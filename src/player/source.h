// The wave file being played: opened by name for each pass, its header read
// from that same handle, so that header and audio always come from one file.
#pragma once
#include <string>
#include <vector>

#include "player/selection.h"
#include "player/unique_fd.h"
#include "wave/sample_format.h"
#include "wave/wave_header.h"

struct Source {
  std::string path;
  StreamAttributes first;  // at set-up: the device is configured for its shape
  StreamAttributes now;    // as read for the current pass
  SampleEncoding encoding = SampleEncoding::S16;
  UniqueFd file;
  std::vector<unsigned char> window;  // the header's bytes, read once per pass
};

// Opens the file and reads its header for set-up. A missing file, a missing
// data chunk or a format that cannot play ends the program with status 2.
void OpenSource(const std::string& path, Source* source);

// Before a pass (and before the end the user asked for): opens the file by
// name again and reads its header. A changed rate, depth or channel count ends
// the program with status 1; a new length warns and pulls the stop back into
// the file.
void ReopenSource(Source* source, Selection* selection);
