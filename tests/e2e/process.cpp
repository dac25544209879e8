#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Process::Process(const std::vector<std::string>& args) {
  signal(SIGPIPE, SIG_IGN);  // a program that has ended must not end the test
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) std::abort();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    std::vector<char*> argv{const_cast<char*>(ZUVAROZA_BIN)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    signal(SIGPIPE, SIG_DFL);
    execv(ZUVAROZA_BIN, argv.data());
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

void Process::Signal(int sig) { kill(pid_, sig); }

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
  waitpid(pid_, &status, 0);
  pid_ = -1;
  if (WIFEXITED(status)) o.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) o.signal = WTERMSIG(status);
  o.out = out_;
  o.err = err_;
  return o;
}

Outcome RunZuvaroza(const std::vector<std::string>& args, const std::string& input, double seconds) {
  Process p(args);
  p.Send(input);
  return p.Finish(seconds);
}
