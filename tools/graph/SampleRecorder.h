// A Sample Grabber callback that keeps a copy of every sample it sees, from the streaming
// thread. It lives on the test's stack: release the graph before it goes out of scope.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>
#include <qedit.h>

#include <cstdint>
#include <mutex>
#include <vector>

struct RecordedSample {
    long length = 0;
    bool hasTime = false;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool discontinuity = false;
    std::vector<uint8_t> bytes;
};

class SampleRecorder : public ISampleGrabberCB {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs_); }
    STDMETHODIMP SampleCB(double time, IMediaSample* sample) override;
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    std::vector<RecordedSample> Samples();
    LONG Refs() const { return refs_; }

  private:
    LONG refs_ = 0;
    std::mutex mutex_;
    std::vector<RecordedSample> samples_;
};
