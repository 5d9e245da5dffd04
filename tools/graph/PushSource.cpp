#include "tools/graph/PushSource.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <new>
#include <system_error>

#include "framework/MediaType.h"
#include "framework/PinEnum.h"

// {AED4E549-E147-4447-A7CD-452CCF8CF0FF}
const CLSID kClsidPushSource = {
    0xaed4e549, 0xe147, 0x4447, {0xa7, 0xcd, 0x45, 0x2c, 0xcf, 0x8c, 0xf0, 0xff}};

namespace {
// The major type and the format block's size are checked before the block is read.
bool IsUsableAudioType(const AM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Audio) ||
        !IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || type.pbFormat == nullptr ||
        type.cbFormat < sizeof(WAVEFORMATEX))
        return false;
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    if (format->nBlockAlign == 0 || sizeof(WAVEFORMATEX) + format->cbSize > type.cbFormat)
        return false;
    return format->wFormatTag != WAVE_FORMAT_EXTENSIBLE ||
           (type.cbFormat >= sizeof(WAVEFORMATEXTENSIBLE) &&
            format->cbSize >= sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX));
}

// Every slice inside the bytes, in whole frames of the type in force, and small enough for a
// media sample.
bool IsUsableSchedule(const std::vector<ScheduledSample>& schedule, size_t bytes, WORD align) {
    for (const ScheduledSample& s : schedule) {
        if (!s.newFormat.empty()) {
            if (s.newFormat.size() < sizeof(WAVEFORMATEX)) return false;
            WAVEFORMATEX wave;
            std::memcpy(&wave, s.newFormat.data(), sizeof wave);
            align = wave.nBlockAlign;
        }
        if (align == 0 || s.offset > bytes || s.length > bytes - s.offset ||
            s.length > size_t(LONG_MAX) || s.length % align != 0)
            return false;
    }
    return true;
}

// The input pin behind a filter's first connected output, with a reference, or nullptr.
IPin* ConnectedDownstream(IBaseFilter* filter) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || pins == nullptr) return nullptr;
    IPin* pin = nullptr;
    IPin* next = nullptr;
    while (next == nullptr && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == PINDIR_OUTPUT &&
            FAILED(pin->ConnectedTo(&next)))
            next = nullptr;
        pin->Release();
    }
    pins->Release();
    return next;
}
// A schedule over bytes held in memory.
class MemoryFeed : public SampleFeed {
  public:
    MemoryFeed(std::vector<uint8_t> bytes, std::vector<ScheduledSample> schedule)
        : bytes_(std::move(bytes)), schedule_(std::move(schedule)) {
        for (const ScheduledSample& s : schedule_) {
            largest_ = std::max(largest_, s.length);
            end_ = std::max(end_, s.stop);
        }
    }
    size_t Count() const override { return schedule_.size(); }
    size_t LargestBytes() const override { return largest_; }
    REFERENCE_TIME End() const override { return end_; }
    ScheduledSample At(size_t i) const override { return schedule_[i]; }
    bool Fill(size_t, const ScheduledSample& entry, uint8_t* data) override {
        if (entry.length > 0) std::memcpy(data, bytes_.data() + entry.offset, entry.length);
        return true;
    }

  private:
    std::vector<uint8_t> bytes_;
    std::vector<ScheduledSample> schedule_;
    size_t largest_ = 0;
    REFERENCE_TIME end_ = 0;
};

}  // namespace

std::vector<ScheduledSample> SamplesOf(const std::vector<ScheduledBuffer>& schedule,
                                       WORD blockAlign) {
    std::vector<ScheduledSample> samples;
    samples.reserve(schedule.size());
    for (const ScheduledBuffer& b : schedule) {
        ScheduledSample s;
        s.offset = size_t(b.firstFrame) * blockAlign;
        s.length = size_t(b.frames) * blockAlign;
        s.start = b.start;
        s.stop = b.stop;
        s.discontinuity = b.discontinuity;
        samples.push_back(s);
    }
    return samples;
}

AM_MEDIA_TYPE PlainAudioType(WAVEFORMATEX* format, ULONG size) {
    AM_MEDIA_TYPE type = {};
    type.majortype = MEDIATYPE_Audio;
    type.subtype =
        format->wFormatTag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
    // An extensible record names its samples in its sub-format, which is also their subtype.
    if (format->wFormatTag == WAVE_FORMAT_EXTENSIBLE && size >= sizeof(WAVEFORMATEXTENSIBLE))
        type.subtype = reinterpret_cast<WAVEFORMATEXTENSIBLE*>(format)->SubFormat;
    type.formattype = FORMAT_WaveFormatEx;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = format->nBlockAlign;
    type.cbFormat = size;
    type.pbFormat = reinterpret_cast<BYTE*>(format);
    return type;
}

namespace {
HRESULT SetSampleFormat(IMediaSample* sample, std::vector<uint8_t> format) {
    if (format.size() < sizeof(WAVEFORMATEX)) return E_INVALIDARG;
    AM_MEDIA_TYPE type =
        PlainAudioType(reinterpret_cast<WAVEFORMATEX*>(format.data()), ULONG(format.size()));
    return sample->SetMediaType(&type);  // copied by the sample
}
}  // namespace

