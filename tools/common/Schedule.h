// How a stream is cut into media samples, and their time stamps in 100-ns units.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/Platform.h"

struct ScheduledBuffer {
    uint64_t firstFrame = 0;
    uint32_t frames = 0;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool discontinuity = false;
};

// Samples of blockFrames frames (the last one shorter). Sample k starts at the nearest 100-ns
// unit to (frames before it) x 10^7 / rate and stops where the next one starts; only the first
// is discontinuous.
std::vector<ScheduledBuffer> BlockSchedule(uint64_t totalFrames, uint32_t blockFrames, DWORD rate);

// Samples as Wine's WAVE Parser cuts a file, as recorded from it: the larger of 40 ms (rounded
// up to a byte) and 4096 bytes, less the part of a frame; each starts at its byte offset's time
// rounded down, and lasts its own length's time rounded down.
std::vector<ScheduledBuffer> ParserSchedule(uint64_t totalFrames, const WAVEFORMATEX& format);

// Either cut one media sample at a time, for a stream whose length is known only at its end:
// every sample but the last holds BlockFrames() frames.
class ScheduleCursor {
  public:
    static ScheduleCursor Block(uint32_t blockFrames, DWORD rate);
    static ScheduleCursor Parser(const WAVEFORMATEX& format);
    // Frames in a whole media sample; 0 when the format cannot be cut.
    uint32_t BlockFrames() const { return block_; }
    // The media sample that starts at firstFrame and holds `frames` frames.
    ScheduledBuffer At(uint64_t firstFrame, uint32_t frames) const;
    std::vector<ScheduledBuffer> Whole(uint64_t totalFrames) const;

  private:
    DWORD rate_ = 0;
    uint32_t block_ = 0;
    bool parser_ = false;
};
