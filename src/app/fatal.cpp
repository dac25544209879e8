#include "app/fatal.h"

#include <cstdlib>

void Fatal(int status, std::FILE* stream, const std::string& line) {
  std::fflush(stdout);  // what the console already shows comes before the line
  std::fprintf(stream, "%s\n", line.c_str());
  std::exit(status);
}
