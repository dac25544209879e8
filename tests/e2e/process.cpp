#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

extern char** environ;

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

}  // namespace

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& changes) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    if (std::none_of(changes.begin(), changes.end(),
                     [&](const std::string& c) { return c.compare(0, name.size(), name) == 0; }))
      env.push_back(entry);
  }
  env.insert(env.end(), changes.begin(), changes.end());
  return env;
}

Process::Process(const std::vector<std::string>& args, const std::vector<std::string>& env)
    : Process(ZUVAROZA_BIN, args, env) {}

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& env)
    : start_(Now()) {
  signal(SIGPIPE, SIG_IGN);  // a program that has ended must not end the test
  // built before the fork: the child only calls what is safe there
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<std::string> envStrings = MergedEnvironment(env);
  std::vector<char*> argv = Pointers(argStrings), envp = Pointers(envStrings);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) std::abort();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    signal(SIGPIPE, SIG_DFL);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  in_ = in[1];
  outFd_ = out[0];
  errFd_ = err[0];
}

Process::~Process() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, outFd_, errFd_})
    if (fd >= 0) close(fd);
}

void Process::Send(const std::string& text) {
  if (in_ >= 0 && write(in_, text.data(), text.size()) < 0) {
  }
}

void Process::CloseInput() {
  if (in_ >= 0) close(in_);
  in_ = -1;
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
    if (n > 0) {
      text[i]->append(buf, static_cast<size_t>(n));
      if (i == 0) arrivals_.emplace_back(out_.size(), Now() - start_);
    } else {
      close(*fd[i]);
      *fd[i] = -1;
    }
  }
  return true;
}

bool Process::WaitFor(const std::string& text, double seconds) {
  const double end = Now() + seconds;
  for (;;) {
    const size_t at = out_.find(text, mark_);
    if (at != std::string::npos) {
      mark_ = at + text.size();
      return true;
    }
    if (Now() > end || !Pump(20)) return false;
  }
}

double Process::Signal(int sig) {
  const double at = Elapsed();
  kill(pid_, sig);
  return at;
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
  return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

Outcome Process::Finish(double seconds) {
  CloseInput();
  Outcome o;
  double end = Now() + seconds;
  while (Pump(20)) {
    if (Now() > end) {
      o.timedOut = true;
      kill(pid_, SIGKILL);
      end = Now() + 5;
    }
  }
  int status = 0;
  rusage usage{};
  wait4(pid_, &status, 0, &usage);
  o.seconds = Elapsed();
  o.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  pid_ = -1;
  if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
  o.out = out_;
  o.err = err_;
  return o;
}

Outcome RunZuvaroza(const std::vector<std::string>& args, const std::string& input, double seconds,
                    const std::vector<std::string>& env) {
  Process p(args, env);
  p.Send(input);
  return p.Finish(seconds);
}
