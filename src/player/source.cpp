#include "player/source.h"

#include <sys/stat.h>

#include "app/fatal.h"
#include "player/selection.h"
#include "wave/wave_file.h"

namespace {

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// Reads the header from the open handle, noting when the file was as read.
HeaderStatus ReadHeader(Source* s) {
  struct stat st;
  if (fstat(s->file.Get(), &st) != 0) return HeaderStatus::Unreadable;
  s->size = st.st_size;
  s->modified = Nanoseconds(st.st_mtim);
  return GetAttributes(s->file.Get(), &s->window, &s->now);
}

// Opens the file by name and reads its header. A file that is gone or has no
// data chunk ends the program, unless `untilSaved`: then the source is left as
// it was, and false says that the file is not whole yet.
bool Load(const std::string& path, Source* s, bool untilSaved) {
  UniqueFd previous = std::move(s->file);
  const StreamAttributes previousHeader = s->now;
  const off_t previousSize = s->size;
  const int64_t previousModified = s->modified;
  s->file.Reset(OpenWaveFile(path.c_str()));
  const HeaderStatus status = s->file.Valid() ? ReadHeader(s) : HeaderStatus::Unreadable;
  if (untilSaved && (status != HeaderStatus::Ok || !s->now.hasFormat)) {
    s->file = std::move(previous);
    s->now = previousHeader;
    s->size = previousSize;
    s->modified = previousModified;
    return false;
  }
  if (status == HeaderStatus::Unreadable) Fatal(2, stdout, "The file called " + path + " cannot be found!");
  if (!s->now.hasFormat) std::puts("Can't find format chunk in wave file!");
  if (status == HeaderStatus::NoData) Fatal(2, stdout, "Can't find data block in wave file!");
  s->complete = true;
  return true;
}

// The line for the first difference that the device set up for `first` cannot play.
const char* ShapeChange(const StreamAttributes& first, const StreamAttributes& now) {
  if (now.sampleRate != first.sampleRate)
    return "WARNING: Wavefile samplerate has changed!  Restart the program.";
  // the same width as float instead of integer, or in another container, is a different depth too
  if (now.bitsPerSample != first.bitsPerSample || now.formatCode != first.formatCode ||
      now.bytesPerSample != first.bytesPerSample)
    return "WARNING: Wavefile bit depth has changed!  Restart the program.";
  if (now.channels != first.channels)
    return "WARNING: Wavefile channel number has changed!  Restart the program.";
  return nullptr;
}

// The one check of a header read again: a new shape ends the program, a new
// length is followed. `prefix` starts the lines (a newline under a clock line).
void Compare(Source* s, Selection* selection, uint64_t previousLength, const char* prefix) {
  if (const char* change = ShapeChange(s->first, s->now)) Fatal(1, stdout, prefix + std::string(change));
  if (s->now.lengthFrames != s->first.lengthFrames && s->now.lengthFrames != previousLength) {
    std::printf("%sWARNING: Wavefile length has changed!\n", prefix);
    if (static_cast<uint64_t>(selection->stop) > s->now.lengthFrames)
      selection->stop = LengthAsFrame(s->now.lengthFrames);
  }
}

}  // namespace

void OpenSource(const std::string& path, Source* s) {
  s->path = path;
  Load(path, s, false);
  std::string why;
  if (!ChooseEncoding(s->now, &s->encoding, &why)) Fatal(2, stdout, why);
  s->first = s->now;
}

bool ReopenSource(Source* s, Selection* selection, bool untilSaved) {
  if (!Load(s->path, s, untilSaved)) return false;
  // before a pass the warning is given every time, the reminder of a changed file
  Compare(s, selection, ~uint64_t{0}, "");
  return true;
}

bool ReadUnchanged(Source* s, UniqueFd* file) {
  file->Reset(OpenWaveFile(s->path.c_str()));
  StreamAttributes a;
  if (!file->Valid()) {
    std::printf("The file called %s cannot be found!\n", s->path.c_str());
    return false;
  }
  if (GetAttributes(file->Get(), &s->window, &a) != HeaderStatus::Ok || ShapeChange(s->now, a) ||
      a.dataOffset != s->now.dataOffset || a.lengthFrames != s->now.lengthFrames) {
    std::puts("The file has changed since it was last played: play it again first.");
    return false;
  }
  return true;
}

bool FollowSaves(Source* s) {
  std::string why;
  if (StartWatch(s->path, &s->watch, &why)) return true;
  std::printf("Follow mode is off: %s\n", why.c_str());
  return false;
}

void RecheckUnderPass(Source* s, Selection* selection) {
  struct stat st;
  if (fstat(s->file.Get(), &st) != 0 ||
      (st.st_size == s->size && Nanoseconds(st.st_mtim) == s->modified))
    return;
  const uint64_t previousLength = s->complete ? s->now.lengthFrames : 0;
  s->complete = ReadHeader(s) == HeaderStatus::Ok && s->now.hasFormat;
  if (s->complete)
    Compare(s, selection, previousLength, "\n");
  else
    s->now.lengthFrames = 0;
}
