// Scheduled samples cut from a WAV file as they go out: a push source over this feed holds one
// sample and one chunk of the file at a time, whatever the file's length.
#pragma once

#include "tools/common/Schedule.h"
#include "tools/common/WavPieceReader.h"
#include "tools/graph/PushSource.h"

class WavFeed : public SampleFeed {
  public:
    // reader: open, in the stream's encoding, and outliving the feed. Every sample holds
    // cursor.BlockFrames() frames but the last.
    WavFeed(WavPieceReader& reader, const ScheduleCursor& cursor);

    size_t Count() const override { return count_; }
    size_t LargestBytes() const override;
    REFERENCE_TIME End() const override;
    ScheduledSample At(size_t i) const override;
    bool Fill(size_t i, const ScheduledSample& entry, uint8_t* data) override;

  private:
    uint64_t First(size_t i) const { return uint64_t(i) * cursor_.BlockFrames(); }

    WavPieceReader& reader_;
    ScheduleCursor cursor_;
    size_t count_ = 0;
};
