// Follow mode and files changed under a pass, on a device that plays in real time.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "paced_fixture.h"

namespace {

const char kMenuEnd[] = "'+' to show additional commands\n";

class PacedFollow : public Paced {
 protected:
  void SetUp() override {
    Paced::SetUp();
    first_ = Layout(8000, 16, 1);
    file_ = Write("a.wav", WaveFile(first_));
  }
  // 1 s of stereo at `rate` and `bits`, with samples of its own.
  static WaveLayout Layout(uint32_t rate, uint16_t bits, unsigned seed) {
    WaveLayout w;
    w.rate = rate;
    w.bits = bits;
    w.data = Ramp(rate * 2 * (bits / 8), seed);
    return w;
  }
  // Saves `w` over the file, in place or by rename; returns when, as the program's clock goes.
  double Save(Process* p, const WaveLayout& w, bool byRename) {
    const Bytes b = WaveFile(w);
    const std::string to = byRename ? Path("new.tmp") : file_;
    const int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(write(fd, b.data(), b.size()), static_cast<ssize_t>(b.size()));
    if (!byRename) {
      const double at = p->Elapsed();
      close(fd);
      return at;
    }
    close(fd);
    const double at = p->Elapsed();
    EXPECT_EQ(std::rename(to.c_str(), file_.c_str()), 0);
    return at;
  }
  WaveLayout first_;
  std::string file_;
};

TEST_F(PacedFollow, ASaveRestartsALongLoopAtOnce) {
  auto p = Start({"--follow", "pulse", file_});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  p->Send("l 1000 p\n");
  ASSERT_TRUE(p->WaitFor("Playing..."));
  for (bool byRename : {false, true, false}) {
    usleep(300000);
    const double saved = Save(p.get(), Layout(8000, 16, byRename ? 2 : 3), byRename);
    ASSERT_TRUE(p->WaitFor("Playing...\nstart = 0.00 sec\nstop  = 1.00 sec\n\nLoops remaining: 999\n", 5));
    EXPECT_LE(p->ShownAt(p->Mark() - 1) - saved, 0.1) << (byRename ? "by rename" : "in place");
  }
  p->Signal(SIGINT);
  ASSERT_TRUE(p->WaitFor(kMenuEnd, 5));
  p->Send("x\n");
  const Outcome o = p->Finish();
  EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(PacedFollow, ASaveAtAnotherRateEndsTheRun) {
  auto p = Start({"-f", "pulse", file_, "0", "0", "p", "1000"});
  ASSERT_TRUE(p->WaitFor("Playing..."));
  usleep(200000);
  Save(p.get(), Layout(16000, 16, 2), true);
  const Outcome o = p->Finish(5);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("\nWARNING: Wavefile samplerate has changed!  Restart the program.\n"),
            std::string::npos) << o.out;
}

TEST_F(PacedFollow, AFileRewrittenUnderAPassIsNeverPlayedThroughItsOldLayout) {
  // follow off: a new depth ends the run; a chunk put before the audio is skipped. The pass
  // lasts 11 periods, of which the device holds 4: the change is met by the rest.
  first_ = Layout(44100, 16, 1);
  Write("a.wav", WaveFile(first_));
  auto p = Start({Recording("out.raw"), file_, "0", "0", "px"});
  ASSERT_TRUE(p->WaitFor("clock = 0.00"));
  Save(p.get(), Layout(44100, 24, 1), false);
  Outcome o = p->Finish(5);
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.out.find("\nWARNING: Wavefile bit depth has changed!  Restart the program.\n"),
            std::string::npos) << o.out;

  WaveLayout listed = first_;
  listed.before = Chunk("LIST", Bytes(30, 'L'));
  Write("a.wav", WaveFile(first_));
  p = Start({Recording("out.raw"), file_, "0", "0", "px"});
  ASSERT_TRUE(p->WaitFor("clock = 0.00"));
  Save(p.get(), listed, false);
  o = p->Finish(5);
  EXPECT_EQ(o.status, 0) << o.out << o.err;
  EXPECT_TRUE(Read("out.raw") == first_.data);  // the same frames, found where they are now
}

}  // namespace
