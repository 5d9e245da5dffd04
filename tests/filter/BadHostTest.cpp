// What a careless host can do to the filter through its COM faces: null pointers, indices out
// of range and calls in the wrong state. Each must give its code and leave the settings, the
// dirty flag and the streaming state as they were.
#include <climits>
#include <cstring>
#include <functional>
#include <vector>

#include "CountingCallback.h"
#include "FilterDll.h"
#include "support/win32/WavFile.h"
#include "tools/graph/AudioGraph.h"

namespace {

struct Case {
    const char* name;
    std::function<HRESULT()> call;
    HRESULT expected;
};

class BadHostTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        Face(IID_IFilterSettings, &settings);
        Face(IID_IMediaParams, &params);
        Face(IID_IMediaParamInfo, &info);
        Face(IID_IFilterPresets, &presets);
        Face(IID_IPersistStream, &persist);
        Face(IID_ISpecifyPropertyPages, &pages);
        Face(IID_IDirectProcess, &direct);
        ASSERT_EQ(filter->FindPin(L"Input", &input), S_OK);
        ASSERT_EQ(filter->FindPin(L"Output", &output), S_OK);
        ASSERT_EQ(input->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&memInput)),
                  S_OK);
        // Settings off their defaults and saved, so a stray change or dirtying shows.
        const float start[6] = {1234, 40, 1, 1, 0, 75};
        ASSERT_EQ(settings->SetAllParams(start), S_OK);
        IStream* stream = nullptr;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
        ASSERT_EQ(persist->Save(stream, TRUE), S_OK);
        stream->Release();
        ASSERT_EQ(persist->IsDirty(), S_FALSE);
    }
    void TearDown() override {
        for (IUnknown* face : std::vector<IUnknown*>{memInput, input, output, settings, params,
                                                     info, presets, persist, pages, direct})
            if (face) face->Release();
        if (filter) {
            filter->Stop();
            EXPECT_EQ(filter->Release(), 0u);
        }
    }
    template <typename T>
    void Face(REFIID iid, T** face) {
        ASSERT_EQ(filter->QueryInterface(iid, reinterpret_cast<void**>(face)), S_OK);
    }
    std::vector<float> Values() {
        std::vector<float> v(6, -1.0f);
        EXPECT_EQ(settings->GetAllParams(v.data()), S_OK);
        return v;
    }
    // Runs every case and checks its code and that nothing it may not touch moved.
    void Expect(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            const std::vector<float> before = Values();
            FILTER_STATE stateBefore = State_Running, stateAfter = State_Running;
            ASSERT_EQ(filter->GetState(0, &stateBefore), S_OK);
            EXPECT_EQ(c.call(), c.expected) << c.name;
            EXPECT_EQ(Values(), before) << c.name << " changed a setting";
            EXPECT_EQ(persist->IsDirty(), S_FALSE) << c.name << " dirtied the filter";
            ASSERT_EQ(filter->GetState(0, &stateAfter), S_OK);
            EXPECT_EQ(stateAfter, stateBefore) << c.name;
        }
    }

    IBaseFilter* filter = nullptr;
    IFilterSettings* settings = nullptr;
    IMediaParams* params = nullptr;
    IMediaParamInfo* info = nullptr;
    IFilterPresets* presets = nullptr;
    IPersistStream* persist = nullptr;
    ISpecifyPropertyPages* pages = nullptr;
    IDirectProcess* direct = nullptr;
    IPin* input = nullptr;
    IPin* output = nullptr;
    IMemInputPin* memInput = nullptr;
};

