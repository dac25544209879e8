// Through a private sound server, in real time: a pass lasts as long as its sound, a stop is
// at once, an underrun is recovered, a lost server is reported, and saves restart a pass.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "../harness.h"

namespace {

class Paced : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    StartServer();
  }
  std::string Wave(const WaveLayout& w) { return Write("a.wav", WaveFile(w)); }
  std::unique_ptr<Process> Start(const std::vector<std::string>& args) {
    return std::make_unique<Process>(args, serverEnv_);
  }
  // Saves `w` over the file, in place or by renaming a new file onto it; returns when.
  double Save(Process* p, const WaveLayout& w, bool byRename) {
    Write(byRename ? "new.tmp" : "a.wav", WaveFile(w));
    EXPECT_TRUE(!byRename || std::rename(Path("new.tmp").c_str(), Path("a.wav").c_str()) == 0);
    return p->Elapsed();
  }
};

TEST_F(Paced, APassLastsAsLongAsItsSound) {
  const WaveLayout w = Layout(44100, 2, 16, 88200);
  const std::string file = Wave(w);
  const Outcome aplay = Process("aplay", {"-q", "-D", Recording("aplay.raw"), file}, serverEnv_).Finish();
  ASSERT_EQ(aplay.status, 0) << aplay.err;
  Outcome o = Run({Recording("out.raw"), file, "0", "0", "px"}, "", serverEnv_);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(Read("out.raw") == w.data);
  EXPECT_GE(o.seconds, 2.0);  // sooner, and the end of the sound was cut off
  EXPECT_LE(o.seconds, aplay.seconds + 0.25) << "aplay took " << aplay.seconds;
  EXPECT_LE(o.cpuSeconds, 0.25);  // it waits for the device, never spins

  // the menu is back only when the sound has been heard
  Wave(Layout(44100, 2, 16, 44100));
  auto p = Start({"pulse", file});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  const double asked = p->Elapsed();
  p->Send("p\n");
  ASSERT_TRUE(p->WaitFor("Playing...") && p->WaitFor(kMenuEnd, 5));
  EXPECT_GE(p->ShownAt(p->Mark() - 1) - asked, 1.0);
  EXPECT_LE(p->ShownAt(p->Mark() - 1) - asked, 1.4);
  p->Send("x\n");
  EXPECT_EQ(p->Finish().status, 0);
}

TEST_F(Paced, ClockLinesArriveWhileThePassPlays) {
  // 16000 Hz: a period lasts 256 ms, so a line held back for one shows
  Process p({"pulse", Wave(Layout(16000, 2, 16, 32000)), "0", "0", "px"}, serverEnv_);
  const Outcome o = p.Finish();
  ASSERT_EQ(o.status, 0) << o.err;
  std::vector<double> shown;
  for (size_t at = o.out.find("\rclock = "); at != std::string::npos; at = o.out.find("\rclock = ", at + 1))
    shown.push_back(p.ShownAt(at));
  ASSERT_GE(shown.size(), 6u) << o.out;
  EXPECT_LE(shown.front(), 0.2);                 // from the first sound on
  EXPECT_GE(shown.back() - shown.front(), 0.5);  // spread over the pass, not a burst
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_LE(shown[i] - shown[i - 1], 0.35);
}

TEST_F(Paced, SixtyFourBitFloatPlaysAs32BitWhereTheDeviceLacksIt) {
  const struct {
    double in;
    float out;
  } kSamples[] = {{0.5, 0.5f}, {-0.25, -0.25f}, {0.1, 0.1f}, {1e300, FLT_MAX}, {-1e300, -FLT_MAX}};
  WaveLayout w = Layout(8000, 1, 64, 0);
  w.format = 3;
  Bytes want;
  for (int i = 0; i < 2000; ++i) {
    uint64_t in;
    uint32_t out;
    std::memcpy(&in, &kSamples[i % 5].in, 8);
    std::memcpy(&out, &kSamples[i % 5].out, 4);
    w.data = w.data + Le(in, 8);
    want = want + Le(uint64_t{out} << 32 | out, 8);  // mono into both channels
  }
  const Outcome o = Run({Recording("out.raw"), Wave(w), "0", "0", "px"}, "", serverEnv_);
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out.rfind("The device does not take 64-bit float samples: playing them as 32-bit float.\n"
                        "Playing...", 0), 0u) << o.out;
  EXPECT_TRUE(Read("out.raw") == want);
}

