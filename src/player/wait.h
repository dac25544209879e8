// Where the player sleeps while a pass plays: until the device has room, or a
// stop is asked for. Standard output is flushed first, so the console is up to
// date whenever the program waits.
#pragma once
#include <alsa/asoundlib.h>
#include <poll.h>

#include <vector>

enum class Wake { Room, Stop, Failed };

// Waits on `fds`, the device's poll descriptors. On Failed, `*error` holds the code.
Wake WaitForRoom(snd_pcm_t* pcm, std::vector<pollfd>* fds, int* error);
