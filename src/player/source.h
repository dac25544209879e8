// The wave file being played: opened by name for each pass, its header read
// from that same handle, so that header and audio always come from one file.
// The file is the renderer's: one in flux (being written, or with a header not
// whole) is waited out, and never taken for the file's state.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "io/event.h"
#include "io/unique_fd.h"
#include "io/wait.h"
#include "io/watch.h"
#include "wave/sample_format.h"
#include "wave/wave_header.h"

struct Source {
  std::string path;
  StreamAttributes configured;  // at set-up: the device plays this shape
  StreamAttributes latest;      // the file's header as last taken for the file's state
  StreamAttributes looked;      // as the last look found it, whole or not
  SampleEncoding encoding = SampleEncoding::S16;
  UniqueFd file;                       // this pass's handle
  std::vector<unsigned char> window;   // the header's bytes, read once per look
  off_t size = 0;                      // the open file's size and change time (ns)
  int64_t modified = 0;                // when its header was read
  Watch watch;
};

// What a look at the file found.
enum class Found { Whole, Missing, NoData, NotWhole };

// Set-up: starts the watch (in follow mode a watch that cannot start says so),
// opens the file and reads its header. A missing file, a missing data chunk or
// a format that cannot play is a failure with status 2.
std::optional<Failure> OpenSource(const std::string& path, bool follow, Waiter* waiter, Source* source);

// Waits while the file is in flux: until it is saved, or has not changed for
// a moment. Ready then, or a stop or a save as `wants` allows.
Event Settle(Source* source, Waiter* waiter, unsigned wants);

// Before a pass, and for a save: settles, then opens the file by name again
// and reads its header into `looked`. A header not whole gets one more wait,
// for a writer between two writes. Ready, or Stop.
Event Reload(Source* source, Waiter* waiter, Found* found);

// Between passes, for a word that needs the file's length: when the watch
// says the file changed, reads it again, and takes a whole header of the same
// shape for the file's state. Quiet: the next pass says what changed.
void Refresh(Source* source, Waiter* waiter);

// Under a pass, when the watch says the file changed: whether the open file
// itself was written since its header was read.
bool Touched(Source* source);

// As Reload, for the open file.
Event Reread(Source* source, Waiter* waiter, Found* found);

// The failure of a look that found no file or no data chunk (status 2),
// after a line for a missing format chunk; nothing for a look that found both.
std::optional<Failure> Refusal(const Source& source, Found found);

// Takes what the last look found for the file's state. A shape the device
// cannot play (rate, depth, channels) is a failure with status 1; a length
// other than `previousLength` warns. `prefix` starts the lines (a newline
// under a clock line).
std::optional<Failure> Take(Source* source, uint64_t previousLength, const char* prefix);

// Between passes, for a look at the audio: opens the file by name again into
// `file`. False, after a line that says why, when it is gone or no longer as
// the last pass found it.
bool ReadUnchanged(Source* source, UniqueFd* file);

// Turns follow mode on, or says why it cannot be.
void FollowSaves(Source* source);
