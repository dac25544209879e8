#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <cstdio>

Bytes Le(uint64_t v, int n) {
  Bytes b;
  for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(i < 8 ? v >> (8 * i) : 0));
  return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

WaveLayout Layout(uint32_t rate, uint16_t channels, uint16_t bits, size_t frames, unsigned seed) {
  WaveLayout w;
  w.rate = rate, w.channels = channels, w.bits = bits;
  w.data = Ramp(frames * channels * (bits / 8), seed);
  return w;
}

Bytes Chunk(const std::string& id, const Bytes& body) {
  return Text(id) + Le(body.size(), 4) + body + Bytes(body.size() % 2, 0);
}

Bytes WaveFile(const WaveLayout& w) {
  const uint64_t align = w.blockAlign < 0 ? w.channels * (w.bits / 8) : static_cast<uint64_t>(w.blockAlign);
  Bytes fmt = Le(w.format, 2) + Le(w.channels, 2) + Le(w.rate, 4) + Le(w.rate * align, 4) + Le(align, 2) + Le(w.bits, 2);
  if (w.format == 0xFFFE)
    fmt = fmt + Le(22, 2) + Le(w.bits, 2) + Le(3, 4) + Le(w.subFormat, 2) +
          Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  // ds64: the RIFF size, the data size, a sample count and an empty table
  const Bytes ds64 = w.ds64DataSize < 0 ? Bytes() : Chunk("ds64", Le(0, 8) + Le(w.ds64DataSize, 8) + Le(0, 12));
  const Bytes body = Text("WAVE") + ds64 + Chunk("fmt ", fmt) + w.before + Text("data") +
                     Le(w.dataSize < 0 ? w.data.size() : static_cast<uint64_t>(w.dataSize), 4) + w.data + w.after;
  return Text(w.riff) + Le(body.size(), 4) + body;
}

Bytes Ramp(size_t n, unsigned seed) {
  Bytes b(n);
  for (uint32_t x = seed * 2654435761u | 1, i = 0; i < n; ++i)  // xorshift: no run of bytes comes back
    x ^= x << 13, x ^= x >> 17, x ^= x << 5, b[i] = static_cast<unsigned char>(x >> 24);
  return b;
}

Bytes Repeat(const Bytes& b, int times) { return times <= 0 ? Bytes() : b + Repeat(b, times - 1); }

Bytes Slice(const Bytes& b, size_t from, size_t to) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
}

Bytes Widen(const Bytes& mono, size_t width) {
  Bytes out;
  for (size_t i = 0; i + width <= mono.size(); i += width) out = out + Slice(mono, i, i + width) + Slice(mono, i, i + width);
  return out;
}

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

std::string Replaced(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
  return s;
}

}  // namespace

Process::Process(const std::string& program, const Strings& args, const Strings& env, const std::string& log)
    : start_(Now()) {
  signal(SIGPIPE, SIG_IGN);  // a program that has ended must not end the test
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) std::abort();
  pid_ = fork();
  if (pid_ == 0) {  // the test is one thread: the child may set its environment
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test killed by its timeout takes its children along
    for (const std::string& e : env) putenv(const_cast<char*>(e.c_str()));
    const int logFd = log.empty() ? -1 : open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    dup2(logFd < 0 ? in[0] : open("/dev/null", O_RDONLY), 0);
    dup2(logFd < 0 ? out[1] : logFd, 1);
    dup2(logFd < 0 ? err[1] : logFd, 2);
    signal(SIGPIPE, SIG_DFL);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  in_ = in[1], outFd_ = out[0], errFd_ = err[0];
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
    char buf[65536];
    const ssize_t n = fds[i].revents ? read(*fd[i], buf, sizeof buf) : 1;
    if (n <= 0) close(*fd[i]), *fd[i] = -1;
    if (n <= 0 || !fds[i].revents) continue;
    text[i]->append(buf, static_cast<size_t>(n));
    if (i == 0) arrivals_.emplace_back(out_.size(), Elapsed());
  }
  return true;
}

