// A private PulseAudio server with a null sink: a device that plays in real time, paces writes,
// underruns and can vanish, on a machine with no sound card, as root, with no D-Bus or display.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

class SoundServer {
 public:
  // Starts one whose files (socket, HOME, log) live in `dir`, which must not exist yet.
  explicit SoundServer(const std::string& dir);
  ~SoundServer();  // stops it by its PID
  SoundServer(const SoundServer&) = delete;
  SoundServer& operator=(const SoundServer&) = delete;

  // Empty once it runs; otherwise why it could not be started, with its log.
  const std::string& Problem() const { return problem_; }
  // What a client's environment needs (NAME=value) to play to it as device `pulse`.
  const std::vector<std::string>& Env() const { return env_; }
  // A device that writes every byte it is sent to `path` and plays it on through the server.
  static std::string Recording(const std::string& path);
  // Ends it at once, as a crash would.
  void Kill();
  pid_t Pid() const { return server_; }
  std::string Log() const;

 private:
  bool Start();
  bool Fail(const std::string& why);

  std::string dir_, problem_;
  std::vector<std::string> env_;
  pid_t server_ = -1, listener_ = -1;
};
