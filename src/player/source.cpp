#include "player/source.h"

#include "app/fatal.h"
#include "player/selection.h"
#include "wave/wave_file.h"

namespace {

// Opens the file by name and reads its header; a file that is gone or has no
// data chunk ends the program.
void Load(const std::string& path, Source* s) {
  s->file.Reset(OpenWaveFile(path.c_str()));
  const HeaderStatus status =
      s->file.Valid() ? GetAttributes(s->file.Get(), &s->window, &s->now) : HeaderStatus::Unreadable;
  if (status == HeaderStatus::Unreadable) Fatal(2, stdout, "The file called " + path + " cannot be found!");
  if (!s->now.hasFormat) std::puts("Can't find format chunk in wave file!");
  if (status == HeaderStatus::NoData) Fatal(2, stdout, "Can't find data block in wave file!");
}

// The line for the first difference that the device set up for `first` cannot play.
const char* ShapeChange(const StreamAttributes& first, const StreamAttributes& now) {
  if (now.sampleRate != first.sampleRate)
    return "WARNING: Wavefile samplerate has changed!  Restart the program.";
  // the same width as float instead of integer is a different depth too
  if (now.bitsPerSample != first.bitsPerSample || now.formatCode != first.formatCode)
    return "WARNING: Wavefile bit depth has changed!  Restart the program.";
  if (now.channels != first.channels)
    return "WARNING: Wavefile channel number has changed!  Restart the program.";
  return nullptr;
}

}  // namespace

void OpenSource(const std::string& path, Source* s) {
  s->path = path;
  Load(path, s);
  std::string why;
  if (!ChooseEncoding(s->now, &s->encoding, &why)) Fatal(2, stdout, why);
  s->first = s->now;
}

void ReopenSource(Source* s, Selection* selection) {
  Load(s->path, s);
  if (const char* change = ShapeChange(s->first, s->now)) Fatal(1, stdout, change);
  if (s->now.lengthFrames != s->first.lengthFrames) {
    std::puts("WARNING: Wavefile length has changed!");
    if (static_cast<uint64_t>(selection->stop) > s->now.lengthFrames)
      selection->stop = LengthAsFrame(s->now.lengthFrames);
  }
}
