// A Sample Grabber callback that counts what leaves the filter without keeping any of it.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

#include <vector>

#include "tools/graph/SampleRecorder.h"

// After windows.h, which the headers above bring in.
#include <psapi.h>

// Counts what leaves the filter without keeping any of it; optionally samples the process's
// private memory every `every` buffers, into storage reserved up front so sampling adds none.
class CountingCallback : public ISampleGrabberCB {
  public:
    explicit CountingCallback(long every = 0) : every_(every) {
        if (every_ > 0) memory_.reserve(4096);
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
            *out = static_cast<ISampleGrabberCB*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override { return InterlockedDecrement(&refs_); }
    STDMETHODIMP SampleCB(double, IMediaSample* sample) override {
        const long length = sample->GetActualDataLength();
        InterlockedExchangeAdd64(&bytes_, length);
        if (length == 0) return S_OK;
        const LONG n = InterlockedIncrement(&buffers_);
        if (every_ > 0 && n % every_ == 0 && memory_.size() < memory_.capacity()) {
            PROCESS_MEMORY_COUNTERS_EX counters{};
            counters.cb = sizeof(counters);
            if (GetProcessMemoryInfo(GetCurrentProcess(),
                                     reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                     sizeof(counters)))
                // Wine leaves PrivateUsage at 0 and reports the same figure as PagefileUsage.
                memory_.push_back(
                    {InterlockedExchangeAdd64(&bytes_, 0),
                     counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage,
                     counters.WorkingSetSize});
        }
        return S_OK;
    }
    STDMETHODIMP BufferCB(double, BYTE*, long) override { return E_NOTIMPL; }

    void Reset() {
        InterlockedExchange64(&bytes_, 0);
        InterlockedExchange(&buffers_, 0);
    }
    LONG64 Bytes() { return InterlockedExchangeAdd64(&bytes_, 0); }
    LONG Buffers() { return InterlockedExchangeAdd(&buffers_, 0); }
    LONG Refs() const { return refs_; }

    struct Mark {
        LONG64 bytes;
        SIZE_T privateUsage;
        SIZE_T workingSet;
    };
    // Read only once streaming has ended.
    const std::vector<Mark>& Memory() const { return memory_; }

  private:
    LONG refs_ = 0;
    LONG64 bytes_ = 0;
    LONG buffers_ = 0;
    const long every_;
    std::vector<Mark> memory_;
};
