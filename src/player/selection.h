// The selection (start and stop frame), every edit that moves it, and the times typed to set it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "wave/frames.h"

struct Selection {
  int64_t start = 0;
  int64_t stop = 0;  // exclusive
};

enum class Edit {
  WholeFile,     // w, wx
  JumpAhead,     // j
  JumpBack,      // J
  StartForward,  // n
  StartBack,     // b
  BothForward,   // N
  BothBack,      // B
  StopForward,   // no
  StopBack,      // bo
};

// Why `sel` holds nothing to play, as the menu says it: reversed or empty;
// nullptr when its start comes before its stop.
const char* NothingBetween(const Selection& sel);

// Applies one edit to `sel` for a file of `fileLength` frames and a nudge of
// `nudge` frames. Sums and differences saturate.
Selection ApplyEdit(Edit edit, Selection sel, uint64_t fileLength, int64_t nudge);



// The frame a typed in-time or out-time selects. In-times at or past `limit`,
// negative or not finite give 0; out-times past `limit` or not finite give `limit`.
int64_t InFrameFor(uint32_t rate, int64_t limit, double seconds);
int64_t OutFrameFor(uint32_t rate, int64_t limit, double seconds);

// The same for a typed frame: an in-frame outside [0, limit) gives 0, an
// out-frame past `limit` gives `limit`.
int64_t InFrameAt(int64_t limit, int64_t frame);
int64_t OutFrameAt(int64_t limit, int64_t frame);

// START or STOP as given on the command line: seconds, or a frame count as sox writes it.
struct TypedTime {
  double seconds = 0;  // 0: the beginning (START) or the end (STOP)
  int64_t frame = 0;
  bool frames = false;  // `frame` was given, not `seconds`
};

// Reads a whole word as a time: a finite number of seconds, or digits then "s" for frames
// ("96038s"). Nothing for any other text.
std::optional<TypedTime> TimeFromText(const std::string& text);

// The selection START and STOP give for a file of `length` frames at `rate`: a start before 0
// seconds gives 0, a stop in seconds stands as given. A frame count past the end counts as not
// given, and gets a line in `*outside` (lines joined by newlines).
Selection ArgumentSelection(const TypedTime& in, const TypedTime& out, uint64_t rate, uint64_t length,
                            std::string* outside);
