// The run's pure rules: what a look at a file in flux decides, against the watch and a clock;
// an audition loop's level and status line.
#include <gtest/gtest.h>

#include "player/audition.h"
#include "player/source.h"
#include "wave/sample_decode.h"

namespace {

// At 1000 ms; the file last changed at `changed`. A whole header on a file being written is
// taken 200 ms after its last change; anything else in flux waits for an event.
TEST(Judge, NothingIsDecidedOnAFileInFlux) {
  using F = Found;
  using V = Verdict;
  const struct { Found found; bool writing, writer, started; int64_t changed; Verdict want; Deadline again; } kRows[] = {
      {F::Whole, true, false, true, 900, V::Wait, 1100},      {F::Whole, true, false, true, 800, V::Take, kNever},
      {F::Whole, false, true, true, 990, V::Take, kNever},
      {F::NotWhole, true, false, true, 0, V::Wait, kNever},   {F::NotWhole, false, true, false, 0, V::Wait, kNever},
      {F::NotWhole, false, false, true, 0, V::Take, kNever},  {F::Empty, false, false, true, 0, V::Wait, kNever},
      {F::Empty, false, false, false, 0, V::Refuse, kNever},  {F::Empty, false, true, false, 0, V::Wait, kNever},
      {F::NoData, false, false, true, 0, V::Refuse, kNever},  {F::NoData, true, false, false, 0, V::Wait, kNever},
      {F::Missing, true, false, true, 950, V::Wait, 1150},    {F::Missing, true, false, true, 700, V::Refuse, kNever},
  };
  for (const auto& r : kRows) {
    Deadline again = 0;
    EXPECT_EQ(Judge(r.found, r.writing, r.changed, r.writer, r.started, 1000, &again), r.want) << &r - kRows;
    EXPECT_EQ(again, r.again) << &r - kRows;
  }
}

// Full scale is the largest value an encoding holds, either way; a float past it is clamped.
TEST(Level, PeakAndSamplesAtFullScale) {
  const short s16[] = {32767, -32768, -32767, 32766, 0};
  const float f32[] = {1.0f, -1.5f, 0.5f};
  const unsigned char alaw[] = {0xAA, 0x2A, 0xD5};
  const struct { SampleEncoding encoding; const void* bytes; size_t count; float peak; uint64_t full; } kRows[] = {
      {SampleEncoding::S16, s16, 5, 1.0f, 3}, {SampleEncoding::S16, s16 + 3, 2, 32766.0f / 32768, 0},
      {SampleEncoding::Float32, f32, 3, 1.0f, 2}, {SampleEncoding::ALaw, alaw, 3, 32256.0f / 32768, 2},
  };
  for (const auto& r : kRows) {
    Level level;
    MeasureLevel(r.encoding, static_cast<const unsigned char*>(r.bytes), r.count, &level);
    EXPECT_EQ(std::pair(level.peak, level.fullScale), std::pair(r.peak, r.full)) << &r - kRows;
  }
}

// tests/e2e/audition.test has the whole line.
TEST(Audition, StatusLineOfSilence) {
  EXPECT_EQ(StatusLine(1, 0, 100, 100, {}, false).find("peak -inf dBFS"), 27u);
}

// A render is kept from its loop's start, for one selection, up to 64 MiB; the other holds what it kept.
TEST(Audition, RendersKeptForAB) {
  Renders kept;
  const unsigned char frames[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  // not from the loop's start: nothing; then from it, and two frames past the selection are dropped
  KeepFrames(&kept, {10, 14}, {}, 11, frames, 2, 4);
  KeepFrames(&kept, {10, 14}, {}, 10, frames, 2, 4);
  KeepFrames(&kept, {10, 14}, {}, 12, frames + 8, 4, 4);
  NewRender(&kept, {});
  EXPECT_TRUE(OtherHolds(kept, 10, 14));
  EXPECT_FALSE(OtherHolds(kept, 9, 14));
  EXPECT_FALSE(OtherHolds(kept, 10, 15));
  EXPECT_EQ(OtherFrames(kept, 13, 4)[0], 13);
  // too long to keep
  KeepFrames(&kept, {0, int64_t{1} << 40}, {}, 0, frames, 1, 4);
  EXPECT_TRUE(kept.render[kept.current].frames.empty());
}

}  // namespace
