#include "player/source.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "wave/other_format.h"
#include "wave/wave_file.h"

namespace {

// A file not written to for this long is taken as it is.
constexpr int64_t kFluxMs = 200;

int64_t Nanoseconds(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

// Reads the header of the open file, noting when the file was as read.
Found Read(Source* s) {
  s->watch.changed = false;
  struct stat st;
  if (!s->file.Valid() || fstat(s->file.Get(), &st) != 0) return Found::Missing;
  s->size = st.st_size;
  s->modified = Nanoseconds(st.st_mtim);
  StreamAttributes& a = s->looked;
  const HeaderStatus status = GetAttributes(s->file.Get(), &s->window, &a);
  if (status == HeaderStatus::Unreadable) return Found::Missing;
  if (status == HeaderStatus::NoData) return Found::NoData;
  SampleEncoding encoding;
  std::string why;
  // a writer's header before it is patched: no format yet, or no size for the data after it
  const bool unfinished = a.lengthFrames == 0 && static_cast<uint64_t>(st.st_size) > a.dataOffset;
  return ChooseEncoding(a, &encoding, &why) && !unfinished ? Found::Whole : Found::NotWhole;
}

// A writer may be between two writes: the file counts as being written from now.
void MarkInFlux(Watch* watch) {
  watch->writing = true;
  watch->changedAt = std::max(watch->changedAt, NowMs());
}

// Settles, then looks. A header not whole means a writer at work: it is
// waited out while the file goes on changing, and taken as it is once it has
// not changed for a while.
template <typename Look>
Event LookSettled(Source* s, Waiter* w, Found* found, Look look) {
  for (bool again = false;; again = true) {
    const uint64_t seen = s->watch.events;
    const Event e = Settle(s, w, 0);
    if (e != Event::Ready) return e;
    if (again && s->watch.events == seen) return Event::Ready;
    *found = look();
    if (*found != Found::NotWhole) return Event::Ready;
    MarkInFlux(&s->watch);
  }
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

std::optional<Failure> OpenSource(const std::string& path, bool follow, Waiter* waiter, Source* s) {
  s->path = path;
  waiter->watch = &s->watch;
  // the watch comes first, so that a writer at work now is seen
  std::string why;
  StartWatch(path, &s->watch, &why);
  Found found;
  Reload(s, waiter, &found);
  if (const auto refused = Refusal(*s, found)) return refused;
  if (!ChooseEncoding(s->looked, &s->encoding, &why)) return Failure{2, why};
  s->configured = s->latest = s->looked;
  if (follow) FollowSaves(s);
  return std::nullopt;
}

Event Settle(Source* s, Waiter* w, unsigned wants) {
  const Watch& watch = s->watch;
  while (watch.writing && NowMs() - watch.changedAt < kFluxMs) {
    const Event e = Wait(w, wants | kChange, watch.changedAt + kFluxMs);
    if (e != Event::Change && e != Event::Timeout) return e;
  }
  return Event::Ready;
}

Event Reload(Source* s, Waiter* w, Found* found) {
  return LookSettled(s, w, found, [s] {
    s->watch.saved = false;  // what was saved so far is what this look reads
    s->file.Reset(OpenWaveFile(s->path.c_str()));
    return Read(s);
  });
}

void Refresh(Source* s, Waiter* w) {
  if (!s->watch.changed && s->watch.fd.Valid()) return;
  Found found;
  if (Reload(s, w, &found) == Event::Ready && found == Found::Whole && !ShapeChange(s->configured, s->looked))
    s->latest = s->looked;
}

bool Touched(Source* s) {
  struct stat st;
  return fstat(s->file.Get(), &st) != 0 || st.st_size != s->size || Nanoseconds(st.st_mtim) != s->modified;
}

Event Reread(Source* s, Waiter* w, Found* found) {
  return LookSettled(s, w, found, [s] { return Read(s); });
}

std::optional<Failure> Refusal(const Source& s, Found found) {
  if (found == Found::Missing) return Failure{2, NotFoundLine(s.path)};
  // a file in another audio format is named, rather than the chunks it lacks
  const std::string other = OtherFormatLine(s.path, s.window.data(), std::min<size_t>(s.window.size(), s.size));
  if (found != Found::Whole && !other.empty()) return Failure{2, other};
  if (!s.looked.hasFormat) std::puts("Can't find format chunk in wave file!");
  if (found == Found::NoData) return Failure{2, "Can't find data block in wave file!"};
  return std::nullopt;
}

std::optional<Failure> Take(Source* s, uint64_t previousLength, const char* prefix) {
  if (const char* change = ShapeChange(s->configured, s->looked)) return Failure{1, prefix + std::string(change)};
  if (s->looked.lengthFrames != s->configured.lengthFrames && s->looked.lengthFrames != previousLength)
    std::printf("%sWARNING: Wavefile length has changed!\n", prefix);
  s->latest = s->looked;
  return std::nullopt;
}

bool ReadUnchanged(Source* s, UniqueFd* file) {
  file->Reset(OpenWaveFile(s->path.c_str()));
  StreamAttributes a;
  if (!file->Valid()) {
    std::puts(NotFoundLine(s->path).c_str());
    return false;
  }
  if (GetAttributes(file->Get(), &s->window, &a) != HeaderStatus::Ok || ShapeChange(s->latest, a) ||
      a.dataOffset != s->latest.dataOffset || a.lengthFrames != s->latest.lengthFrames) {
    std::puts("The file has changed since it was last played: play it again first.");
    return false;
  }
  return true;
}

void FollowSaves(Source* s) {
  std::string why;
  if (!s->watch.fd.Valid() && !StartWatch(s->path, &s->watch, &why)) {
    std::printf("Follow mode is off: %s\n", why.c_str());
    return;
  }
  s->watch.follow = true;
  s->watch.saved = false;
  std::puts("Follow mode is on: a save of the file plays the selection.");
}
