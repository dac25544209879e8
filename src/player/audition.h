// Audition mode's own parts: the renders kept for comparing one with the
// other (A/B), and the status line each loop ends with.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/selection.h"
#include "player/source.h"
#include "wave/sample_decode.h"

// A render's frames of a selection, as the file held them.
struct Render {
  std::vector<unsigned char> frames;
  Selection kept;       // from kept.start, `filled` frames so far
  int64_t filled = 0;
  FileMark mark;        // the file they came from
};

// The render playing now and the one before the last save.
struct Renders {
  Render render[2];
  int current = 0;
};

// The most a render keeps: a longer selection is not compared.
constexpr uint64_t kMostKeptBytes = uint64_t{64} << 20;

// A new render was taken (a save, or the file changed): the current one
// becomes the other, and the new one is kept as it plays.
void NewRender(Renders* renders, const FileMark& mark);

// Keeps `count` frames of `frameBytes` at `pos` of the loop `loop` of the
// current render, read from the file as it is (`mark`): in order from the
// loop's start, and only while its selection fits kMostKeptBytes.
void KeepFrames(Renders* renders, const Selection& loop, const FileMark& mark, int64_t pos,
                const unsigned char* frames, uint64_t count, size_t frameBytes);

// Whether the other render holds frames [start, end), and where they are.
bool OtherHolds(const Renders& renders, int64_t start, int64_t end);
const unsigned char* OtherFrames(const Renders& renders, int64_t pos, size_t frameBytes);

// "\rloop N: 1.50 to 3.00 sec, peak -6.0 dBFS, 0 samples at full scale, current render"
std::string StatusLine(int loop, int64_t start, int64_t end, uint64_t rate, const Level& level, bool other);
