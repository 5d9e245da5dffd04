// The Media Session's end: a sample grabber callback that writes every sample leaving the
// transform to a WAV file as it arrives, on the session's thread.
#pragma once

#include "platform/Platform.h"

#include <mfidl.h>

#include <atomic>

#include "tools/common/WavFile.h"

class GrabberSink final : public IMFSampleGrabberSinkCallback {
  public:
    // Reference counted: the grabber's activate and sink hold it on the session's threads. The
    // writer must outlive the session's Shutdown, after which no sample arrives.
    static GrabberSink* Create(WavWriter& writer, WORD blockAlign);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP OnClockStart(MFTIME, LONGLONG) override { return S_OK; }
    STDMETHODIMP OnClockStop(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockPause(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockRestart(MFTIME) override { return S_OK; }
    STDMETHODIMP OnClockSetRate(MFTIME, float) override { return S_OK; }
    STDMETHODIMP OnSetPresentationClock(IMFPresentationClock*) override { return S_OK; }
    STDMETHODIMP OnProcessSample(REFGUID major, DWORD flags, LONGLONG time, LONGLONG duration,
                                 const BYTE* data, DWORD size) override;
    STDMETHODIMP OnShutdown() override { return S_OK; }

    uint64_t Frames() const { return frames_; }
    bool Failed() const { return failed_; }

  private:
    GrabberSink(WavWriter& writer, WORD blockAlign) : writer_(writer), align_(blockAlign) {}

    std::atomic<ULONG> references_{1};
    WavWriter& writer_;
    WORD align_;
    std::atomic<uint64_t> frames_{0};
    std::atomic<bool> failed_{false};
};
