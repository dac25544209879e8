// zuvaroza: plays a wave file, or a selection of it, through an ALSA device.
#include <cfloat>
#include <climits>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>

#include "app/help.h"
#include "player/console.h"
#include "player/player.h"

namespace {

// A time argument; text that is not a number, or not a finite float, means "not given".
float SecondsArg(const char* text) {
  const double d = std::strtod(text, nullptr);
  return std::fabs(d) <= FLT_MAX ? static_cast<float>(d) : 0.0f;
}

int LoopsArg(const char* text) {
  const long long n = std::strtoll(text, nullptr, 10);
  return n > INT_MAX ? INT_MAX : n < INT_MIN ? INT_MIN : static_cast<int>(n);
}

// Reads a file name at the prompt; false for "x" or the end of input.
bool AskFileName(Console* console, const char* prompt, std::string* name) {
  std::puts(prompt);
  return ReadWord(console, name) && *name != "x";
}

bool PromptForFile(std::string* name) {
  Console console;
  if (!AskFileName(&console, "\nEnter the name of .wav file, 'h' for help, or 'x' to exit: ", name))
    return false;
  if (*name != "h") return true;
  Help();
  return AskFileName(&console, "\nEnter the name of .wav file or 'x' to exit: ", name);
}

// --help, -h and --version, taken only as the one and only argument.
bool AnswerInfoRequest(const std::string& arg) {
  if (arg == "--help" || arg == "-h") {
    Help();
    Usage();
    return true;
  }
  if (arg == "--version") {
    Version();
    return true;
  }
  return false;
}

// A program started with a standard stream closed would hand that descriptor
// to the next file it opens, and read the wave file as typed commands.
void OpenStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null != fd) std::_Exit(1);  // nowhere safe to read or write
  }
}

}  // namespace

int main(int argc, char** argv) {
  OpenStandardStreams();
  const int n = argc - 1;
  if (n == 1 && AnswerInfoRequest(argv[1])) return 0;
  PlayArgs args;
  if (n >= 1 && std::string(argv[1]) != "d") args.deviceName = argv[1];
  if (n <= 1) {
    if (!PromptForFile(&args.path)) return 1;
    PLAY(args);
    return 0;
  }
  args.path = argv[2];
  if (n >= 3) args.inSeconds = SecondsArg(argv[3]);
  if (n >= 4) args.outSeconds = SecondsArg(argv[4]);
  args.autoCommand = n >= 5;
  if (args.autoCommand) args.commandText = argv[5];
  // the loop count is read only when it is the last argument
  if (n == 6) args.loopCount = LoopsArg(argv[6]);
  PLAY(args);
  return 0;
}
