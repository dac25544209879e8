#pragma once

// Interleaves `frames` samples of `bytesPerSample` bytes from `left` and
// `right` into stereo frames in `out`. Widths 1, 2, 3, 4 and 8 are copied;
// any other width leaves `out` untouched.
void Interleave(int frames, int bytesPerSample, const signed char* left,
                const signed char* right, signed char* out);
