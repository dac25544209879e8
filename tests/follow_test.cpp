// The watch on the file's directory: saves of the file's own name count, others do not, however
// many events one read brings.
#include "harness.h"
#include "player/follow.h"

namespace {

using Follow = EndToEnd;  // for its temporary directory

TEST_F(Follow, OnlySavesOfTheFilesOwnNameCount) {
  Watch watch;
  std::string why;
  ASSERT_TRUE(StartWatch(Path("a.wav"), &watch, &why)) << why;
  const struct {
    Strings written;  // in this order, before the events are read
    bool saved;
  } kRows[] = {
      {{}, false}, {{"b.wav"}, false}, {{"a.wa", "a.wav.tmp", "xa.wav"}, false},
      {{"a.wav"}, true}, {{"b.wav", "a.wav"}, true}, {{"a.wav", "b.wav"}, true},
  };
  for (const auto& r : kRows) {
    for (const std::string& name : r.written) Write(name, Text("x"));
    EXPECT_EQ(TakeSaves(&watch), r.saved) << r.written.size() << " files";
  }
}

}  // namespace
