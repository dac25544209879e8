// Where a signal crosses zero going up: the points a loop can join without a step.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "wave/sample_decode.h"

// The frame nearest `point`, at most `reach` frames either way, where the sum
// of the channels of `frames` crosses zero going up: s[i-1] < 0 <= s[i], by a
// step that the seam measure (MeasureStep, over the steps around it in
// `frames`) does not call a click. A jump through zero is no crossing.
// `frames` begins at frame `first` of the file. A frame counts only with the
// frame before it in `frames`, so frame 0 of the file never does, nor does the
// position just past the last frame (a stop at the file's length). Of two
// crossings equally near, the earlier wins. Silence has none; nullopt when
// none lies in reach. A negative reach looks at `point` alone.
std::optional<int64_t> NearestUpwardCrossing(const ChannelSamples& frames, int64_t first,
                                             int64_t point, int64_t reach);

// Frames [first, first + count) of a file, decoded; fewer at its end.
using FrameReader = std::function<ChannelSamples(int64_t first, int64_t count)>;

// As NearestUpwardCrossing, in a file of `length` frames read through `read` a
// window at a time on each side, nearest first, each with the steps around it:
// a large reach never holds much of the file in memory.
std::optional<int64_t> FindUpwardCrossing(int64_t point, int64_t reach, int64_t length, const FrameReader& read);
