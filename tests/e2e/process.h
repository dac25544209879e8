// Runs build/zuvaroza (or a tool such as aplay) as a child process with pipes on all three
// streams, so a test can type in stages, read what the program printed meanwhile and when.
#pragma once
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

struct Outcome {
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;
  bool timedOut = false;
  std::string out, err;
  double seconds = 0;     // from the start until it ended
  double cpuSeconds = 0;  // user + system time it used
};

class Process {
 public:
  // `env` holds NAME=value entries added to (or replacing those of) the test's own environment.
  explicit Process(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
  Process(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& env);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Send(const std::string& text);
  void CloseInput();
  // Waits until standard output shows `text` past the previous match.
  bool WaitFor(const std::string& text, double seconds = 10);
  // Sends `sig`; returns when, in seconds since the start.
  double Signal(int sig);
  bool Running();
  double Elapsed() const;  // seconds since the start
  // Closes the input, waits for the end (killing it after `seconds`).
  Outcome Finish(double seconds = 20);
  const std::string& Out() const { return out_; }
  // Where the last WaitFor match ended in Out().
  size_t Mark() const { return mark_; }
  // When the byte of Out() at `offset` arrived, in seconds since the start.
  double ShownAt(size_t offset) const;

 private:
  bool Pump(int timeoutMs);  // reads what is ready; false when both outputs ended

  double start_;
  pid_t pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  size_t mark_ = 0;
  std::vector<std::pair<size_t, double>> arrivals_;  // Out()'s size after each read, and when
};

// This process's environment with `changes` (NAME=value) put over it.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes);

// One whole run with `input` on standard input.
Outcome RunZuvaroza(const std::vector<std::string>& args, const std::string& input = "",
            double seconds = 20, const std::vector<std::string>& env = {});
