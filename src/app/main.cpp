// zuvaroza: plays a wave file, or a selection of it, through an ALSA device.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// Reads a file name at the prompt; "x" or the end of input ends the process.
std::string AskFileName(Console* console, const char* prompt) {
  std::puts(prompt);
  std::string name;
  if (!ReadWord(console, &name) || name == "x") std::exit(1);
  return name;
}

std::string PromptForFile() {
  Console console;
  std::string name =
      AskFileName(&console, "\nEnter the name of .wav file, 'h' for help, or 'x' to exit: ");
  if (name == "h") {
    Help();
    name = AskFileName(&console, "\nEnter the name of .wav file or 'x' to exit: ");
  }
  return name;
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

}  // namespace

int main(int argc, char** argv) {
  const int n = argc - 1;
  if (n == 1 && AnswerInfoRequest(argv[1])) return 0;
  const std::string device = n == 0 || std::string(argv[1]) == "d" ? "default" : argv[1];
  if (n <= 1) {
    PLAY(PromptForFile(), device, 0, 0, " ", 0, 1);
    return 0;
  }
  const float inSeconds = n >= 3 ? SecondsArg(argv[3]) : 0;
  const float outSeconds = n >= 4 ? SecondsArg(argv[4]) : 0;
  const bool autoCommand = n >= 5;
  const std::string command = autoCommand ? argv[5] : " ";
  // the loop count is read only when it is the last argument
  const int loops = n == 6 ? LoopsArg(argv[6]) : 1;
  PLAY(argv[2], device, inSeconds, outSeconds, command, autoCommand ? 1 : 0, loops);
  return 0;
}