TEST_F(BadHostTest, NullPointersToTheFilterFacesAreRefused) {
    MP_TIMEDATA timeData = 0;
    GUID guid;
    IMediaFilter* media = nullptr;
    ASSERT_EQ(filter->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&media)), S_OK);
    IPersist* persistFace = nullptr;
    ASSERT_EQ(filter->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persistFace)), S_OK);
    IPin* pin = nullptr;
    Expect({
        {"QueryInterface", [&] { return filter->QueryInterface(IID_IPin, nullptr); }, E_POINTER},
        {"GetState", [&] { return media->GetState(0, nullptr); }, E_POINTER},
        {"GetSyncSource", [&] { return filter->GetSyncSource(nullptr); }, E_POINTER},
        {"EnumPins", [&] { return filter->EnumPins(nullptr); }, E_POINTER},
        {"FindPin out", [&] { return filter->FindPin(L"Input", nullptr); }, E_POINTER},
        {"FindPin id", [&] { return filter->FindPin(nullptr, &pin); }, E_POINTER},
        {"QueryFilterInfo", [&] { return filter->QueryFilterInfo(nullptr); }, E_POINTER},
        {"IPersist::GetClassID", [&] { return persistFace->GetClassID(nullptr); }, E_POINTER},
        {"QueryVendorInfo", [&] { return filter->QueryVendorInfo(nullptr); }, E_NOTIMPL},
        {"GetParamCount", [&] { return info->GetParamCount(nullptr); }, E_POINTER},
        {"GetParamInfo", [&] { return info->GetParamInfo(0, nullptr); }, E_POINTER},
        {"GetParamText", [&] { return info->GetParamText(0, nullptr); }, E_POINTER},
        {"GetNumTimeFormats", [&] { return info->GetNumTimeFormats(nullptr); }, E_POINTER},
        {"GetSupportedTimeFormat", [&] { return info->GetSupportedTimeFormat(0, nullptr); },
         E_POINTER},
        {"GetCurrentTimeFormat guid",
         [&] { return info->GetCurrentTimeFormat(nullptr, &timeData); }, E_POINTER},
        {"GetCurrentTimeFormat data", [&] { return info->GetCurrentTimeFormat(&guid, nullptr); },
         E_POINTER},
        {"GetParam", [&] { return params->GetParam(0, nullptr); }, E_POINTER},
        {"AddEnvelope", [&] { return params->AddEnvelope(0, 1, nullptr); }, E_POINTER},
        {"GetAllParams", [&] { return settings->GetAllParams(nullptr); }, E_POINTER},
        {"SetAllParams", [&] { return settings->SetAllParams(nullptr); }, E_POINTER},
        {"GetWaveFormat", [&] { return settings->GetWaveFormat(nullptr); }, E_POINTER},
        {"GetScaledFrequency", [&] { return settings->GetScaledFrequency(nullptr); }, E_POINTER},
        {"GetScaledResonance", [&] { return settings->GetScaledResonance(nullptr); }, E_POINTER},
        {"GetScaledFilterType", [&] { return settings->GetScaledFilterType(nullptr); }, E_POINTER},
        {"GetScaledFilterOrder", [&] { return settings->GetScaledFilterOrder(nullptr); },
         E_POINTER},
        {"GetScaledBypass", [&] { return settings->GetScaledBypass(nullptr); }, E_POINTER},
        {"GetScaledWetDry", [&] { return settings->GetScaledWetDry(nullptr); }, E_POINTER},
        {"GetPresetCount", [&] { return presets->GetPresetCount(nullptr); }, E_POINTER},
        {"GetPresetName", [&] { return presets->GetPresetName(0, nullptr, 64); }, E_POINTER},
        {"GetPages", [&] { return pages->GetPages(nullptr); }, E_POINTER},
        {"Load", [&] { return persist->Load(nullptr); }, E_POINTER},
        {"Save", [&] { return persist->Save(nullptr, TRUE); }, E_POINTER},
        {"GetSizeMax", [&] { return persist->GetSizeMax(nullptr); }, E_POINTER},
        {"IPersistStream::GetClassID", [&] { return persist->GetClassID(nullptr); }, E_POINTER},
        {"Process", [&] { return direct->Process(nullptr, 16, 0); }, E_POINTER},
        {"Drain count", [&] { return direct->Drain(nullptr, nullptr); }, E_POINTER},
    });
    EXPECT_EQ(pin, nullptr);
    persistFace->Release();
    media->Release();
}

