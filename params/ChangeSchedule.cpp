// The envelope clock and the cutting of buffers into stretches at envelope changes.
//
// The clock counts reference time and moves by each stretch's span in reference time, not by the
// rounded frame count, so boundaries are hit exactly and rounding never accumulates.
#include <cstdint>

#include "Envelope.h"
#include "MediaParamStore.h"

namespace {

// Nearest integer of a non-negative real: add a half and truncate.
int64_t Nearest(double r) {
    return r >= 9.2e18 ? INT64_MAX : int64_t(r + 0.5);
}

REFERENCE_TIME Advance(REFERENCE_TIME position, REFERENCE_TIME span) {
    REFERENCE_TIME moved;
    return __builtin_add_overflow(position, span, &moved) ? INT64_MAX : moved;
}

}  // namespace

HRESULT MediaParamStore::StartTimeBase(DWORD sampleRate) {
    if (sampleRate == 0) return E_INVALIDARG;
    LockHold hold(lock_);
    timeBaseActive_ = TRUE;
    samplesToRef_ = 1e7 / double(sampleRate);
    refToSamples_ = double(sampleRate) * 1e-7;
    return S_OK;
}

void MediaParamStore::StopTimeBase() {
    LockHold hold(lock_);
    timeBaseActive_ = FALSE;
}

void MediaParamStore::SetSampleTimes(const REFERENCE_TIME* start) {
    LockHold hold(lock_);
    if (start) sampleStart_ = *start;
    position_ = sampleStart_;
}

void MediaParamStore::ResetClock() {
    LockHold hold(lock_);
    position_ = 0;
}

REFERENCE_TIME MediaParamStore::Position() {
    LockHold hold(lock_);
    return position_;
}

DWORD MediaParamStore::AdvanceToNextChange(DWORD frames, DWORD* changeMask) {
    LockHold hold(lock_);
    const REFERENCE_TIME whole = Nearest(double(frames) * samplesToRef_);

    bool anySegments = false;
    for (DWORD i = 0; i < kParamCount; ++i)
        anySegments |= slots_[i].segments.count > 0;
    if (!anySegments) {
        for (DWORD i = 0; i < kParamCount; ++i) {
            ParamSlot& slot = slots_[i];
            slot.envelopeActive = FALSE;
            // A ramp that was running must be stopped in the DSP once.
            if (slot.slope != 0.0 || slot.curvature != 0.0) *changeMask |= kParamTable[i].changeBit;
            slot.slope = 0.0;
            slot.curvature = 0.0;
        }
        position_ = Advance(position_, whole);
        return frames;
    }

    REFERENCE_TIME span = whole;
    DWORD pending = 0;
    for (DWORD i = 0; i < kParamCount; ++i) {
        ParamSlot& slot = slots_[i];
        const bool wasRamping = slot.slope != 0.0 || slot.curvature != 0.0;
        const Evaluation e = EvaluateParam(&slot, position_);
        // Every segment end and every next segment start is a boundary, so each one takes
        // effect at its exact frame.
        if (e.inForce && e.toEnd < span) span = e.toEnd;
        if (e.hasNext && e.toNext < span) span = e.toNext;
        if (e.changed) {
            pending |= kParamTable[i].changeBit;
        } else {
            if (wasRamping) *changeMask |= kParamTable[i].changeBit;
            slot.slope = 0.0;
            slot.curvature = 0.0;
        }
    }
    position_ = Advance(position_, span);
    *changeMask |= pending;
    return DWORD(Nearest(double(span) * refToSamples_));
}
