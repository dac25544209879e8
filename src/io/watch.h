// The wave file's watch, kept for the whole run: inotify on the file's
// directory (and on a symlink's target's), so that writes, saves and removals
// are seen as they happen; follow mode only decides whether a save restarts
// the pass. The directory's parent is watched too, so that a directory made
// again is watched again.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "io/unique_fd.h"

struct Watch {
  // One name watched in its directory: the path itself, or the target of a symlink.
  struct Place {
    std::string dir, name;
    int wd = -1;        // on the directory; -1 while it is gone
    int parentWd = -1;  // on the directory's parent, for the directory made again
  };
  UniqueFd fd;
  std::vector<Place> places;
  bool follow = false;     // a save restarts the pass or plays the selection
  bool saved = false;      // written and closed, or renamed onto its name, since last taken
  bool writing = false;    // written, made or removed, and not saved since
  bool changed = false;    // anything since the file was last read
  int64_t changedAt = 0;   // when it was last written, made or removed (ms, monotonic)
  uint64_t events = 0;     // of the file, ever: a wait can tell that one came
};

// Starts the watch on `path`; false, with the reason in `why`, when its
// directory cannot be watched.
bool StartWatch(const std::string& path, Watch* watch, std::string* why);

// Reads the events waiting, without blocking, into the watch's state at time
// `now`. False, with the reason in `why`, when the watch cannot be kept.
bool ReadWatch(Watch* watch, int64_t now, std::string* why);
