#include "wave/wave_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads up to `n` bytes at `offset`, going on after short reads and
// interruptions; fewer only at the end of the file or on an error.
size_t ReadAt(int fd, unsigned char* buf, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = pread(fd, buf + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace

int OpenWaveFile(const char* path) {
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return fd;
  if (fd >= 0) close(fd);
  return -1;
}

HeaderStatus GetAttributes(int fd, std::vector<unsigned char>* window, StreamAttributes* attrs) {
  struct stat st;
  if (fstat(fd, &st) != 0) return HeaderStatus::Unreadable;
  window->resize(kScanWindow);
  const size_t want = static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), kScanWindow));
  const size_t got = ReadAt(fd, window->data(), want, 0);
  // a file that shrank since fstat counts only the bytes really there
  const uint64_t fileSize = got < want ? got : static_cast<uint64_t>(st.st_size);
  return ScanWaveHeader(window->data(), got, fileSize, attrs) ? HeaderStatus::Ok : HeaderStatus::NoData;
}

uint64_t ReadFrames(int fd, const StreamAttributes& a, uint64_t first, uint64_t frames, unsigned char* out) {
  const uint64_t frameBytes = FrameBytes(a);
  // only whole frames count: a short read never hands on part of one
  return ReadAt(fd, out, frames * frameBytes, a.dataOffset + first * frameBytes) / frameBytes;
}
