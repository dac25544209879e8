#include "sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "process.h"

namespace {

// Reached through the client's HOME: `paced_file:'PATH'` records to PATH and plays on the server.
const char kAsoundrc[] =
    "pcm.paced_file {\n"
    "\t@args [ FILE ]\n"
    "\t@args.FILE { type string }\n"
    "\ttype file\n"
    "\tslave.pcm \"pulse\"\n"
    "\tfile $FILE\n"
    "\tformat \"raw\"\n"
    "}\n";

// Starts `argv` in the background with `env` put over the test's environment, standard input
// from /dev/null, standard output to `out` and standard error appended to `log`; -1 if it cannot.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& out, const std::string& log) {
  std::vector<std::string> args = argv, envStrings = MergedEnvironment(env);
  std::vector<char*> a, e;
  for (std::string& s : args) a.push_back(&s[0]);
  for (std::string& s : envStrings) e.push_back(&s[0]);
  a.push_back(nullptr);
  e.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  pid_t pid = -1;
  const int error = posix_spawnp(&pid, a[0], &actions, nullptr, a.data(), e.data());
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? pid : -1;
}

bool IsSocket(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool Exited(pid_t pid) {
  int status;
  return waitpid(pid, &status, WNOHANG) == pid;
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

}  // namespace

SoundServer::SoundServer(const std::string& dir) : dir_(dir) {
  if (!Start()) {
    if (listener_ > 0) kill(listener_, SIGKILL), waitpid(listener_, nullptr, 0);
    if (server_ > 0) kill(server_, SIGKILL), waitpid(server_, nullptr, 0);
    listener_ = server_ = -1;
  }
}

SoundServer::~SoundServer() {
  for (pid_t pid : {listener_, server_}) {
    if (pid <= 0) continue;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

std::string SoundServer::Recording(const std::string& path) { return "paced_file:'" + path + "'"; }

void SoundServer::Kill() {
  if (server_ <= 0) return;
  kill(server_, SIGKILL);
  waitpid(server_, nullptr, 0);
  server_ = -1;
}

std::string SoundServer::Log() const {
  std::ifstream f(dir_ + "/server.log");
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool SoundServer::Fail(const std::string& why) {
  problem_ = "could not start a private PulseAudio server in " + dir_ + ": " + why +
             "\n(scripts/setup.sh installs pulseaudio, pulseaudio-utils and libasound2-plugins)" +
             "\nits log:\n" + Log();
  return false;
}

bool SoundServer::Start() {
  const std::string run = dir_ + "/run", home = dir_ + "/home", log = dir_ + "/server.log";
  if (mkdir(dir_.c_str(), 0700) || mkdir(run.c_str(), 0700) || mkdir(home.c_str(), 0700))
    return Fail(std::string("mkdir: ") + std::strerror(errno));
  std::ofstream(home + "/.asoundrc") << kAsoundrc;
  const std::vector<std::string> own{"HOME=" + home, "XDG_RUNTIME_DIR=" + run,
                                     "PULSE_RUNTIME_PATH=" + run};
  env_ = own;
  env_.push_back("PULSE_SERVER=unix:" + run + "/native");

  server_ = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                   "-L", "module-null-sink sink_name=nul", "-L", "module-native-protocol-unix"},
                  own, log, log);
  if (server_ < 0) return Fail("pulseaudio cannot be run");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!IsSocket(run + "/native")) {
    if (Exited(server_)) {
      server_ = -1;
      return Fail("pulseaudio ended");
    }
    if (std::chrono::steady_clock::now() > deadline) return Fail("no socket after 10 s");
    Pause();
  }

  // An idle null sink renders 2 s blocks, so a new stream would start up to 2 s late. A reader on
  // its monitor with a 20 ms latency keeps the blocks short; suspending and resuming the sink then
  // restarts its clock, so even the first stream starts at once, as on a sound card.
  listener_ = Spawn({"parec", "-d", "nul.monitor", "--latency-msec=20"}, env_, "/dev/null", log);
  if (listener_ < 0) return Fail("parec cannot be run");
  for (;;) {
    Outcome o = Process("pactl", {"list", "short", "source-outputs"}, env_).Finish(5);
    if (o.status != 0) return Fail("pactl list: " + o.err);
    if (!o.out.empty()) break;
    if (Exited(listener_)) {
      listener_ = -1;
      return Fail("parec ended");
    }
    if (std::chrono::steady_clock::now() > deadline) return Fail("parec not connected after 10 s");
    Pause();
  }
  for (const char* suspend : {"1", "0"}) {
    Outcome o = Process("pactl", {"suspend-sink", "nul", suspend}, env_).Finish(5);
    if (o.status != 0) return Fail("pactl suspend-sink: " + o.err);
  }
  return true;
}
