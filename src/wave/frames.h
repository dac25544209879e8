// Positions and lengths in frames, and times in seconds: sums that saturate
// to the frame range, and the one conversion from a typed time.
#pragma once
#include <cstdint>

// Sums and differences of positions, saturated to the frame range.
int64_t AddFrames(int64_t a, int64_t b);
int64_t SubFrames(int64_t a, int64_t b);

// A length in frames as a position, saturated to the frame range.
int64_t LengthAsFrame(uint64_t length);

// The whole frames in `seconds` at `rate`: rate × seconds truncated toward zero, after a
// millionth of a frame away from zero, so that a time that is an exact frame (1.3 s at 48 kHz)
// gives that frame, whatever binary floating point makes of it. Saturated to the frame range;
// not-a-number gives 0.
int64_t FramesFromSeconds(uint64_t rate, double seconds);

// frames / rate in single precision; the caller makes sure rate is not 0.
float SecondsFromFrames(int64_t frames, uint64_t rate);
