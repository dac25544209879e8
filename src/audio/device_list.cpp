#include "audio/device_list.h"

#include <alsa/asoundlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "audio/device.h"

namespace {

constexpr const char* kListFailed = "Unable to list the devices";

struct Hint {
  std::string name;
  std::optional<std::string> description;
};

// One field of a hint: ALSA hands over a copy to free, or null when the hint has no such field.
std::optional<std::string> Field(const void* hint, const char* id) {
  const std::unique_ptr<char, decltype(&std::free)> text(snd_device_name_get_hint(hint, id), &std::free);
  if (!text) return std::nullopt;
  return std::string(text.get());
}

// The PCMs that play, in ALSA's order: a hint with no direction does both, one
// for "Input" only records.
bool ReadHints(std::vector<Hint>* out, std::string* why) {
  void** hints = nullptr;
  int result = snd_device_name_hint(-1, "pcm", &hints);
  if (result < 0) return *why = DeviceErrorLine(kListFailed, result), false;
  for (void** h = hints; *h != nullptr; ++h) {
    const std::optional<std::string> io = Field(*h, "IOID");
    std::optional<std::string> name = Field(*h, "NAME");
    if (name && (!io || *io == "Output")) out->push_back({std::move(*name), Field(*h, "DESC")});
  }
  result = snd_device_name_free_hint(hints);
  if (result < 0) return *why = DeviceErrorLine(kListFailed, result), false;
  return true;
}

}  // namespace

std::optional<std::string> ListDevices() {
  std::vector<Hint> hints;
  std::string why;
  if (!ReadHints(&hints, &why)) return why;
  std::string text;
  for (const Hint& hint : hints) {
    text += hint.name + '\n';
    if (!hint.description) continue;
    text += "    ";
    for (const char c : *hint.description) {
      text += c;
      if (c == '\n') text += "    ";
    }
    text += '\n';
  }
  std::fputs(text.c_str(), stdout);
  return std::nullopt;
}
