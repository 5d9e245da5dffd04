// The graph's end: a Sample Grabber callback that writes every sample leaving the filter to a
// WAV file as it arrives, on the streaming thread.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>
#include <qedit.h>

#include <atomic>

#include "tools/common/WavFile.h"

class WavSink : public ISampleGrabberCB {
  public:
    explicit WavSink(WavWriter& writer, WORD blockAlign) : writer_(writer), align_(blockAlign) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    // Lives on the caller's stack, which outlives the graph: no counting.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    uint64_t Frames() const { return frames_; }
    bool Failed() const { return failed_; }

  private:
    WavWriter& writer_;
    WORD align_;
    std::atomic<uint64_t> frames_{0};
    std::atomic<bool> failed_{false};
};
