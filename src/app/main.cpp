// zuvaroza: plays a wave file, or a selection of it, through an ALSA device.
#include <clocale>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string>

#include "app/help.h"
#include "audio/device.h"
#include "io/console.h"
#include "audio/device_list.h"
#include "player/menu.h"
#include "player/player.h"

namespace {

// A loop count: a whole number, 0 or more, saturating; -1 for anything else.
int LoopsArg(const char* text) {
  char* end;
  const long long n = std::strtoll(text, &end, 10);
  if (end == text || *end != '\0' || n < 0) return -1;
  return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

// Reads a file name at the prompt; false for "x" or the end of input.
bool AskFileName(Console* console, const char* prompt, std::string* name) {
  std::puts(prompt);
  std::fflush(stdout);
  return WaitForWord(console, name) && *name != "x";
}

// Asks for the file name; what was typed after it stays for the menu.
bool PromptForFile(Console* console, PlayArgs* args) {
  bool named = AskFileName(console, "\nEnter the name of .wav file, 'h' for help, or 'x' to exit: ", &args->path);
  if (named && args->path == "h") {
    Help();
    named = AskFileName(console, "\nEnter the name of .wav file or 'x' to exit: ", &args->path);
  }
  return named;
}

// The one place the program ends with a line: after what the console already
// shows. Standard output that could not be written is a failure too.
int Exit(const std::optional<Failure>& failure) {
  const bool written = std::fflush(stdout) == 0 && !std::ferror(stdout);
  const int error = errno;
  int status = failure ? failure->status : 0;
  if (failure && !failure->line.empty())
    std::fprintf(failure->toStderr ? stderr : stdout, "%s\n", failure->line.c_str());
  if (!written && status == 0) {
    std::fprintf(stderr, "Unable to write to standard output: %s\n", std::strerror(error));
    status = 1;
  }
  // a device left to a stuck plugin must not hold up the exit: nothing is tidied up after it
  if (AnyAbandoned()) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}

// Reads the options, which come before the first positional argument ("--"
// ends them), and sets `*first` to that argument's index. Returns the exit
// status when an option ends the program.
std::optional<int> ReadOptions(int argc, char** argv, PlayArgs* args, int* first) {
  for (*first = 1; *first < argc; ++*first) {
    const std::string arg = argv[*first];
    if (arg == "--") {
      ++*first;
      break;
    }
    if (arg == "-f" || arg == "--follow") {
      args->follow = true;
    } else if (arg == "-a" || arg == "--audition") {
      args->audition = true;
    } else if (arg == "-h" || arg == "--help") {
      Help();
      MoreHelp();
      Usage();
      return 0;
    } else if (arg == "-L" || arg == "--list-devices") {
      const std::optional<std::string> failure = ListDevices();
      if (failure) std::fprintf(stderr, "%s\n", failure->c_str());
      return failure ? 1 : 0;
    } else if (arg == "--version") {
      Version();
      return 0;
    } else if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "Unknown option: %s\n", arg.c_str());
      Usage();
      return 1;
    } else {
      break;
    }
  }
  return std::nullopt;
}

// Reads FILE, START, STOP, COMMAND and LOOPS (arg[2] on) into `args`. Returns the exit status
// when they cannot be run, before anything plays: a COMMAND that is no menu word or a word past
// LOOPS (with the usage lines), or a START or STOP that is no time in a run that ends by itself;
// elsewhere such a time is said and counts as not given.
std::optional<int> ReadPositionals(char** arg, int n, PlayArgs* args) {
  if (n >= 7 || (n >= 5 && !IsMenuWord(arg[5]))) {
    std::fprintf(stderr, n >= 7 ? "Too many arguments: %s\n" : "Unknown command: %s\n", arg[n >= 7 ? 7 : 5]);
    Usage();
    return 1;
  }
  args->path = arg[2];
  args->autoCommand = n >= 5;
  if (args->autoCommand) args->commandText = arg[5];
  args->endsByItself = args->commandText == "px" || args->commandText == "wx";
  for (int i = 3; i <= n && i <= 4; ++i) {
    const char* name = i == 3 ? "START" : "STOP";
    if (const std::optional<TypedTime> time = TimeFromText(arg[i])) {
      (i == 3 ? args->in : args->out) = *time;
      continue;
    }
    std::fprintf(stderr, "%s '%s' is not a time: seconds, or frames as 96038s\n", name, arg[i]);
    if (args->endsByItself) return 1;
  }
  if (n == 6) args->loopCount = LoopsArg(arg[6]);
  if (args->loopCount >= 0) return std::nullopt;
  std::fprintf(stderr, "LOOPS '%s' is not a number of loops: a whole number, 0 or more\n", arg[6]);
  return 1;
}

// A program started with a standard stream closed would hand that descriptor
// to the next file it opens, and read the wave file as typed commands.
void OpenStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    const int null = open("/dev/null", O_RDWR);
    if (null != fd) std::_Exit(1);  // nowhere safe to read or write
  }
}

}  // namespace

int main(int argc, char** argv) {
  OpenStandardStreams();
  // the character set only, for the seam's picture: numbers keep their "C" form
  std::setlocale(LC_CTYPE, "");
  PlayArgs args;
  int first;  // set by ReadOptions
  if (const std::optional<int> status = ReadOptions(argc, argv, &args, &first))
    return Exit(*status == 0 ? std::nullopt : std::optional<Failure>(Failure{*status}));
  char** arg = argv + first - 1;  // arg[1] is the first positional argument
  const int n = argc - first;
  if (n >= 1 && std::string(arg[1]) != "d") args.deviceName = arg[1];
  // a wave file alone was meant as the file, not the device: no prompt for another
  if (const std::string hint = n == 1 ? DeviceFirstHint(arg[1]) : ""; !hint.empty())
    return Exit(Failure{1, hint, true});
  if (n >= 2)
    if (const std::optional<int> status = ReadPositionals(arg, n, &args)) return Exit(Failure{*status});
  Console console;
  if (n <= 1 && !PromptForFile(&console, &args)) return Exit(Failure{1});
  return Exit(Play(args, &console));
}
