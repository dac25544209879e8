// The text of the `v` command: the waveform around the loop's seam, as the
// loop plays it, and a verdict per channel.
#pragma once
#include <string>

#include "wave/sample_decode.h"

// Frames drawn on each side of the seam.
constexpr int kSeamSpan = 256;

// The whole text `v` prints: one strip per channel ("mono", or "left" and
// "right") of 4 rows by 64 columns with the seam marked between the two
// halves, then one line per channel with the seam step, the typical step and
// the verdict. `before` holds each channel's frames up to the stop, `after`
// each channel's frames from the start; the last kSeamSpan of one and the
// first kSeamSpan of the other are drawn (frames missing from a side are left
// blank). Braille dots when `utf8`, else plain ASCII. The strips share one
// height: the largest magnitude drawn, but no less than 0.05 so that hiss is
// not drawn as a wave.
std::string SeamViewText(const ChannelSamples& before, const ChannelSamples& after, bool utf8);

// The verdict lines alone, one per channel, as SeamViewText ends.
std::string SeamVerdictText(const ChannelSamples& before, const ChannelSamples& after);