TEST_F(BadHostTest, NullPointersToThePinsAreRefused) {
    AM_MEDIA_TYPE type{};
    IMediaSample* noSample = nullptr;
    long processed = -1;
    IMemAllocator* allocator = nullptr;
    std::vector<Case> cases;
    for (IPin* pin : {input, output}) {
        const bool in = pin == input;
        cases.insert(
            cases.end(),
            {
                {"ConnectedTo", [pin] { return pin->ConnectedTo(nullptr); }, E_POINTER},
                {"ConnectionMediaType", [pin] { return pin->ConnectionMediaType(nullptr); },
                 E_POINTER},
                {"QueryPinInfo", [pin] { return pin->QueryPinInfo(nullptr); }, E_POINTER},
                {"QueryDirection", [pin] { return pin->QueryDirection(nullptr); }, E_POINTER},
                {"QueryId", [pin] { return pin->QueryId(nullptr); }, E_POINTER},
                {"EnumMediaTypes", [pin] { return pin->EnumMediaTypes(nullptr); }, E_POINTER},
                {"QueryAccept", [pin] { return pin->QueryAccept(nullptr); }, E_POINTER},
                // Each pin refuses the half of the handshake that is not its own before anything.
                {"ReceiveConnection", [pin] { return pin->ReceiveConnection(nullptr, nullptr); },
                 in ? E_POINTER : E_UNEXPECTED},
                {"Connect", [pin] { return pin->Connect(nullptr, nullptr); },
                 in ? E_UNEXPECTED : E_POINTER},
                {"QueryInterface", [pin] { return pin->QueryInterface(IID_IPin, nullptr); },
                 E_POINTER},
            });
    }
    cases.insert(
        cases.end(),
        {
            {"GetAllocator", [&] { return memInput->GetAllocator(nullptr); }, E_POINTER},
            {"NotifyAllocator", [&] { return memInput->NotifyAllocator(nullptr, FALSE); },
             E_POINTER},
            {"GetAllocatorRequirements",
             [&] { return memInput->GetAllocatorRequirements(nullptr); }, E_POINTER},
            {"Receive", [&] { return memInput->Receive(nullptr); }, E_POINTER},
            {"ReceiveMultiple array",
             [&] { return memInput->ReceiveMultiple(nullptr, 1, &processed); }, E_POINTER},
            {"ReceiveMultiple count",
             [&] { return memInput->ReceiveMultiple(&noSample, 1, nullptr); }, E_POINTER},
            {"ReceiveMultiple null sample",
             [&] { return memInput->ReceiveMultiple(&noSample, 1, &processed); }, E_POINTER},
        });
    Expect(cases);
    EXPECT_EQ(processed, 0) << "the null sample was not counted";
    EXPECT_EQ(memInput->GetAllocator(&allocator), VFW_E_NO_ALLOCATOR);
    EXPECT_EQ(allocator, nullptr);
    EXPECT_EQ(input->ConnectionMediaType(&type), VFW_E_NOT_CONNECTED);
}

TEST_F(BadHostTest, IndicesOutOfRangeAreRefused) {
    MP_PARAMINFO paramInfo;
    WCHAR* text = nullptr;
    MP_DATA value = 0;
    GUID guid;
    WCHAR name[64] = L"untouched";
    MP_ENVELOPE_SEGMENT segment = {0, 10000000, 500, 900, MP_CURVE_LINEAR, 0};
    std::vector<Case> cases;
    for (DWORD bad : {DWORD(6), DWORD(0xFFFFFFFE)}) {
        cases.insert(
            cases.end(),
            {
                {"GetParamInfo", [&, bad] { return info->GetParamInfo(bad, &paramInfo); },
                 E_INVALIDARG},
                {"GetParamText", [&, bad] { return info->GetParamText(bad, &text); }, E_INVALIDARG},
                {"GetParam", [&, bad] { return params->GetParam(bad, &value); }, E_INVALIDARG},
                {"SetParam", [&, bad] { return params->SetParam(bad, 1.0f); }, E_INVALIDARG},
                {"AddEnvelope", [&, bad] { return params->AddEnvelope(bad, 1, &segment); },
                 E_INVALIDARG},
                {"FlushEnvelope", [&, bad] { return params->FlushEnvelope(bad, 0, LLONG_MAX); },
                 E_INVALIDARG},
            });
    }
    cases.insert(cases.end(),
                 {
                     {"GetSupportedTimeFormat(1)",
                      [&] { return info->GetSupportedTimeFormat(1, &guid); }, E_INVALIDARG},
                     {"GetPresetName(-1)", [&] { return presets->GetPresetName(-1, name, 64); },
                      E_INVALIDARG},
                     {"GetPresetName(18)", [&] { return presets->GetPresetName(18, name, 64); },
                      E_INVALIDARG},
                     {"GetPresetName length 0", [&] { return presets->GetPresetName(13, name, 0); },
                      E_INVALIDARG},
                     {"ApplyPreset(-1)", [&] { return presets->ApplyPreset(-1); }, E_INVALIDARG},
                     {"ApplyPreset(18)", [&] { return presets->ApplyPreset(18); }, E_INVALIDARG},
                 });
    Expect(cases);
    EXPECT_EQ(text, nullptr);
    EXPECT_STREQ(name, L"untouched");
    // The refused envelopes were not stored: a stream of the first parameter would follow them.
    EXPECT_EQ(params->FlushEnvelope(DWORD_ALLPARAMS, 0, LLONG_MAX), S_OK);

    // A one-character buffer holds only the terminator; the name is cut, not overrun.
    WCHAR tiny[2] = {L'x', L'y'};
    EXPECT_EQ(presets->GetPresetName(13, tiny, 1), S_OK);
    EXPECT_EQ(tiny[0], L'\0');
    EXPECT_EQ(tiny[1], L'y');
}

