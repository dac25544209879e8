// Owned file descriptors and positioned reads, shared by the header scan and the player.
#pragma once
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <unistd.h>

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    Reset(other.Release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Reads up to `n` bytes at `offset`, going on after short reads and
// interruptions; returns the bytes read (fewer only at the end of the file or
// on an error).
inline size_t ReadAt(int fd, void* buf, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    ssize_t got = pread(fd, static_cast<char*>(buf) + done, n - done,
                        static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

// Opens a regular file for reading without blocking on a fifo or device;
// returns an invalid handle for anything else.
UniqueFd OpenRegularFile(const char* path);

// True when `path` still names the file open on `fd` (same device and inode);
// an editor that saves by renaming a new file over the old one breaks this.
bool NamesSameFile(const std::string& path, int fd);
