// Follow mode: saves of the wave file, seen through inotify on its directory,
// so that an editor's save by renaming a new file over the old one counts too.
#pragma once
#include <string>

#include "player/unique_fd.h"

struct Watch {
  UniqueFd fd;       // invalid while follow mode is off
  std::string name;  // the file's own name in its directory
};

inline bool Following(const Watch& watch) { return watch.fd.Valid(); }

// Starts watching for saves of `path`. On failure the watch stays off and
// `why` says what went wrong.
bool StartWatch(const std::string& path, Watch* watch, std::string* why);

void StopWatch(Watch* watch);

// Reads every event that is waiting, without blocking; true when one of them
// was a save of the file: written and closed, or another file renamed onto
// its name.
bool TakeSaves(Watch* watch);
