// The one test harness: wave files built byte by byte, the program run as a child with
// pipes on its three streams, a temporary directory per test, a private sound server,
// and golden transcripts of whole sessions.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<unsigned char>;

struct WaveLayout {
  uint16_t format = 1;  // 0xFFFE writes an extensible header with `subFormat`
  uint16_t subFormat = 1;
  uint16_t channels = 2;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  int32_t blockAlign = -1;  // -1 writes channels × bits / 8
  Bytes before;  // chunks between the format and data chunks
  Bytes data;
  Bytes after;  // chunks after the data
  int64_t dataSize = -1;  // the size field; -1 writes data.size()
  std::string riff = "RIFF";  // or "RF64", "BW64"
  int64_t ds64DataSize = -1;  // 0 or more writes a ds64 chunk first, with this data size
};

inline void Put(Bytes* b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b->push_back(static_cast<unsigned char>(v >> (8 * i)));
}
inline void Put(Bytes* b, const std::string& s) { b->insert(b->end(), s.begin(), s.end()); }
inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
// `frames` frames at `rate` of `channels` samples of `bits`, each file its own bytes (`seed`).
WaveLayout Layout(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames, unsigned seed = 1);
Bytes Chunk(const std::string& id, const Bytes& body);
Bytes WaveFile(const WaveLayout& w);
// Distinct, non-silent sample bytes, so a misplaced byte shows.
Bytes Ramp(size_t n, unsigned seed = 1);
Bytes Repeat(const Bytes& b, int times);
Bytes Slice(const Bytes& b, size_t from, size_t to);
// `mono` with every sample doubled into two channels.
Bytes Widen(const Bytes& mono, size_t sampleBytes);

// The last line of the menu: the program waits for a word.
constexpr char kMenuEnd[] = "'+' to show additional commands\n";

struct Outcome {
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;
  bool timedOut = false;
  std::string out, err;
  double seconds = 0;     // from the start until it ended
  double cpuSeconds = 0;  // user + system time it used
};

// A child process: build/zuvaroza, or any program, with NAME=value entries of `env` put over
// the test's environment. Its output goes to pipes the test reads, or to `log` when given.
class Process {
 public:
  explicit Process(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
  Process(const std::string& program, const std::vector<std::string>& args,
          const std::vector<std::string>& env, const std::string& log = "");
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void Send(const std::string& text);
  // Waits until standard output shows `text` past the previous match.
  bool WaitFor(const std::string& text, double seconds = 10);
  double Signal(int sig);  // returns when it was sent, in seconds since the start
  bool Running();
  double Elapsed() const;
  // Closes the input, waits for the end (killing it after `seconds`).
  Outcome Finish(double seconds = 20);
  const std::string& Out() const { return out_; }
  size_t Mark() const { return mark_; }  // where the last WaitFor match ended in Out()
  // When the byte of Out() at `offset` arrived, in seconds since the start.
  double ShownAt(size_t offset) const;
  pid_t Pid() const { return pid_; }

 private:
  bool Pump(int timeoutMs);  // reads what is ready; false when both outputs ended

  double start_;
  pid_t pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  size_t mark_ = 0;
  std::vector<std::pair<size_t, double>> arrivals_;  // Out()'s size after each read, and when
};

// A private PulseAudio server with a null sink: a device that plays in real time, paces
// writes, underruns and can vanish, with no sound card, as root, with no D-Bus or display.
class SoundServer {
 public:
  explicit SoundServer(const std::string& dir);  // its socket, HOME and log live in `dir`
  ~SoundServer();
  const std::string& Problem() const { return problem_; }  // empty once it runs
  const std::vector<std::string>& Env() const { return env_; }  // a client's, for device `pulse`
  void Kill();  // at once, as a crash would

 private:
  bool Start();
  bool Fail(const std::string& why);

  std::string dir_, problem_;
  std::vector<std::string> env_;
  std::unique_ptr<Process> server_, listener_;
};

// A temporary directory per test, the program's runs in it, and a sound server on demand.
class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const Bytes& bytes) const;
  Bytes Read(const std::string& name) const;
  // A device that writes every byte it is sent into `name`: at once, or paced by the server.
  std::string Capture(const std::string& name) const { return "file:'" + Path(name) + "',raw"; }
  std::string Recording(const std::string& name) const { return "paced_file:'" + Path(name) + "'"; }
  void Shell(const std::string& command) const;  // sox, aplay: in the test directory
  Outcome Run(const std::vector<std::string>& args, const std::string& input = "",
              const std::vector<std::string>& env = {}) const;
  // Starts the test's sound server; a test that needs one and cannot start it fails.
  void StartServer();
  const std::vector<std::string>& ServerEnv() const { return server_->Env(); }
  // Runs every session of tests/e2e/golden/`name` and compares each whole.
  void Transcript(const std::string& name);

  std::string dir_;
  std::unique_ptr<SoundServer> server_;
};
