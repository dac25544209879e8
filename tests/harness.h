// The one test harness: wave files built byte by byte, the program run as a child with pipes
// on its three streams, a temporary directory per test, a private sound server, and golden
// transcripts of whole sessions.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<unsigned char>;
using Strings = std::vector<std::string>;

struct WaveLayout {
  uint16_t format = 1, subFormat = 1;  // format 0xFFFE writes an extensible header with `subFormat`
  uint16_t channels = 2;
  uint32_t rate = 8000;
  uint16_t bits = 16;
  int32_t blockAlign = -1;    // -1 writes channels × bits / 8
  Bytes before, data, after;  // chunks before the data chunk, its data, chunks after it
  int64_t dataSize = -1;      // the size field; -1 writes data.size()
  std::string riff = "RIFF";  // or "RF64", "BW64"
  int64_t ds64DataSize = -1;  // 0 or more writes a ds64 chunk first, with this data size
};

Bytes Le(uint64_t v, int n);  // `v` in `n` bytes, little-endian
Bytes Text(const std::string& s);
Bytes operator+(Bytes a, const Bytes& b);
// `frames` frames at `rate` of `channels` samples of `bits`, each file its own bytes (`seed`).
WaveLayout Layout(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames, unsigned seed = 1);
Bytes Chunk(const std::string& id, const Bytes& body);
Bytes WaveFile(const WaveLayout& w);
Bytes Ramp(size_t n, unsigned seed = 1);  // bytes of noise, so a misplaced one shows; each seed its own
Bytes Repeat(const Bytes& b, int times);
Bytes Slice(const Bytes& b, size_t from, size_t to);
Bytes Widen(const Bytes& mono, size_t sampleBytes);  // each sample doubled into two channels

// The last line of the menu: the program waits for a word.
constexpr char kMenuEnd[] = "'+' to show additional commands\n";

struct Outcome {
  int status = -1, signal = 0;  // exit status, or -1 and the signal that ended it
  bool timedOut = false;
  std::string out, err;
  double seconds = 0, cpuSeconds = 0;  // from the start until it ended; user + system time
};

// A child process: build/zuvaroza, or any program, with NAME=value entries of `env` put over
// the test's environment. Its output goes to pipes the test reads, or to `log` when given.
class Process {
 public:
  explicit Process(const Strings& args, const Strings& env = {}) : Process(ZUVAROZA_BIN, args, env) {}
  Process(const std::string& program, const Strings& args, const Strings& env, const std::string& log = "");
  ~Process();
  void Send(const std::string& text);
  bool WaitFor(const std::string& text, double seconds = 10);  // past the previous match
  double Signal(int sig);                                       // returns when it was sent
  bool Running();
  double Elapsed() const;                // seconds since the start
  Outcome Finish(double seconds = 20);   // closes the input; kills it after `seconds`
  const std::string& Out() const { return out_; }
  size_t Mark() const { return mark_; }  // where the last WaitFor match ended in the output
  double ShownAt(size_t offset) const;   // when that byte of standard output arrived

 private:
  bool Pump(int timeoutMs);  // reads what is ready; false when both outputs ended
  double start_;
  pid_t pid_ = -1;
  int in_ = -1, outFd_ = -1, errFd_ = -1;
  std::string out_, err_;
  size_t mark_ = 0;
  std::vector<std::pair<size_t, double>> arrivals_;  // the output's size after each read, and when
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
  Outcome Run(const Strings& args, const std::string& input = "", const Strings& env = {}) const;
  // A private PulseAudio server with a null sink: it plays in real time, paces writes,
  // underruns and can vanish, with no sound card, as root, with no D-Bus or display. A test
  // that needs one and cannot start it fails. `serverEnv_` is what a client needs for `pulse`.
  void StartServer();
  void KillServer() { server_.reset(); }  // at once, as a crash would
  // Runs every session of tests/golden/`name` and compares each whole.
  void Transcript(const std::string& name);

  std::string dir_;
  Strings serverEnv_;
  std::unique_ptr<Process> server_, listener_;
};
