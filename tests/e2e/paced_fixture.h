// Tests that play through a private sound server, in real time, each with a server of its own.
#pragma once
#include <memory>
#include <string>

#include "fixture.h"
#include "sound_server.h"

class Paced : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    server_ = std::make_unique<SoundServer>(Path("pulse"));
    // a missing server fails the test: skipping would hide every real-time fault
    ASSERT_TRUE(server_->Problem().empty()) << server_->Problem();
  }
  void TearDown() override {
    server_.reset();
    EndToEnd::TearDown();
  }

  // `seconds` of 16-bit audio at `rate`; its samples in `data` when asked.
  std::string WriteWave(const std::string& name, uint32_t rate, uint16_t channels, double seconds,
                        Bytes* data = nullptr) const {
    WaveLayout w;
    w.rate = rate;
    w.channels = channels;
    w.data = Ramp(static_cast<size_t>(seconds * rate) * channels * 2);
    if (data) *data = w.data;
    return Write(name, WaveFile(w));
  }

  // zuvaroza through the server with standard input open for typing.
  std::unique_ptr<Process> Start(const std::vector<std::string>& args) const {
    return std::make_unique<Process>(args, server_->Env());
  }

  Outcome Run(const std::vector<std::string>& args) const {
    return RunZuvaroza(args, "", 20, server_->Env());
  }

  std::string Recording(const std::string& name) const { return SoundServer::Recording(Path(name)); }

  std::unique_ptr<SoundServer> server_;
};
