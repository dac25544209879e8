// A wave file on disk: opening it, reading its header from the open handle,
// and reading whole frames of its data chunk at a position.
#pragma once
#include <cstdint>
#include <vector>

#include "wave/wave_header.h"

// Opens `path` for reading when it is a regular file, without blocking on a
// fifo named by mistake. Returns the descriptor, owned by the caller, or -1.
int OpenWaveFile(const char* path);

enum class HeaderStatus { Ok, NoData, Unreadable };

// Reads the header of the file open on `fd` with one read into `window`
// (kept by the caller, so that no read allocates) and scans it.
HeaderStatus GetAttributes(int fd, std::vector<unsigned char>* window, StreamAttributes* attrs);

// Reads up to `frames` whole frames from frame `first` of the data chunk into
// `out`; returns how many were read (fewer at the end of the file).
uint64_t ReadFrames(int fd, const StreamAttributes& attrs, uint64_t first, uint64_t frames,
                    unsigned char* out);
