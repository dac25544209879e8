// Ctrl-C during a pass on a sound server: the menu is back at once, even while the device is full.
#include <signal.h>
#include <unistd.h>

#include "paced_fixture.h"

namespace {

const char kMenuEnd[] = "'+' to show additional commands\n";

class PacedInterrupt : public Paced {
 protected:
  void SetUp() override {
    Paced::SetUp();
    // 4000 Hz: a period lasts a second, so a write that waits for room waits long
    file_ = WriteWave("a.wav", 4000, 1, 1.0, &data_);
  }
  std::string file_;
  Bytes data_;
};

TEST_F(PacedInterrupt, MenuIsBackAtOnceAndTheSessionGoesOn) {
  auto p = Start({Recording("out.raw"), file_});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  p->Send("l 1000 p\n");
  for (useconds_t delay : {200000, 500000, 900000}) {
    ASSERT_TRUE(p->WaitFor("Playing..."));
    usleep(delay);
    const double sent = p->Signal(SIGINT);
    ASSERT_TRUE(p->WaitFor(kMenuEnd, 5));
    EXPECT_LE(p->ShownAt(p->Mark() - 1) - sent, 0.15) << delay / 1000 << " ms into the pass";
    p->Send(delay < 900000 ? "p\n" : "l 1 p\n");
  }
  ASSERT_TRUE(p->WaitFor("Playing..."));
  ASSERT_TRUE(p->WaitFor(kMenuEnd, 10));
  p->Send("x\n");
  const Outcome o = p->Finish();
  EXPECT_EQ(o.status, 0) << o.err;
  // the last pass was played whole, after whatever the interrupted ones had sent
  const Bytes out = Read("out.raw"), want = Widen(data_, 2);
  ASSERT_GE(out.size(), want.size());
  EXPECT_TRUE(Slice(out, out.size() - want.size(), out.size()) == want);
}

TEST_F(PacedInterrupt, SecondCtrlCEndsTheProgram) {
  auto p = Start({"pulse", file_});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  p->Send("l 1000 p\n");
  ASSERT_TRUE(p->WaitFor("Playing..."));
  usleep(200000);
  p->Signal(SIGINT);
  usleep(20000);  // two at once would count as one
  p->Signal(SIGINT);
  const Outcome o = p->Finish(3);
  EXPECT_EQ(o.signal, SIGINT);
  EXPECT_FALSE(o.timedOut);
}

}  // namespace
