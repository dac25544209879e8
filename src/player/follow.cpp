#include "player/follow.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

bool StartWatch(const std::string& path, Watch* watch, std::string* why) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  UniqueFd fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  // a file created under the name and then closed is seen by its close
  if (!fd.Valid() || inotify_add_watch(fd.Get(), dir.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
    *why = std::strerror(errno);
    return false;
  }
  watch->name = slash == std::string::npos ? path : path.substr(slash + 1);
  watch->fd = std::move(fd);
  return true;
}

void StopWatch(Watch* watch) { watch->fd.Reset(); }

bool TakeSaves(Watch* watch) {
  bool saved = false;
  // the size inotify(7) suggests: room for at least one event with the longest name
  alignas(inotify_event) char buf[4096];
  for (;;) {
    const ssize_t n = read(watch->fd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return saved;
    for (size_t at = 0; at + sizeof(inotify_event) <= static_cast<size_t>(n);) {
      inotify_event event;
      std::memcpy(&event, buf + at, sizeof event);
      const char* name = buf + at + sizeof event;
      const size_t len = strnlen(name, std::min<size_t>(event.len, static_cast<size_t>(n) - at - sizeof event));
      // events lost to a full queue may have held a save
      if ((event.mask & IN_Q_OVERFLOW) || (len > 0 && watch->name.compare(0, std::string::npos, name, len) == 0))
        saved = true;
      at += sizeof event + event.len;
    }
  }
}