HRESULT PushSource::Create(const AM_MEDIA_TYPE& type, std::vector<uint8_t> bytes,
                           std::vector<ScheduledSample> schedule, PushSource** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!IsUsableAudioType(type)) return VFW_E_INVALIDMEDIATYPE;
    const WORD align = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat)->nBlockAlign;
    if (!IsUsableSchedule(schedule, bytes.size(), align)) return E_INVALIDARG;
    std::unique_ptr<SampleFeed> feed(new (std::nothrow)
                                         MemoryFeed(std::move(bytes), std::move(schedule)));
    if (feed == nullptr) return E_OUTOFMEMORY;
    return Create(type, std::move(feed), out);
}

HRESULT PushSource::Create(const AM_MEDIA_TYPE& type, std::unique_ptr<SampleFeed> feed,
                           PushSource** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (feed == nullptr) return E_POINTER;
    if (!IsUsableAudioType(type)) return VFW_E_INVALIDMEDIATYPE;
    // Each sample's length is checked against its own format where the feed is made: with
    // formats changing in band, the largest need not fit the first format's blocks.
    if (feed->LargestBytes() > size_t(LONG_MAX)) return E_INVALIDARG;
    auto* source = new (std::nothrow) PushSource(std::move(feed));
    if (source == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = MediaTypeCopy(&source->type_, type);
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    *out = source;
    return S_OK;
}

PushSource::PushSource(std::unique_ptr<SampleFeed> feed)
    : feed_(std::move(feed)), largest_(feed_->LargestBytes()), pin_(this) {}

PushSource::~PushSource() {
    Stop();
    if (clock_ != nullptr) clock_->Release();
    MediaTypeClear(&type_);
}

STDMETHODIMP PushSource::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) ||
        IsEqualIID(iid, IID_IMediaFilter) || IsEqualIID(iid, IID_IBaseFilter)) {
        *out = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) PushSource::AddRef() {
    return InterlockedIncrement(&refs_);
}

STDMETHODIMP_(ULONG) PushSource::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) {
        // Guard against a destructor that hands a face out and releases it again.
        refs_ = 1;
        delete this;
    }
    return refs;
}

STDMETHODIMP PushSource::GetClassID(CLSID* clsid) {
    if (clsid == nullptr) return E_POINTER;
    *clsid = kClsidPushSource;
    return S_OK;
}

HRESULT PushSource::StartStreaming() {
    IMemAllocator* allocator = pin_.Allocator();
    if (allocator == nullptr) return S_OK;  // not connected: nothing to deliver
    HRESULT hr = allocator->Commit();
    if (FAILED(hr)) return hr;
    stopping_ = false;
    try {
        thread_ = std::thread(&PushSource::Stream, this);
    } catch (const std::system_error&) {
        allocator->Decommit();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void PushSource::StopStreaming() {
    stopping_ = true;
    // Frees the thread if it waits in GetBuffer; inside Receive, it returns once downstream
    // has stopped, which the graph does first.
    if (IMemAllocator* allocator = pin_.Allocator()) allocator->Decommit();
    if (thread_.joinable()) thread_.join();
}

STDMETHODIMP PushSource::Stop() {
    LockHold hold(lock_);
    if (state_ != State_Stopped) StopStreaming();
    state_ = State_Stopped;
    return S_OK;
}

STDMETHODIMP PushSource::Pause() {
    LockHold hold(lock_);
    if (state_ == State_Stopped) {
        HRESULT hr = StartStreaming();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Paused;
    return S_OK;
}

STDMETHODIMP PushSource::Run(REFERENCE_TIME) {
    LockHold hold(lock_);
    // The graph may go from Stopped straight to Running. Samples carry no clock wait here, so
    // the start time changes nothing.
    if (state_ == State_Stopped) {
        HRESULT hr = StartStreaming();
        if (FAILED(hr)) return hr;
    }
    state_ = State_Running;
    return S_OK;
}

STDMETHODIMP PushSource::GetState(DWORD, FILTER_STATE* state) {
    if (state == nullptr) return E_POINTER;
    *state = state_;
    return S_OK;
}

STDMETHODIMP PushSource::SetSyncSource(IReferenceClock* clock) {
    LockHold hold(lock_);
    if (clock != nullptr) clock->AddRef();
    if (clock_ != nullptr) clock_->Release();
    clock_ = clock;
    return S_OK;
}

STDMETHODIMP PushSource::GetSyncSource(IReferenceClock** clock) {
    if (clock == nullptr) return E_POINTER;
    LockHold hold(lock_);
    *clock = clock_;
    if (clock_ != nullptr) clock_->AddRef();
    return S_OK;
}

STDMETHODIMP PushSource::EnumPins(IEnumPins** out) {
    if (out == nullptr) return E_POINTER;
    IPin* pins[] = {&pin_};
    *out = PinEnum::Create(this, pins, 1);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP PushSource::FindPin(LPCWSTR id, IPin** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (id == nullptr) return E_POINTER;
    if (wcscmp(id, L"Output") != 0) return VFW_E_NOT_FOUND;
    *out = &pin_;
    pin_.AddRef();
    return S_OK;
}

STDMETHODIMP PushSource::QueryFilterInfo(FILTER_INFO* info) {
    if (info == nullptr) return E_POINTER;
    LockHold hold(graphLock_);
    std::memcpy(info->achName, name_, sizeof(name_));
    info->pGraph = graph_;
    if (graph_ != nullptr) graph_->AddRef();
    return S_OK;
}

STDMETHODIMP PushSource::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    LockHold hold(graphLock_);
    graph_ = graph;
    events_ = nullptr;
    name_[0] = 0;
    if (graph == nullptr) return S_OK;
    if (name != nullptr) {
        wcsncpy(name_, name, MAX_FILTER_NAME - 1);
        name_[MAX_FILTER_NAME - 1] = 0;
    }
    // Kept without a reference, like the graph itself, which would otherwise never be freed.
    if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&events_))))
        events_->Release();
    else
        events_ = nullptr;
    return S_OK;
}

