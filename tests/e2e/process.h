// Runs build/zuvaroza as a child process with pipes on all three streams, so
// a test can type in stages and read what the program printed meanwhile.
#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

struct Outcome {
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;
  bool timedOut = false;
  std::string out, err;
};

class Process {
 public:
  explicit Process(const std::vector<std::string>& args);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Send(const std::string& text);
  void CloseInput();
  // Waits until standard output shows `text` past the previous match.
  bool WaitFor(const std::string& text, double seconds = 10);
  void Signal(int sig);
  bool Running();
  // Closes the input, waits for the end (killing it after `seconds`).
  Outcome Finish(double seconds = 20);
  const std::string& Out() const { return out_; }

 private:
  bool Pump(int timeoutMs);  // reads what is ready; false when both outputs ended

  pid_t pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  size_t mark_ = 0;
};

// One whole run with `input` on standard input.
Outcome RunZuvaroza(const std::vector<std::string>& args, const std::string& input = "",
            double seconds = 20);
