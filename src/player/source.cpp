#include "player/source.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "wave/other_format.h"
#include "wave/wave_file.h"

namespace {

// A whole header on a file still being written is taken once the file has
// not changed for this long: a writer that keeps the file open.
constexpr int64_t kQuietMs = 200;

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

FileMark MarkOf(const struct stat& st, uint64_t events) {
  return {st.st_ino, st.st_dev, st.st_size, Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim), events};
}

// Whether another process has the file open for writing: the system grants a
// read lease only when none has. Unknown (false) where leases are not ours to take.
bool WriterHasIt(int fd) {
  // a lease broken meanwhile would signal us: with a signal that is ignored anyway
  if (fcntl(fd, F_SETSIG, SIGURG) != 0) return false;
  if (fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
    fcntl(fd, F_SETLEASE, F_UNLCK);
    return false;
  }
  return errno == EAGAIN;
}

// The line for the first difference that the device set up for `configured` cannot play.
const char* ShapeChange(const StreamAttributes& configured, const StreamAttributes& now) {
  if (now.sampleRate != configured.sampleRate)
    return "WARNING: Wavefile samplerate has changed!  Restart the program.";
  // the same width as float instead of integer, or in another container, is a different depth too
  if (now.bitsPerSample != configured.bitsPerSample || now.formatCode != configured.formatCode ||
      now.bytesPerSample != configured.bytesPerSample)
    return "WARNING: Wavefile bit depth has changed!  Restart the program.";
  if (now.channels != configured.channels)
    return "WARNING: Wavefile channel number has changed!  Restart the program.";
  return nullptr;
}

std::string NotFoundLine(const std::string& path) { return "The file called " + path + " cannot be found!"; }


}  // namespace

bool SameFile(const FileMark& a, const FileMark& b) {
  return a.inode == b.inode && a.device == b.device && a.size == b.size && a.modified == b.modified &&
         a.statusChanged == b.statusChanged;
}

void KeepWatching(Source* s) {
  if (s->watch.fd.Valid() && !ReadWatch(&s->watch, NowMs(), &s->watch.lost)) s->watch.fd.Reset();
}

Verdict Judge(Found found, bool writing, int64_t changedAt, bool writerHasIt, bool started, int64_t now,
              Deadline* lookAgain) {
  *lookAgain = kNever;
  const bool atWork = writing || writerHasIt;
  const bool settling = writing && now < changedAt + kQuietMs;
  switch (found) {
    case Found::Whole:
    case Found::Missing:
      if (!settling) return found == Found::Whole ? Verdict::Take : Verdict::Refuse;
      *lookAgain = changedAt + kQuietMs;
      return Verdict::Wait;
    case Found::NotWhole: return atWork ? Verdict::Wait : Verdict::Take;
    case Found::Empty: return atWork || started ? Verdict::Wait : Verdict::Refuse;
    case Found::NoData: return atWork ? Verdict::Wait : Verdict::Refuse;
  }
  return Verdict::Refuse;
}

Found LookAt(Source* s, bool reopen) {
  KeepWatching(s);
  s->watch.changed = false;
  if (reopen) s->file.Reset(OpenWaveFile(s->where.c_str()));
  struct stat st;
  if (!s->file.Valid() || fstat(s->file.Get(), &st) != 0) return Found::Missing;
  // noted before the header is read: a write during the read shows as a change
  s->mark = MarkOf(st, s->watch.events);
  if (st.st_size == 0) {
    s->looked = StreamAttributes();
    return Found::Empty;
  }
  StreamAttributes& a = s->looked;
  const HeaderStatus status = GetAttributes(s->file.Get(), &s->window, &a);
  if (status == HeaderStatus::Unreadable) return Found::Missing;
  if (status == HeaderStatus::NoData) return Found::NoData;
  SampleEncoding encoding;
  std::string why;
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  const bool sized = a.dataBytes != 0 && a.dataBytes != UINT64_MAX && a.dataOffset <= size &&
                     a.dataBytes <= size - a.dataOffset;
  // a format not yet written reads as one that cannot play
  return sized && ChooseEncoding(a, &encoding, &why) ? Found::Whole : Found::NotWhole;
}

Verdict JudgeLook(Source* s, Found found, bool started, Deadline* lookAgain) {
  const Watch& w = s->watch;
  const bool unsure = !w.writing && found != Found::Whole && found != Found::Missing && s->file.Valid();
  return Judge(found, w.writing, w.changedAt, unsure && WriterHasIt(s->file.Get()), started, NowMs(), lookAgain);
}

bool ChangedUnder(Source* s, uint64_t got, uint64_t want) {
  if (got < want) return true;
  struct stat st;
  if (fstat(s->file.Get(), &st) != 0 || !SameFile(MarkOf(st, 0), s->mark)) return true;
  KeepWatching(s);
  if (s->watch.events == s->mark.events) return false;
  // events of the name: of this file, unless another was put in its place
  struct stat named;
  const bool ours = stat(s->where.c_str(), &named) == 0 && named.st_ino == st.st_ino && named.st_dev == st.st_dev;
  if (!ours) s->mark.events = s->watch.events;
  return ours;
}

std::optional<Failure> Refusal(const Source& s, Found found) {
  if (found == Found::Missing) return Failure{2, NotFoundLine(s.path)};
  // a file in another audio format is named, rather than the chunks it lacks
  const size_t read = std::min<size_t>(s.window.size(), static_cast<size_t>(s.mark.size));
  const std::string other = OtherFormatLine(s.path, s.window.data(), read);
  if (found != Found::Whole && !other.empty()) return Failure{2, other};
  if (!s.looked.hasFormat) std::puts("Can't find format chunk in wave file!");
  if (found == Found::NoData || found == Found::Empty) return Failure{2, "Can't find data block in wave file!"};
  return std::nullopt;
}

std::optional<Failure> Take(Source* s, uint64_t previousLength, const char* prefix) {
  if (const char* change = ShapeChange(s->configured, s->looked)) return Failure{1, prefix + std::string(change)};
  if (s->looked.lengthFrames != s->configured.lengthFrames && s->looked.lengthFrames != previousLength)
    std::printf("%sWARNING: Wavefile length has changed!\n", prefix);
  s->latest = s->played = s->looked;
  return std::nullopt;
}

void Refresh(Source* s) {
  KeepWatching(s);
  if (!s->watch.changed && s->watch.fd.Valid()) return;
  Deadline again;
  const Found found = LookAt(s, true);
  if (JudgeLook(s, found, true, &again) == Verdict::Take && found == Found::Whole &&
      !ShapeChange(s->configured, s->looked))
    s->latest = s->looked;
}

bool ReadUnchanged(Source* s, UniqueFd* file) {
  file->Reset(OpenWaveFile(s->where.c_str()));
  StreamAttributes a;
  if (!file->Valid()) {
    std::puts(NotFoundLine(s->path).c_str());
    return false;
  }
  if (GetAttributes(file->Get(), &s->window, &a) != HeaderStatus::Ok || ShapeChange(s->played, a) ||
      a.dataOffset != s->played.dataOffset || a.lengthFrames != s->played.lengthFrames) {
    std::puts("The file has changed since it was last played: play it again first.");
    return false;
  }
  return true;
}
