// A temporary directory per test, wave files in it, and the bytes a file device received.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "../wave_bytes.h"
#include "process.h"

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zuvaroza-e2e-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf --one-file-system '" + dir_ + "'").c_str()); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string Write(const std::string& name, const Bytes& bytes) const {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

  Bytes Read(const std::string& name) const {
    std::ifstream f(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }

  // An ALSA device that writes every byte it is sent into `name`.
  std::string Capture(const std::string& name) const { return "file:'" + Path(name) + "',raw"; }

  // Runs a shell command (sox, aplay) in the test directory.
  void Shell(const std::string& command) const {
    ASSERT_EQ(std::system(("cd '" + dir_ + "' && " + command).c_str()), 0) << command;
  }

  std::string dir_;
};

// `mono` with every sample doubled into two channels.
inline Bytes Widen(const Bytes& mono, size_t sampleBytes) {
  Bytes out;
  for (size_t i = 0; i + sampleBytes <= mono.size(); i += sampleBytes)
    for (int c = 0; c < 2; ++c) out.insert(out.end(), &mono[i], &mono[i] + sampleBytes);
  return out;
}

inline Bytes Repeat(const Bytes& b, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), b.begin(), b.end());
  return out;
}

inline Bytes Slice(const Bytes& b, size_t from, size_t to) {
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
}

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
