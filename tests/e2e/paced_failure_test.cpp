// A sound server that falls behind or goes away mid-pass.
#include <signal.h>
#include <unistd.h>

#include <algorithm>

#include "paced_fixture.h"

namespace {

TEST_F(Paced, AnUnderrunIsRecoveredAndThePassPlaysOn) {
  Bytes data;
  const std::string file = WriteWave("a.wav", 44100, 2, 1.5, &data);
  Process p({Recording("out.raw"), file, "0", "0", "px"}, server_->Env());
  ASSERT_TRUE(p.WaitFor("Playing..."));
  usleep(400000);
  p.Signal(SIGSTOP);  // the device runs dry meanwhile
  usleep(1000000);
  p.Signal(SIGCONT);
  const Outcome o = p.Finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_TRUE(Read("out.raw") == data);
}

// Mid-pass, and after the last write while the tail still plays: never a normal end.
TEST_F(Paced, ALostServerEndsTheRunWithOneLine) {
  for (double seconds : {3.0, 0.3}) {
    if (seconds < 1) {
      server_ = std::make_unique<SoundServer>(Path("pulse2"));
      ASSERT_TRUE(server_->Problem().empty()) << server_->Problem();
    }
    const std::string file = WriteWave("a.wav", 44100, 2, seconds);
    Process p({"pulse", file, "0", "0", "px"}, server_->Env());
    ASSERT_TRUE(p.WaitFor("Playing..."));
    usleep(static_cast<useconds_t>(seconds * 1e6 / 6));
    server_->Kill();
    const double killed = p.Elapsed();
    const Outcome o = p.Finish(5);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.rfind("Unable to write to pcm device: ", 0), 0u) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_EQ(o.err.back(), '\n');
    EXPECT_LE(o.seconds - killed, 1.0);
    EXPECT_LE(o.cpuSeconds, 0.5);  // waiting on a dead server must not spin
  }
}

}  // namespace
