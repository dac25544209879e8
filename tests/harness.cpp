#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

extern char** environ;

WaveLayout Layout(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames, unsigned seed) {
  WaveLayout w;
  w.rate = rate;
  w.channels = channels;
  w.bits = bits;
  w.data = Ramp(frames * channels * (bits / 8), seed);
  return w;
}

Bytes Chunk(const std::string& id, const Bytes& body) {
  Bytes b;
  Put(&b, id);
  Put(&b, body.size(), 4);
  b = b + body;
  if (body.size() % 2) b.push_back(0);
  return b;
}

Bytes WaveFile(const WaveLayout& w) {
  const auto align = static_cast<uint16_t>(w.blockAlign < 0 ? w.channels * (w.bits / 8) : w.blockAlign);
  Bytes fmt;
  Put(&fmt, w.format, 2);
  Put(&fmt, w.channels, 2);
  Put(&fmt, w.rate, 4);
  Put(&fmt, uint64_t{w.rate} * align, 4);
  Put(&fmt, align, 2);
  Put(&fmt, w.bits, 2);
  if (w.format == 0xFFFE) {
    Put(&fmt, 22, 2);
    Put(&fmt, w.bits, 2);
    Put(&fmt, 3, 4);
    Put(&fmt, w.subFormat, 2);
    fmt = fmt + Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  }
  Bytes body, ds64(28, 0), size;
  Put(&body, "WAVE");
  if (w.ds64DataSize >= 0) {  // the RIFF size, this data size, a sample count and an empty table
    for (int i = 0; i < 8; ++i) ds64[8 + i] = static_cast<unsigned char>(w.ds64DataSize >> (8 * i));
    body = body + Chunk("ds64", ds64);
  }
  Put(&size, w.dataSize < 0 ? w.data.size() : static_cast<uint64_t>(w.dataSize), 4);
  body = body + Chunk("fmt ", fmt) + w.before + Bytes{'d', 'a', 't', 'a'} + size + w.data + w.after;
  Bytes file;
  Put(&file, w.riff);
  Put(&file, body.size(), 4);
  return file + body;
}

Bytes Ramp(size_t n, unsigned seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<unsigned char>((i * 7 + seed * 13 + i / 251) & 0xFF);
  return b;
}

Bytes Repeat(const Bytes& b, int times) { return times <= 0 ? Bytes() : b + Repeat(b, times - 1); }

Bytes Slice(const Bytes& b, size_t from, size_t to) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
}

Bytes Widen(const Bytes& mono, size_t sampleBytes) {
  Bytes out;
  for (size_t i = 0; i + sampleBytes <= mono.size(); i += sampleBytes)
    for (int c = 0; c < 2; ++c) out.insert(out.end(), &mono[i], &mono[i] + sampleBytes);
  return out;
}

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> p;
  for (std::string& s : strings) p.push_back(&s[0]);
  p.push_back(nullptr);
  return p;
}

// This process's environment with `changes` (NAME=value) put over it.
std::vector<std::string> Merged(const std::vector<std::string>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(changes.begin(), changes.end(),
                     [&](const std::string& c) { return c.compare(0, name.size(), name) == 0; }))
      env.push_back(entry);
  }
  env.insert(env.end(), changes.begin(), changes.end());
  return env;
}

}  // namespace

Process::Process(const std::vector<std::string>& args, const std::vector<std::string>& env)
    : Process(ZUVAROZA_BIN, args, env) {}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env, const std::string& log)
    : start_(Now()) {
  signal(SIGPIPE, SIG_IGN);  // a program that has ended must not end the test
  // built before the fork: the child only calls what is safe there
  std::vector<std::string> argStrings{program}, envStrings = Merged(env);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv = Pointers(argStrings), envp = Pointers(envStrings);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) std::abort();
  const int logFd = log.empty() ? -1 : open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(logFd < 0 ? in[0] : open("/dev/null", O_RDONLY), 0);
    dup2(logFd < 0 ? out[1] : logFd, 1);
    dup2(logFd < 0 ? err[1] : logFd, 2);
    signal(SIGPIPE, SIG_DFL);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  for (int fd : {in[0], out[1], err[1], logFd})
    if (fd >= 0) close(fd);
  in_ = in[1];
  outFd_ = out[0];
  errFd_ = err[0];
  if (logFd >= 0) {
    for (int* fd : {&in_, &outFd_, &errFd_}) close(*fd), *fd = -1;
  }
}

