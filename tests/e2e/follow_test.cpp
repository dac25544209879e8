// Follow mode on the file: capture device: every save of the file plays the selection.
#include <unistd.h>

#include <cstdio>

#include "../harness.h"

namespace {

class Follow : public EndToEnd {
 protected:
  void SetUp() override {
    EndToEnd::SetUp();
    for (unsigned seed : {1u, 2u, 3u}) takes_.push_back(Layout(8000, 2, 16, 800, seed));
    file_ = Write("a.wav", WaveFile(takes_[0]));
  }
  // Saves take `n` over the file in place, or by renaming a new file onto it.
  void Save(int n, bool byRename = false) {
    if (!byRename) {
      Write("a.wav", WaveFile(takes_[n]));
      return;
    }
    Write("new.tmp", WaveFile(takes_[n]));
    ASSERT_EQ(std::rename(Path("new.tmp").c_str(), file_.c_str()), 0);
  }
  // A save played: its pass ran and the menu is back.
  void ExpectPass(Process* p) {
    EXPECT_TRUE(p->WaitFor("Playing...", 5));
    EXPECT_TRUE(p->WaitFor(kMenuEnd, 5));
  }
  Bytes Data(int n) const { return takes_[n].data; }
  std::vector<WaveLayout> takes_;
  std::string file_;
};

TEST_F(Follow, EachSaveInTheMenuPlaysTheSelection) {
  Process p({"-f", Capture("out.raw"), file_});
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  Save(1);
  ExpectPass(&p);
  Save(2, true);
  ExpectPass(&p);
  Save(1);  // saves together count once
  Save(1);
  ExpectPass(&p);
  Write("other.wav", WaveFile(takes_[2]));  // another file in the directory
  EXPECT_FALSE(p.WaitFor("Playing...", 0.3));
  ASSERT_EQ(unlink(file_.c_str()), 0);  // nothing plays until it is there again
  EXPECT_FALSE(p.WaitFor("Playing...", 0.3));
  Save(2);
  ExpectPass(&p);
  p.Send("x\n");
  Outcome o = p.Finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == Data(1) + Data(2) + Data(1) + Data(2));
}

TEST_F(Follow, ASaveAtAPromptPlaysOnceItIsAnswered) {
  Process p({Capture("out.raw"), file_});
  ASSERT_TRUE(p.WaitFor(kMenuEnd));
  p.Send("+ f\n");
  ASSERT_TRUE(p.WaitFor("\t'f' to toggle follow mode (off)\n"));
  ASSERT_TRUE(p.WaitFor("Follow mode is on: a save of the file plays the selection.\n"));
  p.Send("l\n");
  ASSERT_TRUE(p.WaitFor("Enter number of loops.\n"));
  Save(1);
  EXPECT_FALSE(p.WaitFor("Playing...", 0.3));
  p.Send("2\n");
  ExpectPass(&p);
  p.Send("f +\n");
  ASSERT_TRUE(p.WaitFor("Follow mode is off.\n"));
  ASSERT_TRUE(p.WaitFor("\t'f' to toggle follow mode (off)\n"));
  Save(2);  // follow off: nothing until "p"
  EXPECT_FALSE(p.WaitFor("Playing...", 0.3));
  p.Send("p x\n");
  Outcome o = p.Finish();
  EXPECT_EQ(o.status, 0);
  EXPECT_TRUE(Read("out.raw") == Repeat(Data(1), 2) + Repeat(Data(2), 2));
}

}  // namespace
