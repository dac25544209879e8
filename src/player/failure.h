// How a run ends when it cannot go on: the exit status and the one line that
// says why, which only main prints.
#pragma once
#include <string>
#include <utility>

struct Failure {
  Failure(int s = 1, std::string l = "", bool e = false) : status(s), line(std::move(l)), toStderr(e) {}
  int status;
  std::string line;  // empty when what happened was said already
  bool toStderr;     // the sound library's errors; the file's go to standard output
};
