// A source filter that delivers a prepared schedule of audio samples, from memory or from a feed
// that reads each as it goes out, so a graph can feed a filter buffers of any size and timing the
// WAVE Parser would never produce.
//
// Threads and locks: state and connection calls come on application or graph threads under the
// filter lock; samples go out on the source's own streaming thread, which takes no lock that
// Pause, Run, Stop or GetState need, because the Null Renderer blocks in Receive while paused.
#pragma once

#include "platform/CriticalLock.h"
#include "platform/Platform.h"

#include <dshow.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tools/common/Schedule.h"
#include "tools/graph/PushSourcePin.h"

// One media sample to deliver: a slice of the source's bytes and its stream times.
struct ScheduledSample {
    size_t offset = 0;
    size_t length = 0;  // bytes
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool discontinuity = false;
    bool untimed = false;  // delivered with no times, as some sources do
    // A wave-format block: the sample carries this new type, as an in-band format change does.
    // Its slice holds whole frames of that format rather than the connection's.
    std::vector<uint8_t> newFormat;
};

// The samples of a frame schedule over interleaved frames of blockAlign bytes.
std::vector<ScheduledSample> SamplesOf(const std::vector<ScheduledBuffer>& schedule,
                                       WORD blockAlign);

// Where a source's samples come from: the schedule, one sample at a time, and each sample's
// bytes. Called on the streaming thread only, and again from the first sample on each run.
class SampleFeed {
  public:
    virtual ~SampleFeed() = default;
    virtual size_t Count() const = 0;
    // The largest sample's bytes, for the allocator; the latest stop time, for the segment.
    virtual size_t LargestBytes() const = 0;
    virtual REFERENCE_TIME End() const = 0;
    // Sample i's times, flags and length; its offset is the feed's own business.
    virtual ScheduledSample At(size_t i) const = 0;
    // Sample i's entry.length bytes into data; false when they cannot be had.
    virtual bool Fill(size_t i, const ScheduledSample& entry, uint8_t* data) = 0;
};

extern const CLSID kClsidPushSource;

// An audio type over `format` (PCM or IEEE float, plain or extensible), pointing into it.
AM_MEDIA_TYPE PlainAudioType(WAVEFORMATEX* format, ULONG size = sizeof(WAVEFORMATEX));

class PushSource : public IBaseFilter {
  public:
    // type: major type Audio with a WAVEFORMATEX or WAVEFORMATEXTENSIBLE block, copied.
    // Every scheduled slice must lie inside bytes and hold whole frames. On success *out has
    // the caller's one reference; VFW_E_INVALIDMEDIATYPE or E_INVALIDARG for bad input.
    static HRESULT Create(const AM_MEDIA_TYPE& type, std::vector<uint8_t> bytes,
                          std::vector<ScheduledSample> schedule, PushSource** out);
    // The same over a feed, which the source owns from then on, even on failure. Its samples
    // must hold whole frames of the type; a sample it cannot fill aborts the stream.
    static HRESULT Create(const AM_MEDIA_TYPE& type, std::unique_ptr<SampleFeed> feed,
                          PushSource** out);

    // IUnknown: IBaseFilter, IMediaFilter and IPersist.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPersist
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    // IMediaFilter: application or graph thread, under the filter lock; GetState takes none.
    // Stop expects the filters downstream to have stopped already, as the graph does it.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;
    STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter: application thread.
    STDMETHODIMP EnumPins(IEnumPins** out) override;
    STDMETHODIMP FindPin(LPCWSTR id, IPin** out) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
    STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

    // For tests that act as the host between samples: called on the streaming thread before
    // sample i is delivered, and with i equal to the sample count after the last one. Set
    // before the graph runs. Without end of stream the thread ends after that last call.
    void SetHostHook(std::function<void(size_t)> hook, bool endOfStream) {
        hook_ = std::move(hook);
        endOfStream_ = endOfStream;
    }
    // The size of the buffers of the connection's allocator, 0 when there is none.
    LONG BufferBytes() const;

    // For the pin.
    CriticalLock& FilterLock() { return lock_; }
    FILTER_STATE State() const { return state_; }
    const AM_MEDIA_TYPE& Type() const { return type_; }
    size_t LargestSample() const { return largest_; }

  private:
    explicit PushSource(std::unique_ptr<SampleFeed> feed);
    virtual ~PushSource();

    // Filter lock held: leaves Stopped, or returns to it.
    HRESULT StartStreaming();
    void StopStreaming();

    // Streaming thread.
    void Stream();
    HRESULT DeliverSample(size_t index, const ScheduledSample& entry, bool discontinuity);
    bool DownstreamStopped();
    void ReportAbort(HRESULT hr);

    LONG refs_ = 1;
    CriticalLock lock_;
    // Guards the graph's faces and our name; the streaming thread reports under it, and never
    // takes lock_.
    CriticalLock graphLock_;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    // Set by Stop before it frees the thread, so refusals caused by stopping go unreported.
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    IReferenceClock* clock_ = nullptr;
    IFilterGraph* graph_ = nullptr;      // not referenced: the graph owns us
    IMediaEventSink* events_ = nullptr;  // the graph's, not referenced either
    WCHAR name_[MAX_FILTER_NAME] = {};
    AM_MEDIA_TYPE type_ = {};
    std::unique_ptr<SampleFeed> feed_;
    size_t largest_ = 0;
    std::function<void(size_t)> hook_;
    bool endOfStream_ = true;
    PushSourcePin pin_;
};