TEST_F(Paced, CtrlCBringsTheMenuBackAtOnce) {
  // 4000 Hz: a period lasts a second, so a write that waits for room waits long
  const WaveLayout w = Layout(4000, 1, 16, 4000);
  auto p = Start({Recording("out.raw"), Wave(w)});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  p->Send("l 1000 p\n");
  // in a loop, while a write waits for room; and in a single pass's tail, all of it written
  for (useconds_t delay : {200000, 500000, 300000}) {
    ASSERT_TRUE(p->WaitFor("Playing..."));
    usleep(delay);
    const double sent = p->Signal(SIGINT);
    ASSERT_TRUE(p->WaitFor(kMenuEnd, 5));
    EXPECT_LE(p->ShownAt(p->Mark() - 1) - sent, 0.15) << delay / 1000 << " ms into the pass";
    p->Send(delay == 500000 ? "l 1 p\n" : "p\n");
  }
  ASSERT_TRUE(p->WaitFor("Playing...") && p->WaitFor(kMenuEnd, 10));
  p->Send("x\n");
  EXPECT_EQ(p->Finish().status, 0);
  // the last pass was played whole, after whatever the interrupted ones had sent
  const Bytes out = Read("out.raw"), want = Widen(w.data, 2);
  ASSERT_GE(out.size(), want.size());
  EXPECT_TRUE(Slice(out, out.size() - want.size(), out.size()) == want);

  p = Start({"pulse", Path("a.wav"), "0", "0", "p", "1000"});  // a second Ctrl-C ends the program
  ASSERT_TRUE(p->WaitFor("Playing..."));
  usleep(200000);
  p->Signal(SIGINT);
  usleep(20000);  // two at once would count as one
  p->Signal(SIGINT);
  const Outcome o = p->Finish(3);
  EXPECT_EQ(o.signal, SIGINT);
  EXPECT_FALSE(o.timedOut);
}

TEST_F(Paced, AnUnderrunIsRecoveredAndThePassPlaysOn) {
  const WaveLayout w = Layout(44100, 2, 16, 66150);
  Process p({Recording("out.raw"), Wave(w), "0", "0", "px"}, serverEnv_);
  ASSERT_TRUE(p.WaitFor("Playing..."));
  usleep(400000);
  p.Signal(SIGSTOP);  // the device runs dry meanwhile
  usleep(1000000);
  p.Signal(SIGCONT);
  const Outcome o = p.Finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  EXPECT_TRUE(Read("out.raw") == w.data);
}

// Mid-pass, and after the last write while the tail still plays: never a normal end.
TEST_F(Paced, ALostServerEndsTheRunWithOneLine) {
  for (size_t frames : {132300, 13230}) {
    if (frames < 44100) StartServer();
    Process p({"pulse", Wave(Layout(44100, 2, 16, frames)), "0", "0", "px"}, serverEnv_);
    ASSERT_TRUE(p.WaitFor("Playing..."));
    usleep(static_cast<useconds_t>(frames * 1000000 / 44100 / 6));
    KillServer();
    const double killed = p.Elapsed();
    const Outcome o = p.Finish(5);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.rfind("Unable to write to pcm device: ", 0), 0u) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
    EXPECT_LE(o.seconds - killed, 1.0);
    EXPECT_LE(o.cpuSeconds, 0.5);  // waiting on a dead server must not spin
  }
}

