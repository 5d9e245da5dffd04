// The direct float-buffer interface, kept apart from the pins: both drive one StreamDriver and
// its buffers, so while the pins may stream every direct call is refused, and the pins starting
// end a direct session first, as its own Stop would.
//
// Threads: direct calls on any host thread; PinsStarting and PinsStopped on the thread that
// changes the filter's state. Each direct call holds the gate's lock for its whole run, so the
// pins never start under a call in flight. Lock order: the gate's lock before the DSP lock and
// the store's; callers may hold the filter's state lock around PinsStarting and PinsStopped.
#pragma once

#include "StreamDriver.h"
#include "platform/CriticalLock.h"

class DirectGate {
  public:
    explicit DirectGate(StreamDriver& driver) : driver_(driver) {}

    // Leaving Stopped: from now on direct calls answer VFW_E_WRONG_STATE. An open direct
    // session is stopped first (true is returned then).
    bool PinsStarting();
    // Back in Stopped: direct calls are served again.
    void PinsStopped();

    HRESULT Init(UINT channels, UINT rate);
    HRESULT Process(float* data, UINT frames, UINT flags);
    HRESULT Drain(float* data, UINT* frames);
    HRESULT Stop();
    HRESULT HasPendingChange();
    HRESULT Refresh(BOOL reset);

  private:
    StreamDriver& driver_;
    CriticalLock lock_;
    bool pinsActive_ = false;
    bool sessionOpen_ = false;
};