Process::~Process() {
  if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  for (int fd : {in_, outFd_, errFd_})
    if (fd >= 0) close(fd);
}

void Process::Send(const std::string& text) {
  if (in_ >= 0 && write(in_, text.data(), text.size()) < 0) {
  }
}

bool Process::Pump(int timeoutMs) {
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  if (outFd_ < 0 && errFd_ < 0) return false;
  if (poll(fds, 2, timeoutMs) <= 0) return true;
  int* fd[2] = {&outFd_, &errFd_};
  std::string* text[2] = {&out_, &err_};
  for (int i = 0; i < 2; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buf[65536];
    const ssize_t n = read(*fd[i], buf, sizeof buf);
    if (n <= 0) {
      close(*fd[i]);
      *fd[i] = -1;
      continue;
    }
    text[i]->append(buf, static_cast<size_t>(n));
    if (i == 0) arrivals_.emplace_back(out_.size(), Elapsed());
  }
  return true;
}

bool Process::WaitFor(const std::string& text, double seconds) {
  for (const double end = Now() + seconds;;) {
    const size_t at = out_.find(text, mark_);
    if (at != std::string::npos) {
      mark_ = at + text.size();
      return true;
    }
    if (Now() > end || !Pump(20)) return false;
  }
}

double Process::Signal(int sig) {
  kill(pid_, sig);
  return Elapsed();
}

double Process::Elapsed() const { return Now() - start_; }

double Process::ShownAt(size_t offset) const {
  for (const auto& a : arrivals_)
    if (offset < a.first) return a.second;
  return -1;
}

