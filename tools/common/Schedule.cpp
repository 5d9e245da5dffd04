#include "tools/common/Schedule.h"

namespace {

constexpr uint64_t kUnitsPerSecond = 10000000;

}  // namespace

std::vector<ScheduledBuffer> BlockSchedule(uint64_t totalFrames, uint32_t blockFrames, DWORD rate) {
    std::vector<ScheduledBuffer> schedule;
    if (blockFrames == 0 || rate == 0) return schedule;
    auto at = [rate](uint64_t frame) {
        return REFERENCE_TIME((frame * kUnitsPerSecond + rate / 2) / rate);
    };
    for (uint64_t first = 0; first < totalFrames; first += blockFrames) {
        ScheduledBuffer b;
        b.firstFrame = first;
        b.frames = uint32_t(totalFrames - first < blockFrames ? totalFrames - first : blockFrames);
        b.start = at(first);
        b.stop = at(first + b.frames);
        b.discontinuity = first == 0;
        schedule.push_back(b);
    }
    return schedule;
}

std::vector<ScheduledBuffer> ParserSchedule(uint64_t totalFrames, const WAVEFORMATEX& format) {
    std::vector<ScheduledBuffer> schedule;
    const uint64_t rate = format.nSamplesPerSec, align = format.nBlockAlign;
    if (rate == 0 || align == 0) return schedule;
    uint64_t bytes = (uint64_t(format.nAvgBytesPerSec) * 40 + 999) / 1000;
    if (bytes < 4096) bytes = 4096;
    const uint64_t block = bytes / align > 0 ? bytes / align : 1;
    for (uint64_t first = 0; first < totalFrames; first += block) {
        ScheduledBuffer b;
        b.firstFrame = first;
        b.frames = uint32_t(totalFrames - first < block ? totalFrames - first : block);
        b.start = REFERENCE_TIME(first * kUnitsPerSecond / rate);
        b.stop = b.start + REFERENCE_TIME(b.frames * kUnitsPerSecond / rate);
        b.discontinuity = first == 0;
        schedule.push_back(b);
    }
    return schedule;
}
