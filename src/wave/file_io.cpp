#include "wave/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>

UniqueFd OpenRegularFile(const char* path) {
  // O_NONBLOCK so that a fifo named by mistake cannot hang the open
  UniqueFd fd(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st;
  if (!fd.Valid() || fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd();
  return fd;
}

bool NamesSameFile(const std::string& path, int fd) {
  struct stat byName, byHandle;
  if (stat(path.c_str(), &byName) != 0 || fstat(fd, &byHandle) != 0) return false;
  return byName.st_dev == byHandle.st_dev && byName.st_ino == byHandle.st_ino;
}