// A media sample from the platform's allocator, as an upstream filter would deliver it.
class SampleSource {
  public:
    explicit SampleSource(LONG bytes) {
        if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IMemAllocator, reinterpret_cast<void**>(&allocator_))))
            return;
        ALLOCATOR_PROPERTIES want = {1, bytes, 1, 0}, got{};
        if (FAILED(allocator_->SetProperties(&want, &got)) || FAILED(allocator_->Commit())) return;
        if (FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0))) sample = nullptr;
    }
    ~SampleSource() {
        if (sample) sample->Release();
        if (allocator_) {
            allocator_->Decommit();
            allocator_->Release();
        }
    }
    IMediaSample* sample = nullptr;

  private:
    IMemAllocator* allocator_ = nullptr;
};

TEST_F(BadHostTest, StreamingCallsInTheWrongStateChangeNothing) {
    SampleSource source(256);
    ASSERT_NE(source.sample, nullptr) << "no memory allocator";
    BYTE* data = nullptr;
    ASSERT_EQ(source.sample->GetPointer(&data), S_OK);
    for (int i = 0; i < 256; ++i)
        data[i] = BYTE(i);
    ASSERT_EQ(source.sample->SetActualDataLength(200), S_OK);
    IMediaSample* batch[] = {source.sample, source.sample};
    long processed = -1;
    Expect({
        {"Receive while stopped", [&] { return memInput->Receive(source.sample); },
         VFW_E_WRONG_STATE},
        {"ReceiveMultiple while stopped",
         [&] { return memInput->ReceiveMultiple(batch, 2, &processed); }, VFW_E_WRONG_STATE},
        {"EndOfStream while stopped", [&] { return input->EndOfStream(); }, VFW_E_WRONG_STATE},
        {"EndOfStream again", [&] { return input->EndOfStream(); }, VFW_E_WRONG_STATE},
        {"NewSegment unconnected", [&] { return input->NewSegment(0, 10000000, 1.0); },
         VFW_E_NOT_CONNECTED},
        {"BeginFlush unconnected", [&] { return input->BeginFlush(); }, VFW_E_NOT_CONNECTED},
        {"EndFlush unconnected", [&] { return input->EndFlush(); }, VFW_E_NOT_CONNECTED},
    });
    EXPECT_EQ(processed, 0);
    EXPECT_EQ(source.sample->GetActualDataLength(), 200) << "a refused sample was touched";
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(data[i], BYTE(i)) << i;

    // Paused but unconnected, a sample has no format to be processed in: refused untouched,
    // and not as a flushed one, since the refused flush just before left no flag behind.
    EXPECT_EQ(input->BeginFlush(), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(filter->Pause(), S_OK);
    EXPECT_EQ(memInput->Receive(source.sample), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(input->EndOfStream(), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(source.sample->GetActualDataLength(), 200);
    ASSERT_EQ(filter->Stop(), S_OK);
}

// In a graph that has streamed a file to its end and still runs: a flush drops what arrives
// during it untouched, end-of-stream may come again and again, and afterwards a sample is
// processed as before, with no error event and the settings as they were.
TEST_F(BadHostTest, InARunningGraphFlushesDropSamplesAndEndOfStreamMayRepeat) {
    const int rate = 44100, channels = 2;
    const std::wstring path = TempWavPath(L"rf_bad_host_running");
    ASSERT_TRUE(WriteWav16(path, channels, rate, TestSignal(channels, rate / 2)));
    CountingCallback counter;
    {
        AudioGraph graph;
        ASSERT_EQ(graph.Build(path, filter, &counter), S_OK)
            << (graph.FailedStep() ? graph.FailedStep() : "?");
        ASSERT_HRESULT_SUCCEEDED(graph.Run());
        ASSERT_TRUE(graph.WaitForComplete(20000));
        const LONG delivered = counter.Buffers();
        ASSERT_GT(delivered, 0);

        SampleSource source(4 * 64);
        ASSERT_NE(source.sample, nullptr) << "no memory allocator";
        BYTE* data = nullptr;
        ASSERT_EQ(source.sample->GetPointer(&data), S_OK);
        const std::vector<int16_t> signal = TestSignal(channels, 64);
        memcpy(data, signal.data(), 4 * 64);
        ASSERT_EQ(source.sample->SetActualDataLength(4 * 64), S_OK);
        Expect({
            {"BeginFlush", [&] { return input->BeginFlush(); }, S_OK},
            {"Receive while flushing", [&] { return memInput->Receive(source.sample); }, S_FALSE},
            {"EndOfStream while flushing", [&] { return input->EndOfStream(); }, S_FALSE},
            {"EndFlush", [&] { return input->EndFlush(); }, S_OK},
        });
        EXPECT_EQ(memcmp(data, signal.data(), 4 * 64), 0) << "a flushed sample was processed";
        EXPECT_EQ(counter.Buffers(), delivered) << "a flushed sample went on";

        Expect({
            {"EndOfStream once more", [&] { return input->EndOfStream(); }, S_OK},
            {"EndOfStream again", [&] { return input->EndOfStream(); }, S_OK},
        });
        const HRESULT after = memInput->Receive(source.sample);
        EXPECT_TRUE(after == S_OK || after == S_FALSE) << std::hex << after;
        EXPECT_NE(memcmp(data, signal.data(), 4 * 64), 0)
            << "the sample after them was not filtered";
        ASSERT_HRESULT_SUCCEEDED(graph.Stop());
        for (long code : graph.Events())
            EXPECT_TRUE(code == EC_COMPLETE || code == EC_CLOCK_UNSET || code == EC_PAUSED)
                << "graph event " << code;
    }
    DeleteFileW(path.c_str());
    EXPECT_EQ(counter.Refs(), 0);
}

TEST_F(BadHostTest, DirectProcessingRefusesOrShrugsOffBadCalls) {
    std::vector<float> buffer(8, 0.25f);
    UINT count = 4;
    Expect({
        {"Init 0 channels", [&] { return direct->Init(0, 44100); }, E_INVALIDARG},
        {"Init 0 rate", [&] { return direct->Init(2, 0); }, E_INVALIDARG},
        {"Process before Init", [&] { return direct->Process(buffer.data(), 4, 0); }, S_OK},
        {"Process nothing", [&] { return direct->Process(nullptr, 0, 0); }, S_OK},
        {"Drain before Init", [&] { return direct->Drain(buffer.data(), &count); }, S_FALSE},
    });
    EXPECT_EQ(count, 0u);
    for (float v : buffer)
        EXPECT_EQ(v, 0.25f) << "audio changed with no format to process it in";
    WAVEFORMATEX format;
    EXPECT_EQ(settings->GetWaveFormat(&format), VFW_E_NOT_CONNECTED) << "a refused Init stored";

    // Initialised, a count the buffer holds is processed; a drain with an absurd count writes
    // nothing, since a drain produces no frames.
    ASSERT_EQ(direct->Init(2, 48000), S_OK);
    std::vector<float> guarded(2 * 3, 7.0f);
    EXPECT_EQ(direct->Process(guarded.data(), 1, 0), S_OK);
    EXPECT_EQ(guarded[2], 7.0f) << "wrote past the one frame given";
    count = UINT_MAX;
    EXPECT_EQ(direct->Drain(guarded.data() + 2, &count), S_FALSE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(guarded[2], 7.0f);
    count = UINT_MAX;
    EXPECT_EQ(direct->Drain(nullptr, &count), S_FALSE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(direct->Stop(), S_OK);
}

}  // namespace
