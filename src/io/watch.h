// The wave file's watch, kept for the whole run: inotify on the file's
// directory (and on a symlink's target's, resolved again whenever the link
// changes), so that writes, saves and removals are seen as they happen. The
// directory's parent is watched too, so that a directory made again is
// watched again; a relative path is watched by the directory's path as the
// program's start saw it.
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
  bool saved = false;     // written and closed, or renamed onto its name, since last taken
  bool writing = false;   // written, made or removed, and not saved since
  bool changed = false;   // anything since the file was last read
  int64_t changedAt = 0;  // when it was last written, made or removed (ms, monotonic)
  uint64_t events = 0;    // of the file, ever: a look can tell that one came since
  std::string lost;       // why the watch could not be kept, until the run says so
};

// `path` as the program's start sees it: absolute, so that a working
// directory removed and made again does not lose the file.
std::string AbsolutePath(const std::string& path);

// Starts the watch on `path` (absolute); false, with the reason in `why`,
// when its directory cannot be watched.
bool StartWatch(const std::string& path, Watch* watch, std::string* why);

// Reads the events waiting, without blocking, into the watch's state at time
// `now`. False, with the reason in `why`, when the watch cannot be kept.
bool ReadWatch(Watch* watch, int64_t now, std::string* why);