bool Process::Running() {
  Pump(0);
  siginfo_t info{};
  // WNOWAIT leaves the child to be reaped by Finish
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

Outcome Process::Finish(double seconds) {
  if (in_ >= 0) close(in_), in_ = -1;
  Outcome o;
  for (double end = Now() + seconds; Pump(20);) {
    if (Now() > end) o.timedOut = true, kill(pid_, SIGKILL), end = Now() + 5;
  }
  int status = 0;
  rusage usage{};
  wait4(pid_, &status, 0, &usage);
  pid_ = -1;
  o.seconds = Elapsed();
  o.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
  o.out = out_;
  o.err = err_;
  return o;
}

SoundServer::SoundServer(const std::string& dir) : dir_(dir) {
  if (!Start()) server_.reset(), listener_.reset();
}

SoundServer::~SoundServer() = default;  // each process is ended by its PID

void SoundServer::Kill() { server_.reset(); }

bool SoundServer::Fail(const std::string& why) {
  std::ifstream log(dir_ + "/server.log");
  problem_ = "could not start a private PulseAudio server in " + dir_ + ": " + why +
             "\n(scripts/setup.sh installs pulseaudio, pulseaudio-utils and libasound2-plugins)\nits log:\n" +
             std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
  return false;
}

bool SoundServer::Start() {
  const std::string run = dir_ + "/run", home = dir_ + "/home", log = dir_ + "/server.log";
  if (mkdir(dir_.c_str(), 0700) || mkdir(run.c_str(), 0700) || mkdir(home.c_str(), 0700))
    return Fail("cannot make its directories");
  // `paced_file:'PATH'` records every byte to PATH and plays it on through the server
  std::ofstream(home + "/.asoundrc") << "pcm.paced_file { @args [ FILE ] @args.FILE { type string }\n"
                                        "  type file slave.pcm \"pulse\" file $FILE format \"raw\" }\n";
  env_ = {"HOME=" + home, "XDG_RUNTIME_DIR=" + run, "PULSE_RUNTIME_PATH=" + run};
  server_ = std::make_unique<Process>(
      "pulseaudio", std::vector<std::string>{"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "-L",
                                             "module-null-sink sink_name=nul", "-L", "module-native-protocol-unix"},
      env_, log);
  env_.push_back("PULSE_SERVER=unix:" + run + "/native");
  const double deadline = Now() + 10;
  for (struct stat st; stat((run + "/native").c_str(), &st) != 0 || !S_ISSOCK(st.st_mode);) {
    if (!server_->Running()) return Fail("pulseaudio ended");
    if (Now() > deadline) return Fail("no socket after 10 s");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // An idle null sink renders 2 s blocks, so a new stream would start up to 2 s late. A reader on
  // its monitor with a 20 ms latency keeps the blocks short; suspending and resuming the sink then
  // restarts its clock, so even the first stream starts at once, as on a sound card.
  listener_ = std::make_unique<Process>(
      "parec", std::vector<std::string>{"-d", "nul.monitor", "--latency-msec=20"}, env_, "/dev/null");
  while (Process("pactl", {"list", "short", "source-outputs"}, env_).Finish(5).out.empty()) {
    if (!listener_->Running() || Now() > deadline) return Fail("parec does not reach the sink");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (const char* suspend : {"1", "0"}) {
    const Outcome o = Process("pactl", {"suspend-sink", "nul", suspend}, env_).Finish(5);
    if (o.status != 0) return Fail("pactl suspend-sink: " + o.err);
  }
  return true;
}

void EndToEnd::SetUp() {
  char tmpl[] = "/tmp/zuvaroza-test-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  dir_ = tmpl;
}

void EndToEnd::TearDown() {
  server_.reset();
  std::system(("rm -rf --one-file-system '" + dir_ + "'").c_str());
}

std::string EndToEnd::Write(const std::string& name, const Bytes& bytes) const {
  std::ofstream(Path(name), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return Path(name);
}

Bytes EndToEnd::Read(const std::string& name) const {
  std::ifstream f(Path(name), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void EndToEnd::Shell(const std::string& command) const {
  ASSERT_EQ(std::system(("cd '" + dir_ + "' && " + command).c_str()), 0) << command;
}

Outcome EndToEnd::Run(const std::vector<std::string>& args, const std::string& input,
                      const std::vector<std::string>& env) const {
  Process p(args, env);
  p.Send(input);
  return p.Finish();
}

void EndToEnd::StartServer() {
  static int servers = 0;
  server_ = std::make_unique<SoundServer>(Path("pulse" + std::to_string(++servers)));
  // a missing server fails the test: skipping would hide every real-time fault
  ASSERT_TRUE(server_->Problem().empty()) << server_->Problem();
}

namespace {

// The bytes of a golden transcript's "% wave NAME key=value..." line: 16-bit stereo at 8000 Hz
// unless said; `frames` of a ramp, or of a `triangle` going up through zero every 100 frames.
Bytes WaveFromWords(std::istringstream* words) {
  WaveLayout w;
  int64_t frames = 0, cut = -1;
  bool triangle = false;
  for (std::string word; *words >> word;) {
    const std::string key = word.substr(0, word.find('=')), value = word.substr(word.find('=') + 1);
    const long long n = std::strtoll(value.c_str(), nullptr, 0);
    if (key == "channels") w.channels = static_cast<uint16_t>(n);
    if (key == "bits") w.bits = static_cast<uint16_t>(n);
    if (key == "rate") w.rate = static_cast<uint32_t>(n);
    if (key == "format") w.format = static_cast<uint16_t>(n);
    if (key == "align") w.blockAlign = static_cast<int32_t>(n);
    if (key == "cut") cut = n;  // the file ends after this many bytes
    if (key == "frames") frames = n;
    if (key == "triangle") triangle = true, frames = n;
  }
  const int64_t samples = frames * w.channels;
  for (int64_t i = 0; triangle && i < samples; ++i) {
    const int64_t p = i / w.channels % 100;  // 400 a frame up and down
    Put(&w.data, static_cast<uint16_t>(400 * (p <= 25 ? p : p <= 75 ? 50 - p : p - 100)), 2);
  }
  if (!triangle) w.data = Ramp(static_cast<size_t>(samples) * (w.bits / 8));
  Bytes b = WaveFile(w);
  if (cut >= 0) b.resize(static_cast<size_t>(cut));
  return b;
}

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

}  // namespace

// A transcript holds sessions. "% wave NAME ..." and "% text NAME LINE" make files,
// "% env NAME=value..." sets the environment of the sessions after it (LC_ALL=C at first). A session is
// "$ ARGS" (DIR is the test directory, CAPTURE a device recording to DIR/out.raw), "< LINE"
// for each line typed, then what it did, whole: "= STATUS", what it printed, each line on
// standard error as "! LINE", and "@ N bytes" when the capture device was opened. "# " lines
// are notes. With UPDATE_GOLDEN set in the environment, the file is written anew from what
// the sessions did, for a maintainer to read over.
void EndToEnd::Transcript(const std::string& name) {
  const std::string path = std::string(GOLDEN_DIR) + "/" + name;
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  std::vector<std::string> env{"LC_ALL=C"}, args;  // the seam's picture in ASCII, unless said
  std::string line, input, want, updated;
  bool open = false;
  const auto finish = [&] {
    if (!open) return;
    const Outcome o = Run(args, input, env);
    std::string got = "= " + std::to_string(o.status) + "\n" + Replaced(Replaced(o.out, dir_, "DIR"), "\r", "\\r");
    std::istringstream err(Replaced(o.err, dir_, "DIR"));
    for (std::string e; std::getline(err, e);) got += "! " + e + "\n";
    if (access(Path("out.raw").c_str(), F_OK) == 0) got += "@ " + std::to_string(Read("out.raw").size()) + " bytes\n";
    unlink(Path("out.raw").c_str());
    EXPECT_EQ(want, got) << name << ": zuvaroza " << ::testing::PrintToString(args);
    updated += got;
    open = false;
  };
  while (std::getline(file, line)) {
    std::istringstream words(line.size() > 2 ? line.substr(2) : "");
    std::string word;
    const bool directive = line.rfind("$ ", 0) == 0 || line.rfind("% ", 0) == 0 || line.rfind("# ", 0) == 0;
    if (directive) finish();
    if (directive || line.rfind("< ", 0) == 0) updated += line + "\n";
    if (line.rfind("$ ", 0) == 0) {
      args.clear(), input.clear(), want.clear(), open = true;
      while (words >> word) args.push_back(Replaced(Replaced(word, "CAPTURE", Capture("out.raw")), "DIR", dir_));
    } else if (line.rfind("% wave ", 0) == 0) {
      words >> word >> word;
      Write(word, WaveFromWords(&words));
    } else if (line.rfind("% text ", 0) == 0) {
      words >> word >> word;
      const size_t at = line.find(word, 7) + word.size() + 1;  // no text: an empty file
      std::ofstream(Path(word)) << (at < line.size() ? line.substr(at) + "\n" : "");
    } else if (line.rfind("% env", 0) == 0) {
      for (env.clear(); words >> word;) env.push_back(Replaced(word, "DIR", dir_));
      env.erase(env.begin());
    } else if (line.rfind("< ", 0) == 0) {
      input += line.substr(2) + "\n";
    } else if (open) {
      want += line + "\n";
    }
  }
  finish();
  if (std::getenv("UPDATE_GOLDEN")) std::ofstream(path) << updated;
}
