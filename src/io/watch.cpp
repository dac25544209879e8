#include "io/watch.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kFileEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE |
                                 IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_MASK_ADD;
// the parent of a watched directory: the directory removed, made or moved.
// Its own IN_DELETE_SELF comes late while a file in it is open.
constexpr uint32_t kParentEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR | IN_MASK_ADD;

std::string DirOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Watches the place's directory as it is now, and its parent unless it is the
// root. A directory that is not there is waited for through its parent.
bool Arm(int fd, Watch::Place* p, std::string* why) {
  const std::string parent = p->dir == "/" ? "" : p->dir == "." ? ".." : DirOf(p->dir);
  if (!parent.empty() && p->parentWd < 0) p->parentWd = inotify_add_watch(fd, parent.c_str(), kParentEvents);
  const int wd = inotify_add_watch(fd, p->dir.c_str(), kFileEvents);
  if (wd < 0 && (errno != ENOENT || p->parentWd < 0)) {
    *why = std::strerror(errno);
    return false;
  }
  // a directory made again, or moved in, is another one: the old watch is not ours
  if (p->wd >= 0 && p->wd != wd) inotify_rm_watch(fd, p->wd);
  p->wd = wd;
  return true;
}

// The place a symlink at `path` leads to; none when it is no symlink.
bool TargetOf(const std::string& path, Watch::Place* target) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  if (!real) return false;
  *target = {DirOf(real.get()), NameOf(real.get())};
  return true;
}

// The link's target as it is now: the renderer saves there, and `ln -sfn`
// may have pointed the link elsewhere. Watches shared with the link's own
// place stay.
bool Resolve(Watch* w, std::string* why) {
  const Watch::Place& link = w->places[0];
  Watch::Place target;
  const bool isLink = TargetOf(link.dir + "/" + link.name, &target);
  if (w->places.size() > 1) {
    Watch::Place& old = w->places[1];
    if (isLink && old.dir == target.dir && old.name == target.name) return true;
    for (const int wd : {old.wd, old.parentWd})
      if (wd >= 0 && wd != link.wd && wd != link.parentWd) inotify_rm_watch(w->fd.Get(), wd);
    w->places.pop_back();
  }
  if (!isLink) return true;
  w->places.push_back(target);
  return Arm(w->fd.Get(), &w->places.back(), why);
}

void Changed(Watch* w, int64_t now) {
  w->writing = w->changed = true;
  w->changedAt = now;
  ++w->events;
}

// Watches a directory that came, went or was replaced; a file saved in it
// before the watch was back counts as a save.
bool Rearm(Watch* w, Watch::Place* p, int64_t now, std::string* why) {
  Changed(w, now);
  if (!Arm(w->fd.Get(), p, why)) return false;
  if (p->wd >= 0 && access((p->dir + "/" + p->name).c_str(), F_OK) == 0) w->saved = true;
  return true;
}

bool Named(const std::string& name, const char* text, size_t len) {
  return len > 0 && name.compare(0, std::string::npos, text, len) == 0;
}

// What one event means for the watch.
bool Apply(Watch* w, const inotify_event& e, const char* name, size_t len, int64_t now, std::string* why) {
  for (size_t i = 0; i < w->places.size(); ++i) {
    Watch::Place& p = w->places[i];
    const bool dirEvent = (e.wd == p.parentWd && Named(NameOf(p.dir), name, len)) ||
                          (e.wd == p.wd && (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF)));
    if (dirEvent) {
      if (!Rearm(w, &p, now, why)) return false;
    } else if (e.wd == p.wd && Named(p.name, name, len)) {
      if (e.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
        w->saved = w->changed = true;
        w->writing = false;
        ++w->events;
      } else {
        Changed(w, now);
      }
    } else {
      continue;
    }
    // the link itself changed: its target may be another file now
    if (i == 0 && !Resolve(w, why)) return false;
    break;  // the places may have changed
  }
  return true;
}

}  // namespace

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  const std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) + "/" + path : path;
}

bool StartWatch(const std::string& path, Watch* watch, std::string* why) {
  UniqueFd fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!fd.Valid()) {
    *why = std::strerror(errno);
    return false;
  }
  watch->fd = std::move(fd);
  watch->places = {{DirOf(path), NameOf(path)}};
  if (!Arm(watch->fd.Get(), &watch->places[0], why) || !Resolve(watch, why)) {
    watch->fd.Reset();
    return false;
  }
  return true;
}

bool ReadWatch(Watch* w, int64_t now, std::string* why) {
  // the size inotify(7) suggests: room for at least one event with the longest name
  alignas(inotify_event) char buf[4096];
  for (;;) {
    const ssize_t n = read(w->fd.Get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return true;
    for (size_t at = 0; at + sizeof(inotify_event) <= static_cast<size_t>(n);) {
      inotify_event e;
      std::memcpy(&e, buf + at, sizeof e);
      const char* name = buf + at + sizeof e;
      const size_t len = strnlen(name, std::min<size_t>(e.len, static_cast<size_t>(n) - at - sizeof e));
      // events lost to a full queue may have held a save
      if (e.mask & IN_Q_OVERFLOW) w->saved = true, Changed(w, now);
      if (!Apply(w, e, name, len, now, why)) return false;
      at += sizeof e + e.len;
    }
  }
}
