// The playback devices that ALSA's configuration names, listed as `aplay -L`
// lists them, for -L.
#pragma once
#include <optional>
#include <string>

// Prints each playback PCM's name on a line of its own, and each line of its
// description below it, indented by four spaces. Returns the line that says
// why when ALSA cannot list them; nothing is printed then.
std::optional<std::string> ListDevices();
