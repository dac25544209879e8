// The wave file being played: opened by name for each pass (and, with follow
// mode off, each loop), its header read from that same handle, so that header
// and audio always come from one file. The file is the renderer's: one in flux
// (being written, or with a header not whole) is waited out, and never taken
// for the file's state; every read is checked against what cannot be set back.
#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "io/loop.h"
#include "io/unique_fd.h"
#include "io/watch.h"
#include "player/failure.h"
#include "wave/sample_format.h"
#include "wave/wave_header.h"

// The open file as its header was read: what a write changes and no tool sets back.
struct FileMark {
  ino_t inode = 0;
  dev_t device = 0;
  off_t size = 0;
  int64_t modified = 0, statusChanged = 0;  // ns
  uint64_t events = 0;                      // the watch's, then
};

// Whether two marks are of the same file, unchanged.
bool SameFile(const FileMark& a, const FileMark& b);

struct Source {
  std::string path;   // as given: what the lines name
  std::string where;  // absolute: what is opened and watched
  StreamAttributes configured;  // at set-up: the device plays this shape
  StreamAttributes latest;      // the file's header as last taken for the file's state
  StreamAttributes looked;      // as the last look found it, whole or not
  StreamAttributes played;      // as the last pass took it: what the seam tools look at
  SampleEncoding encoding = SampleEncoding::S16;
  UniqueFd file;                      // this loop's handle
  std::vector<unsigned char> window;  // the header's bytes, read once per look
  FileMark mark;
  Watch watch;
};

// What a look at the file found. NotWhole: a header whose data size is 0,
// the maximum, or runs past the file; Empty: no bytes at all.
enum class Found { Whole, NotWhole, Empty, NoData, Missing };

// What to do with what a look found.
enum class Verdict { Take, Wait, Refuse };

// A file in flux is never taken for the file's state, however long it stays
// quiet: a header not whole while a writer is at work (changed and not closed
// since, or holding the file open), an empty file once the run has begun, a
// file gone while its writer is at work. A whole header on a file still being
// written is taken once it has not changed for a moment. `*lookAgain` says
// when to look again if no event comes first (kNever: at the next event).
Verdict Judge(Found found, bool writing, int64_t changedAt, bool writerHasIt, bool started, int64_t now,
              Deadline* lookAgain);

// Reads the watch's events; a watch that cannot be kept is closed, with why in `watch.lost`.
void KeepWatching(Source* source);

// Opens the file by name (or, with `reopen` false, looks at the open one
// again) and reads its header into `looked`, noting the file as it was.
Found LookAt(Source* source, bool reopen);

// Judge for what `LookAt` found, reading the watch and asking the system
// whether a writer has the file open where the watch cannot tell.
Verdict JudgeLook(Source* source, Found found, bool started, Deadline* lookAgain);

// After a read of `got` frames where `want` were asked for: whether the file
// changed under it since its header was read (a short read is a change too),
// so that nothing read through a stale layout is played.
bool ChangedUnder(Source* source, uint64_t got, uint64_t want);

// The failure of a look that found no file or no data chunk (status 2),
// after a line for a missing format chunk; nothing for a look that found both.
std::optional<Failure> Refusal(const Source& source, Found found);

// Takes what the last look found for the file's state. A shape the device
// cannot play (rate, depth, channels) is a failure with status 1; a length
// other than `previousLength` warns. `prefix` starts the lines (a newline
// under a clock line).
std::optional<Failure> Take(Source* source, uint64_t previousLength, const char* prefix);

// Between passes, for a word: when the watch says the file changed, looks at
// it, and takes a whole header of the same shape for the file's state, quietly.
void Refresh(Source* source);

// Between passes, for a look at the audio: opens the file by name again into
// `file`. False, after a line that says why, when it is gone or no longer as
// the last pass found it.
bool ReadUnchanged(Source* source, UniqueFd* file);