STDMETHODIMP PushSource::QueryVendorInfo(LPWSTR*) {
    return E_NOTIMPL;
}

void PushSource::Stream() {
    IPin* peer = pin_.Peer();
    peer->NewSegment(0, feed_->End(), 1.0);
    HRESULT hr = S_OK;
    const size_t count = feed_->Count();
    // Each run is a fresh stream, so its first sample is discontinuous whatever the schedule says.
    for (size_t i = 0; i < count && hr == S_OK; ++i) {
        if (hook_) hook_(i);
        const ScheduledSample entry = feed_->At(i);
        hr = DeliverSample(i, entry, i == 0 || entry.discontinuity);
    }
    if (hr == S_OK) {
        if (hook_) hook_(count);
        if (endOfStream_) peer->EndOfStream();
        return;
    }
    // Downstream wants no more until a stop: send nothing, not even end of stream, which
    // would report a cut stream complete. A refusal while the graph stops is no error.
    if (!stopping_ && !DownstreamStopped()) ReportAbort(hr);
}

HRESULT PushSource::DeliverSample(size_t index, const ScheduledSample& entry, bool discontinuity) {
    IMediaSample* sample = nullptr;
    HRESULT hr = pin_.Allocator()->GetBuffer(&sample, nullptr, nullptr, 0);
    if (FAILED(hr)) return hr;
    BYTE* data = nullptr;
    hr = sample->GetPointer(&data);
    if (SUCCEEDED(hr) && (data == nullptr || size_t(sample->GetSize()) < entry.length))
        hr = VFW_E_BUFFER_OVERFLOW;
    // A sample that cannot be read ends the stream as an error, never as a short success.
    if (SUCCEEDED(hr) && !feed_->Fill(index, entry, data)) hr = E_FAIL;
    if (SUCCEEDED(hr)) {
        REFERENCE_TIME start = entry.start;
        REFERENCE_TIME stop = entry.stop;
        sample->SetActualDataLength(LONG(entry.length));
        sample->SetTime(entry.untimed ? nullptr : &start, entry.untimed ? nullptr : &stop);
        sample->SetMediaTime(nullptr, nullptr);
        if (!entry.newFormat.empty()) hr = SetSampleFormat(sample, entry.newFormat);
        sample->SetDiscontinuity(discontinuity ? TRUE : FALSE);
        sample->SetSyncPoint(TRUE);
        sample->SetPreroll(FALSE);
        if (SUCCEEDED(hr)) hr = pin_.Transport()->Receive(sample);
    }
    sample->Release();
    return hr;
}

LONG PushSource::BufferBytes() const {
    ALLOCATOR_PROPERTIES props = {};
    IMemAllocator* allocator = pin_.Allocator();
    return allocator != nullptr && SUCCEEDED(allocator->GetProperties(&props)) ? props.cbBuffer : 0;
}

// The graph stops filters downstream first, so a stopped one means the graph is stopping.
bool PushSource::DownstreamStopped() {
    IPin* pin = pin_.Peer();
    pin->AddRef();
    // Bounded, in case a graph loops back on itself.
    for (int hop = 0; pin != nullptr && hop < 32; ++hop) {
        PIN_INFO info = {};
        HRESULT hr = pin->QueryPinInfo(&info);
        pin->Release();
        pin = nullptr;
        if (FAILED(hr) || info.pFilter == nullptr) return false;
        FILTER_STATE state = State_Running;
        const bool stopped = SUCCEEDED(info.pFilter->GetState(0, &state)) && state == State_Stopped;
        if (!stopped) pin = ConnectedDownstream(info.pFilter);
        info.pFilter->Release();
        if (stopped) return true;
    }
    if (pin != nullptr) pin->Release();
    return false;
}

void PushSource::ReportAbort(HRESULT hr) {
    LockHold hold(graphLock_);
    if (events_ != nullptr) events_->Notify(EC_ERRORABORT, LONG_PTR(hr), 0);
}
