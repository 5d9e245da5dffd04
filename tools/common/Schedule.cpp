#include "tools/common/Schedule.h"

namespace {

constexpr uint64_t kUnitsPerSecond = 10000000;

}  // namespace

ScheduleCursor ScheduleCursor::Block(uint32_t blockFrames, DWORD rate) {
    ScheduleCursor c;
    c.rate_ = rate;
    c.block_ = rate == 0 ? 0 : blockFrames;
    c.parser_ = false;
    return c;
}

ScheduleCursor ScheduleCursor::Parser(const WAVEFORMATEX& format) {
    ScheduleCursor c;
    c.rate_ = format.nSamplesPerSec;
    c.parser_ = true;
    const uint64_t align = format.nBlockAlign;
    if (c.rate_ == 0 || align == 0) return c;
    uint64_t bytes = (uint64_t(format.nAvgBytesPerSec) * 40 + 999) / 1000;
    if (bytes < 4096) bytes = 4096;
    c.block_ = bytes / align > 0 ? uint32_t(bytes / align) : 1;
    return c;
}

ScheduledBuffer ScheduleCursor::At(uint64_t firstFrame, uint32_t frames) const {
    ScheduledBuffer b;
    b.firstFrame = firstFrame;
    b.frames = frames;
    b.discontinuity = firstFrame == 0;
    if (rate_ == 0) return b;
    if (parser_) {
        b.start = REFERENCE_TIME(firstFrame * kUnitsPerSecond / rate_);
        b.stop = b.start + REFERENCE_TIME(frames * kUnitsPerSecond / rate_);
    } else {
        auto at = [this](uint64_t frame) {
            return REFERENCE_TIME((frame * kUnitsPerSecond + rate_ / 2) / rate_);
        };
        b.start = at(firstFrame);
        b.stop = at(firstFrame + frames);
    }
    return b;
}

std::vector<ScheduledBuffer> ScheduleCursor::Whole(uint64_t totalFrames) const {
    std::vector<ScheduledBuffer> schedule;
    if (block_ == 0) return schedule;
    for (uint64_t first = 0; first < totalFrames; first += block_)
        schedule.push_back(
            At(first, uint32_t(totalFrames - first < block_ ? totalFrames - first : block_)));
    return schedule;
}

std::vector<ScheduledBuffer> BlockSchedule(uint64_t totalFrames, uint32_t blockFrames, DWORD rate) {
    return ScheduleCursor::Block(blockFrames, rate).Whole(totalFrames);
}

std::vector<ScheduledBuffer> ParserSchedule(uint64_t totalFrames, const WAVEFORMATEX& format) {
    return ScheduleCursor::Parser(format).Whole(totalFrames);
}
