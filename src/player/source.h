// The wave file being played: opened by name for each pass, its header read
// from that same handle, so that header and audio always come from one file.
#pragma once
#include <string>
#include <vector>

#include "player/follow.h"
#include "player/selection.h"
#include "player/unique_fd.h"
#include "wave/sample_format.h"
#include "wave/wave_header.h"

struct Source {
  std::string path;
  StreamAttributes first;  // at set-up: the device is configured for its shape
  StreamAttributes now;    // as read for the current pass
  bool complete = true;    // false while a rewrite under a pass has no whole header yet
  SampleEncoding encoding = SampleEncoding::S16;
  UniqueFd file;
  std::vector<unsigned char> window;  // the header's bytes, read once per pass
  off_t size = 0;                     // the file's size and change time (ns) when
  int64_t modified = 0;               // its header was read
  Watch watch;                        // in follow mode, saves of the file
};

// Opens the file and reads its header for set-up. A missing file, a missing
// data chunk or a format that cannot play ends the program with status 2.
void OpenSource(const std::string& path, Source* source);

// Before a pass (and before the end the user asked for): opens the file by
// name again and reads its header. A changed rate, depth or channel count ends
// the program with status 1; a new length warns and pulls the stop back into
// the file. A missing file or data chunk ends it with status 2, unless
// `untilSaved` (a pass for a save): then false says that the file is not whole
// yet, and nothing changes.
bool ReopenSource(Source* source, Selection* selection, bool untilSaved);

// Between passes, for a look at the audio: opens the file by name again into
// `file`. False, after a line that says why, when it is gone or no longer as
// the last pass found it.
bool ReadUnchanged(Source* source, UniqueFd* file);

// Turns follow mode on. When the file's directory cannot be watched, one line
// says why, and follow mode stays off.
bool FollowSaves(Source* source);

// During a pass, once a period: when the open file's size or change time
// moved, reads its header again and checks it as before a pass, so that no
// byte plays through a stale layout. A header not yet whole (a rewrite caught
// half way) leaves nothing to play until it is.
void RecheckUnderPass(Source* source, Selection* selection);
