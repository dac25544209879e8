// The one way the program ends early: a line on standard output or standard
// error, then the exit status.
#pragma once
#include <cstdio>
#include <string>

[[noreturn]] void Fatal(int status, std::FILE* stream, const std::string& line);