TEST_F(Paced, ASaveRestartsALongLoopAtOnce) {
  auto p = Start({"--follow", "pulse", Wave(Layout(8000, 2, 16, 8000))});
  ASSERT_TRUE(p->WaitFor(kMenuEnd));
  p->Send("l 1000 p\n");
  ASSERT_TRUE(p->WaitFor("Playing..."));
  const std::string restarted = "Playing...\nstart = 0.00 sec\nstop  = 1.00 sec\n";
  for (bool byRename : {false, true, false}) {
    usleep(300000);
    const double saved = Save(p.get(), Layout(8000, 2, 16, 8000, byRename ? 2 : 3), byRename);
    ASSERT_TRUE(p->WaitFor(restarted + "\nLoops remaining: 999\n", 5));
    EXPECT_LE(p->ShownAt(p->Mark() - 1) - saved, 0.1) << (byRename ? "by rename" : "in place");
    // on a line of its own, under a clock line or after an empty one
    const std::string before = p->Out().substr(0, p->Out().rfind("Playing...", p->Mark()));
    EXPECT_TRUE(before.size() > 4 && (before.substr(before.size() - 4) == "sec\n" || before.substr(before.size() - 2) == "\n\n"));
    // the old sound was dropped: the new one is taken at once
    ASSERT_TRUE(p->WaitFor("\rclock = 0.00 sec", 5));
    EXPECT_LE(p->ShownAt(p->Mark() - 1) - saved, 0.2) << (byRename ? "by rename" : "in place");
  }
  {  // a rewrite caught half way waits for its save, and then restarts the pass
    const Bytes next = WaveFile(Layout(8000, 2, 16, 8000, 4));
    std::ofstream f(Path("a.wav"), std::ios::binary);
    f.write(reinterpret_cast<const char*>(next.data()), 20).flush();
    usleep(1200000);  // two periods: the pass meets the header cut short
    f.write(reinterpret_cast<const char*>(next.data()) + 20, static_cast<std::streamsize>(next.size() - 20));
  }
  ASSERT_TRUE(p->WaitFor(restarted, 5));
  Write("a.wav", Text("RIFF"));  // a save of a file not whole yet is waited out, to the next
  usleep(300000);
  Save(p.get(), Layout(8000, 2, 16, 8000, 5), true);
  ASSERT_TRUE(p->WaitFor(restarted, 5));
  p->Signal(SIGINT);
  ASSERT_TRUE(p->WaitFor(kMenuEnd, 5));
  p->Send("x\n");
  const Outcome o = p->Finish();
  EXPECT_EQ(o.status, 0) << o.err;

  p = Start({"-f", "pulse", Path("a.wav"), "0", "0", "p", "1000"});  // a save at another rate
  ASSERT_TRUE(p->WaitFor("Playing..."));
  usleep(200000);
  Save(p.get(), Layout(16000, 2, 16, 8000, 2), true);
  const Outcome end = p->Finish(5);
  EXPECT_EQ(end.status, 1);
  EXPECT_NE(end.out.find("\nWARNING: Wavefile samplerate has changed!  Restart the program.\n"),
            std::string::npos) << end.out;
}

TEST_F(Paced, AFileRewrittenUnderAPassIsNeverPlayedThroughItsOldLayout) {
  // follow off: a new depth ends the run, even in a file of the same size; a chunk put before
  // the audio is skipped. The pass lasts 11 periods, of which the device holds 4: the change is
  // met by the rest.
  const WaveLayout first = Layout(44100, 2, 16, 44100);
  WaveLayout listed = first;
  listed.before = Chunk("LIST", Bytes(30, 'L'));
  for (const WaveLayout& now : {Layout(44100, 1, 32, 44100), listed}) {
    auto p = Start({Recording("out.raw"), Wave(first), "0", "0", "px"});
    ASSERT_TRUE(p->WaitFor("clock = 0.00"));
    Save(p.get(), now, false);
    const Outcome o = p->Finish(5);
    if (now.bits == 32) {
      EXPECT_EQ(o.status, 1);
      EXPECT_NE(o.out.find("\nWARNING: Wavefile bit depth has changed!  Restart the program.\n"),
                std::string::npos) << o.out;
    } else {
      EXPECT_EQ(o.status, 0) << o.out << o.err;
      EXPECT_TRUE(Read("out.raw") == first.data);  // the same frames, found where they are now
    }
  }
}

}  // namespace
