#include "player/interleave.h"

#include <cstring>

namespace {

// The width is a constant here, so each memcpy compiles to a plain move.
template <int W>
void InterleaveWidth(int frames, const signed char* left, const signed char* right,
                     signed char* out) {
  for (int k = 0; k < frames; ++k) {
    std::memcpy(out, left, W);
    std::memcpy(out + W, right, W);
    left += W;
    right += W;
    out += 2 * W;
  }
}

}  // namespace

void Interleave(int frames, int bytesPerSample, const signed char* left,
                const signed char* right, signed char* out) {
  switch (bytesPerSample) {
    case 1: InterleaveWidth<1>(frames, left, right, out); break;
    case 2: InterleaveWidth<2>(frames, left, right, out); break;
    case 3: InterleaveWidth<3>(frames, left, right, out); break;
    case 4: InterleaveWidth<4>(frames, left, right, out); break;
    case 8: InterleaveWidth<8>(frames, left, right, out); break;
  }
}
