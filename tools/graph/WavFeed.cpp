#include "tools/graph/WavFeed.h"

WavFeed::WavFeed(WavPieceReader& reader, const ScheduleCursor& cursor)
    : reader_(reader), cursor_(cursor) {
    const uint64_t block = cursor.BlockFrames();
    if (block > 0) count_ = size_t((reader.Frames() + block - 1) / block);
}

size_t WavFeed::LargestBytes() const {
    const uint64_t frames =
        reader_.Frames() < cursor_.BlockFrames() ? reader_.Frames() : cursor_.BlockFrames();
    return size_t(frames) * reader_.StreamFrameBytes();
}

REFERENCE_TIME WavFeed::End() const {
    return count_ == 0 ? 0 : At(count_ - 1).stop;
}

ScheduledSample WavFeed::At(size_t i) const {
    const uint64_t first = First(i), left = reader_.Frames() - first;
    const uint32_t frames = left < cursor_.BlockFrames() ? uint32_t(left) : cursor_.BlockFrames();
    const ScheduledBuffer b = cursor_.At(first, frames);
    ScheduledSample s;
    s.length = size_t(frames) * reader_.StreamFrameBytes();
    s.start = b.start;
    s.stop = b.stop;
    s.discontinuity = b.discontinuity;
    return s;
}

bool WavFeed::Fill(size_t i, const ScheduledSample& entry, uint8_t* data) {
    return reader_.Read(First(i), entry.length / reader_.StreamFrameBytes(), data);
}