bool Process::WaitFor(const std::string& text, double seconds) {
  for (const double end = Now() + seconds;;) {
    const size_t at = out_.find(text, mark_);
    if (at != std::string::npos) return mark_ = at + text.size(), true;
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
  siginfo_t info{};  // WNOWAIT leaves the child to be reaped by Finish
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

Outcome Process::Finish(double seconds) {
  if (in_ >= 0) close(in_), in_ = -1;
  Outcome o;
  for (double end = Now() + seconds; Pump(20);)
    if (Now() > end) o.timedOut = true, kill(pid_, SIGKILL), end = Now() + 5;
  int status = 0;
  rusage use{};
  wait4(pid_, &status, 0, &use);
  pid_ = -1;
  o.seconds = Elapsed();
  o.cpuSeconds = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                 static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  o.out = out_, o.err = err_;
  return o;
}

void EndToEnd::SetUp() {
  char dir[] = "/tmp/zuvaroza-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  dir_ = dir;
}

void EndToEnd::TearDown() {
  listener_.reset(), server_.reset();
  std::system(("rm -rf --one-file-system '" + dir_ + "'").c_str());
}

std::string EndToEnd::Write(const std::string& name, const Bytes& bytes) const {
  std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
  return Path(name);
}

Bytes EndToEnd::Read(const std::string& name) const {
  std::ifstream f(Path(name), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void EndToEnd::Shell(const std::string& command) const {
  ASSERT_EQ(std::system(("cd '" + dir_ + "' && " + command).c_str()), 0) << command;
}

Outcome EndToEnd::Run(const Strings& args, const std::string& input, const Strings& env) const {
  Process p(args, env);
  p.Send(input);
  return p.Finish();
}

void EndToEnd::StartServer() {
  static int servers = 0;
  const std::string dir = Path("pulse" + std::to_string(++servers)), log = dir + "/log";
  ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
  // `paced_file:'PATH'` records every byte to PATH and plays it on through the server
  std::ofstream(dir + "/.asoundrc") << "pcm.paced_file { @args [ FILE ] @args.FILE { type string }\n"
                                       "  type file slave.pcm \"pulse\" file $FILE format \"raw\" }\n";
  serverEnv_ = {"HOME=" + dir, "XDG_RUNTIME_DIR=" + dir, "PULSE_RUNTIME_PATH=" + dir, "PULSE_SERVER=unix:" + dir + "/native"};
  server_ = std::make_unique<Process>("pulseaudio", Strings{"-n", "--daemonize=no", "--exit-idle-time=-1",
      "--use-pid-file=no", "-L", "module-null-sink sink_name=nul", "-L", "module-native-protocol-unix"}, serverEnv_, log);
  const auto within = [&](const std::string& test) {  // `test` holds within 10 s
    return Process("sh", {"-c", "for i in $(seq 500); do " + test + " && exit; sleep 0.02; done; exit 1"},
                   serverEnv_).Finish(15).status == 0;
  };
  std::ifstream why(log);
  ASSERT_TRUE(within("pactl info >/dev/null 2>&1"))
      << "could not start a private PulseAudio server in " << dir << " (scripts/setup.sh installs pulseaudio, "
      << "pulseaudio-utils and libasound2-plugins); its log:\n" << why.rdbuf();
  // An idle null sink renders 2 s blocks, so a new stream would start up to 2 s late. A reader
  // on its monitor with a 20 ms latency keeps the blocks short; suspending and resuming the sink
  // then restarts its clock, so even the first stream starts at once, as on a sound card.
  listener_ = std::make_unique<Process>("parec", Strings{"-d", "nul.monitor", "--latency-msec=20"}, serverEnv_, log);
  ASSERT_TRUE(within("pactl list short source-outputs | grep -q . && pactl suspend-sink nul 1 && "
                     "pactl suspend-sink nul 0")) << why.rdbuf();
}

namespace {

// A golden transcript's "% wave NAME key=value..." file: 16-bit stereo at 8000 Hz unless said, of
// `frames` of a ramp (`seed` picks it) or of a `triangle` going up through zero every 100 frames
// (400 a frame up and down), with a LIST chunk of `list` bytes after the data, `cut` to that many
// bytes if asked; its data size field, `riff` id and ds64 size as said. Also the sound a device gets when it is played (mono is sent as stereo), and
// the size of a frame of it.
struct Sound {
  std::string name;
  Bytes bytes;
  size_t frameBytes;
};
std::pair<Bytes, Sound> WaveFromWords(const std::string& name, std::istringstream* words) {
  WaveLayout w;
  long long frames = 0, cut = -1, triangle = 0, seed = 1, list = 0;
  for (std::string word; *words >> word;) {
    const std::string key = word.substr(0, word.find('='));
    const long long n = std::strtoll(word.substr(word.find('=') + 1).c_str(), nullptr, 0);
    for (auto [name, field] : {std::pair{"channels", &w.channels}, {"bits", &w.bits}, {"format", &w.format}})
      if (key == name) *field = static_cast<uint16_t>(n);
    for (auto [name, field] : {std::pair{"cut", &cut}, {"frames", &frames}, {"triangle", &triangle},
                               {"seed", &seed}, {"list", &list}})
      if (key == name) *field = n;
    for (auto [name, field] : {std::pair{"size", &w.dataSize}, {"ds64", &w.ds64DataSize}})
      if (key == name) *field = n;
    if (key == "rate") w.rate = static_cast<uint32_t>(n);
    if (key == "align") w.blockAlign = static_cast<int32_t>(n);
    if (key == "riff") w.riff = word.substr(5);
  }
  const size_t width = w.blockAlign > 0 ? static_cast<size_t>(w.blockAlign / w.channels) : w.bits / 8u;
  w.data = Ramp(static_cast<size_t>(frames * w.channels) * width, static_cast<unsigned>(seed));
  for (long long i = 0; i < triangle * w.channels; ++i) {
    const long long p = i / w.channels % 100, v = 400 * (p <= 25 ? p : p <= 75 ? 50 - p : p - 100);
    w.data.push_back(static_cast<unsigned char>(v)), w.data.push_back(static_cast<unsigned char>(v >> 8));
  }
  if (list) w.after = Chunk("LIST", Ramp(static_cast<size_t>(list), 9));
  Bytes b = WaveFile(w);
  if (cut >= 0) b.resize(static_cast<size_t>(cut));
  return {b, {name, w.channels == 1 ? Widen(w.data, width) : w.data, 2 * width}};
}

// What a capture device got, told as the pieces of the transcript's files it is made of:
// "a.wav" for all of one, "a.wav[100:300]" for its frames 100 to 300.
std::string Pieces(const Bytes& got, const std::vector<Sound>& sounds) {
  std::string told;
  for (size_t at = 0, longest = 1; at < got.size(); at += longest) {
    std::string piece = " ?";
    longest = 1;
    for (const Sound& s : sounds)
      for (size_t from = 0; from < s.bytes.size(); from += s.frameBytes) {
        size_t n = 0;
        while (at + n < got.size() && from + n < s.bytes.size() && got[at + n] == s.bytes[from + n]) ++n;
        n -= n % s.frameBytes;
        if (n <= longest) continue;
        longest = n;
        piece = " " + s.name;
        if (n < s.bytes.size())
          piece += "[" + std::to_string(from / s.frameBytes) + ":" + std::to_string((from + n) / s.frameBytes) + "]";
      }
    told += piece;
  }
  return told;
}

}  // namespace

// A transcript holds sessions, each "$ ARGS" (DIR is the test directory, CAPTURE a device
// recording to DIR/out.raw) with the steps it takes: "< LINE" types a line (DIR as in ARGS), "> TEXT" waits until
// the output shows TEXT, "% wave NAME ..." and "% text NAME LINE" make a file, "% cp A B" writes A
// over B, "% mv A B" and "% rm A" rename and remove, "% signal N", "% sleep S" and "% type TEXT"
// (typed, with no line end). What the session did follows
// its steps, whole: "= STATUS", what it printed, each line of standard error as "! LINE", and
// "@ PIECES" when the capture device was opened. Steps before the first session, or after the
// output of one, prepare the next; "% env NAME=value..." sets the sessions' environment (LC_ALL=C
// at first), "# " lines are notes. With UPDATE_GOLDEN set, the file is written anew from what
// the sessions did, to be read over.
void EndToEnd::Transcript(const std::string& name) {
  const std::string path = std::string(GOLDEN_DIR) + "/" + name;
  std::ifstream file(path);
  ASSERT_TRUE(file) << path;
  Strings env{"LC_ALL=C"};  // the seam's picture in ASCII, unless said
  std::vector<Sound> sounds;
  std::unique_ptr<Process> p;
  std::string line, want, updated, args;
  const auto finish = [&] {
    if (!p) return;
    const Outcome o = p->Finish();
    std::string got = "= " + (o.signal ? "signal " + std::to_string(o.signal) : std::to_string(o.status)) + "\n" +
                      Replaced(Replaced(o.out, dir_, "DIR"), "\r", "\\r");
    std::istringstream err(Replaced(o.err, dir_, "DIR"));
    for (std::string e; std::getline(err, e);) got += "! " + e + "\n";
    const Bytes device = Read("out.raw");
    if (access(Path("out.raw").c_str(), F_OK) == 0) got += "@" + (device.empty() ? " nothing" : Pieces(device, sounds)) + "\n";
    unlink(Path("out.raw").c_str());
    EXPECT_EQ(want, got) << name << ": zuvaroza" << args;
    updated += got, want.clear(), p.reset();
  };
  while (std::getline(file, line)) {
    const std::string kind = line.substr(0, 2);
    std::istringstream words(line.substr(std::min<size_t>(2, line.size())));
    std::string word;
    const bool step = kind == "$ " || kind == "% " || kind == "# " || kind == "< " || kind == "> ";
    if (!step && p) want += line + "\n";
    if (!step) continue;
    if (kind == "$ " || kind == "# " || !want.empty()) finish();
    updated += line + "\n";
    Strings argv;
    for (args = ""; kind == "$ " && words >> word; args += " " + word)
      argv.push_back(Replaced(Replaced(word, "CAPTURE", Capture("out.raw")), "DIR", dir_));
    if (kind == "$ ") p = std::make_unique<Process>(argv, env);
    if (kind == "< " && p) p->Send(Replaced(line.substr(2), "DIR", dir_) + "\n");
    EXPECT_TRUE(kind != "> " || (p && p->WaitFor(line.substr(2)))) << name << ": no " << line;
    if (kind != "% ") continue;
    words >> word;
    if (word == "env") env.assign(std::istream_iterator<std::string>(words), {});
    for (std::string& e : env) e = Replaced(e, "DIR", dir_);
    std::string a, b;
    if (word == "wave" && words >> a) {
      const auto [bytes, sound] = WaveFromWords(a, &words);
      Write(a, bytes);
      sounds.push_back(sound);
    }
    if (word == "text" && words >> a) {  // no text: an empty file
      const size_t at = line.find(a, 7) + a.size() + 1;
      std::ofstream(Path(a)) << (at < line.size() ? line.substr(at) + "\n" : "");
    }
    if (word == "cp" && words >> a >> b) Write(b, Read(a));  // over it, as a save in place does
    EXPECT_TRUE(word != "mv" || (words >> a >> b && std::rename(Path(a).c_str(), Path(b).c_str()) == 0)) << line;
    EXPECT_TRUE(word != "rm" || (words >> a && unlink(Path(a).c_str()) == 0)) << line;
    if (word == "signal" && words >> a && p) p->Signal(std::stoi(a));
    if (word == "sleep" && words >> a) usleep(static_cast<useconds_t>(std::stod(a) * 1e6));
    if (word == "type" && p) p->Send(line.substr(7));  // no line end yet
  }
  finish();
  if (std::getenv("UPDATE_GOLDEN")) std::ofstream(path) << updated;
}
