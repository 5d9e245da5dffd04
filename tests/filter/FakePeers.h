// Hand-made peers for driving the filter's pins the way odd hosts do: an upstream output pin
// that only says which way it points, a sink pin that records what reaches it, an allocator
// whose buffers are as small as a test wants, and a media sample over the test's own memory.
// Reference counts are kept but never free anything: the objects live on the test's stack.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

#include <atomic>
#include <functional>
#include <vector>

// A media sample over memory the test owns; it may claim to be larger than that memory.
class FakeSample final : public IMediaSample {
  public:
    FakeSample(BYTE* data, LONG size, LONG length) : data_(data), size_(size), length_(length) {}
    virtual ~FakeSample() = default;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMediaSample)) {
            *out = static_cast<IMediaSample*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --refs;
        if (left == 0 && onFreed) onFreed(this);
        return ULONG(left);
    }
    STDMETHODIMP GetPointer(BYTE** out) override {
        *out = data_;
        return S_OK;
    }
    STDMETHODIMP_(LONG) GetSize() override { return size_; }
    STDMETHODIMP GetTime(REFERENCE_TIME*, REFERENCE_TIME*) override {
        return VFW_E_SAMPLE_TIME_NOT_SET;
    }
    STDMETHODIMP SetTime(REFERENCE_TIME*, REFERENCE_TIME*) override { return S_OK; }
    STDMETHODIMP IsSyncPoint() override { return S_OK; }
    STDMETHODIMP SetSyncPoint(BOOL) override { return S_OK; }
    STDMETHODIMP IsPreroll() override { return S_FALSE; }
    STDMETHODIMP SetPreroll(BOOL) override { return S_OK; }
    STDMETHODIMP_(LONG) GetActualDataLength() override { return length_; }
    STDMETHODIMP SetActualDataLength(LONG length) override {
        length_ = length;
        return S_OK;
    }
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** type) override {
        *type = nullptr;
        return S_FALSE;
    }
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP IsDiscontinuity() override { return S_FALSE; }
    STDMETHODIMP SetDiscontinuity(BOOL) override { return S_OK; }
    STDMETHODIMP GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    STDMETHODIMP SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }

    std::atomic<long> refs{1};
    std::function<void(FakeSample*)> onFreed;

  private:
    BYTE* data_;
    LONG size_;
    LONG length_;
};

// An allocator handing out one buffer of `size` bytes at a time, at most `limit` times, so a
// filter that would ask for ever is caught instead of hanging the test.
class TinyAllocator : public IMemAllocator {
  public:
    TinyAllocator(LONG size, int limit) : size_(size), limit_(limit) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMemAllocator)) {
            *out = static_cast<IMemAllocator*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override {
        const long left = --refs;
        if (onRelease) onRelease();
        return ULONG(left);
    }
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* want, ALLOCATOR_PROPERTIES* got) override {
        *got = *want;
        got->cbBuffer = size_;
        return S_OK;
    }
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* props) override {
        *props = {1, size_, 1, 0};
        return S_OK;
    }
    STDMETHODIMP Commit() override { return S_OK; }
    STDMETHODIMP Decommit() override { return S_OK; }
    STDMETHODIMP GetBuffer(IMediaSample** out, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override {
        if (++handedOut > limit_) return E_FAIL;
        buffers_.emplace_back(new FakeSample(storage_, size_, size_));
        *out = buffers_.back();
        return S_OK;
    }
    STDMETHODIMP ReleaseBuffer(IMediaSample*) override { return S_OK; }
    ~TinyAllocator() {
        for (FakeSample* s : buffers_)
            delete s;
    }

    std::atomic<long> refs{1};
    int handedOut = 0;
    std::function<void()> onRelease;

  private:
    LONG size_;
    int limit_;
    BYTE storage_[16] = {};
    std::vector<FakeSample*> buffers_;
};

// The upstream end of our input: it only needs to say which way it points.
class FakeUpstreamPin : public IPin {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
            *out = static_cast<IPin*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect() override { return S_OK; }
    STDMETHODIMP ConnectedTo(IPin** pin) override {
        *pin = nullptr;
        return VFW_E_NOT_CONNECTED;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override {
        *info = {};
        info->dir = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
        *dir = PINDIR_OUTPUT;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_UNEXPECTED; }
    STDMETHODIMP BeginFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP EndFlush() override { return E_UNEXPECTED; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
};

// A sink input pin: accepts any type, has no allocator of its own, records deliveries.
class RecordingSinkPin : public IPin, public IMemInputPin {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPin)) {
            *out = static_cast<IPin*>(this);
        } else if (IsEqualIID(iid, IID_IMemInputPin)) {
            *out = static_cast<IMemInputPin*>(this);
        } else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP Disconnect() override { return S_OK; }
    STDMETHODIMP ConnectedTo(IPin** pin) override {
        *pin = nullptr;
        return VFW_E_NOT_CONNECTED;
    }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    STDMETHODIMP QueryPinInfo(PIN_INFO* info) override {
        *info = {};
        info->dir = PINDIR_INPUT;
        return S_OK;
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* dir) override {
        *dir = PINDIR_INPUT;
        return S_OK;
    }
    STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return S_OK; }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes**) override { return VFW_E_NOT_CONNECTED; }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override {
        ++endOfStreams;
        return S_OK;
    }
    STDMETHODIMP BeginFlush() override { return S_OK; }
    STDMETHODIMP EndFlush() override { return S_OK; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
    STDMETHODIMP GetAllocator(IMemAllocator**) override { return VFW_E_NO_ALLOCATOR; }
    STDMETHODIMP NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    STDMETHODIMP Receive(IMediaSample* sample) override {
        lengths.push_back(sample->GetActualDataLength());
        return S_OK;
    }
    STDMETHODIMP ReceiveMultiple(IMediaSample**, long, long*) override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }

    std::vector<LONG> lengths;
    int endOfStreams = 0;
};
