// One player run: set-up, the menu and play passes, release.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "player/console.h"
#include "player/device.h"
#include "wave/file_io.h"
#include "wave/sample_format.h"
#include "wave/wave_header.h"

enum Action { kStay = 0, kPlay = 1, kExit = 2 };
enum ExitMode { kEndAfterPass = 1, kBackToMenu = 3 };

struct FreeBytes {
  void operator()(unsigned char* p) const { std::free(p); }
};
// Page-aligned, so the kernel copies each period into it at full speed.
using PeriodBuffer = std::unique_ptr<unsigned char[], FreeBytes>;

struct PlayerState {
  std::string path;
  StreamAttributes initial;  // first scan; every later scan is compared with it
  StreamAttributes current;  // latest scan
  SampleEncoding encoding = SampleEncoding::S16;
  uint64_t fileLength = 0;  // limit for selection edits
  int64_t startFrame = 0;
  int64_t stopFrame = 0;  // exclusive
  int64_t nudgeFrames = 12000;
  int loopCount = 1;
  int action = kStay;
  int exitMode = kBackToMenu;
  float startSeconds = 0, stopSeconds = 0, nudgeSeconds = 0;
  std::string commandText;
  Console console;
  UniqueFd file;  // the player's own handle, read by the passes
  PcmHandle pcm;
  snd_pcm_uframes_t periodFrames = 0;
  PeriodBuffer readBuffer;  // one period of mono file data
  PeriodBuffer outBuffer;   // one period of stereo device frames
};

// Plays `path` on `deviceName`. `autoCommand` 1 acts on `commandText` before
// the menu is first shown. Returns after releasing everything; fatal problems
// end the process with status 1 or 2.
void PLAY(const std::string& path, const std::string& deviceName, float inSeconds,
          float outSeconds, const std::string& commandText, int autoCommand, int loopCount);
