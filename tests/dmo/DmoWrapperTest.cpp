// The DMO inside Wine's DMO Wrapper filter, in the graph a DirectShow application builds: File
// Source (Async), WAVE Parser, the wrapper after Init with the DMO's class and the audio-effect
// category, and a recording Sample Grabber. With the same seeded settings and automation, set
// through the wrapper's faces, it must give the filter's output in the same graph byte for byte.
// The wrapper creates the DMO with CoCreateInstance; the DLL's class object is registered in this
// process for it, so the registry is left alone.
#include <cstdlib>
#include <string>

#include "filter/FilterDll.h"
#include "filter/WavWriter.h"
#include "robustness/RandomAutomation.h"
#include "support/win32/WavFile.h"
#include "tools/graph/AudioGraph.h"
#include "tools/graph/PushSource.h"

#include <dmodshow.h>
#include <dmoreg.h>
#include <mediaobj.h>

namespace {

struct Format {
    WORD tag, channels, bits;
};

// Every format the filter takes, as the WAVE Parser hands them on: integer PCM in mono and
// stereo in the plain layout, float and more channels in the extensible one.
constexpr Format kFormats[] = {
    {WAVE_FORMAT_PCM, 1, 8},         {WAVE_FORMAT_PCM, 2, 8},
    {WAVE_FORMAT_PCM, 1, 16},        {WAVE_FORMAT_PCM, 2, 16},
    {WAVE_FORMAT_PCM, 1, 32},        {WAVE_FORMAT_PCM, 2, 32},
    {WAVE_FORMAT_IEEE_FLOAT, 1, 32}, {WAVE_FORMAT_IEEE_FLOAT, 2, 32},
    {WAVE_FORMAT_IEEE_FLOAT, 1, 64}, {WAVE_FORMAT_IEEE_FLOAT, 2, 64},
    {WAVE_FORMAT_IEEE_FLOAT, 6, 32}, {WAVE_FORMAT_PCM, 8, 16},
    {WAVE_FORMAT_PCM, 2, 24},
};

// RandomSignal draws wide PCM as 32 bits: packed 24-bit samples keep each one's top three bytes.
std::vector<uint8_t> Signal(std::mt19937& rng, const Format& f, size_t frames) {
    WAVEFORMATEX drawn{};
    drawn.wFormatTag = f.tag;
    drawn.nChannels = f.channels;
    drawn.wBitsPerSample = f.bits == 24 ? 32 : f.bits;
    drawn.nBlockAlign = WORD(f.channels * drawn.wBitsPerSample / 8);
    const std::vector<uint8_t> bytes = RandomSignal(rng, drawn, frames);
    if (f.bits != 24) return bytes;
    std::vector<uint8_t> packed;
    for (size_t i = 0; i < bytes.size(); i += 4)
        packed.insert(packed.end(), bytes.begin() + i + 1, bytes.begin() + i + 4);
    return packed;
}
constexpr DWORD kRates[] = {22050, 44100, 48000, 96000};

// One run's settings and automation, drawn from the seed.
struct RunSettings {
    MP_DATA values[kParamCount];
    std::vector<std::pair<DWORD, std::vector<MP_ENVELOPE_SEGMENT>>> envelopes;

    // Wet/Dry at 0 or Bypass may leave the signal as it came.
    bool MayPassThrough() const {
        for (const auto& e : envelopes)
            if (e.first == kParamWetDry || e.first == kParamBypass) return true;
        return values[kParamWetDry] == 0;
    }
};

// Frequency and Filter Type always move; the others now and then.
RunSettings RandomRunSettings(std::mt19937& rng, REFERENCE_TIME span) {
    RunSettings s;
    for (DWORD i = 0; i < kParamCount; ++i)
        s.values[i] = i == kParamBypass ? 0 : RandomLegalValue(rng, i);
    for (DWORD i = 0; i < kParamCount; ++i) {
        if (i != kParamFrequency && i != kParamFilterType && Uniform(rng, 0, 1) < 0.5) continue;
        std::vector<MP_ENVELOPE_SEGMENT> segments = RandomEnvelope(rng, i, span, false);
        if (!segments.empty()) s.envelopes.emplace_back(i, std::move(segments));
    }
    return s;
}

// What reached the grabber: the non-empty buffers, and the types on both sides of the object.
struct Capture {
    std::vector<long> cuts;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> inputFormat, outputFormat;
    GUID inputSubtype{}, outputSubtype{};
};

std::vector<uint8_t> ConnectedFormat(IBaseFilter* filter, PIN_DIRECTION direction, GUID* subtype) {
    IPin* pin = FirstPin(filter, direction);
    AM_MEDIA_TYPE type{};
    std::vector<uint8_t> format;
    if (pin != nullptr && SUCCEEDED(pin->ConnectionMediaType(&type))) {
        *subtype = type.subtype;
        format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
        CoTaskMemFree(type.pbFormat);
        if (type.pUnk != nullptr) type.pUnk->Release();
    }
    if (pin != nullptr) pin->Release();
    return format;
}

// Sets the run's values and envelopes through the faces `object` hands out.
void Configure(IUnknown* object, const RunSettings& s) {
    IFilterSettings* settings = nullptr;
    IMediaParams* params = nullptr;
    ASSERT_EQ(object->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)),
              S_OK);
    ASSERT_EQ(object->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    EXPECT_EQ(settings->SetAllParams(s.values), S_OK);
    for (const auto& e : s.envelopes) {
        std::vector<MP_ENVELOPE_SEGMENT> segments = e.second;
        EXPECT_EQ(params->AddEnvelope(e.first, DWORD(segments.size()), segments.data()), S_OK);
    }
    params->Release();
    settings->Release();
}

// Streams the file through `object` in the recipe graph and takes the object's last reference.
Capture Stream(const std::wstring& path, IBaseFilter* object) {
    Capture c;
    SampleRecorder recorder;
    {
        AudioGraph graph;
        const HRESULT hr = graph.Build(path, object, &recorder);
        EXPECT_EQ(hr, S_OK) << (graph.FailedStep() ? graph.FailedStep() : "?");
        if (SUCCEEDED(hr)) {
            c.inputFormat = ConnectedFormat(object, PINDIR_INPUT, &c.inputSubtype);
            c.outputFormat = ConnectedFormat(object, PINDIR_OUTPUT, &c.outputSubtype);
            EXPECT_HRESULT_SUCCEEDED(graph.Run());
            EXPECT_TRUE(graph.WaitForComplete(30000)) << "the stream did not complete";
            graph.Stop();
        }
    }
    EXPECT_EQ(object->Release(), 0u) << "the graph or the test kept a reference";
    for (const RecordedSample& r : recorder.Samples()) {
        if (r.length == 0) continue;  // the filter's end-of-stream buffer
        c.cuts.push_back(r.length);
        c.bytes.insert(c.bytes.end(), r.bytes.begin(), r.bytes.end());
    }
    EXPECT_EQ(recorder.Refs(), 0);
    return c;
}

class DmoWrapperTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Factory(&factory_, CLSID_ResonantFilterDmo), S_OK);
        ASSERT_EQ(CoRegisterClassObject(CLSID_ResonantFilterDmo, factory_, CLSCTX_INPROC_SERVER,
                                        REGCLS_MULTIPLEUSE, &cookie_),
                  S_OK);
    }
    void TearDown() override { Revoke(); }

    void Revoke() {
        if (cookie_ != 0) CoRevokeClassObject(cookie_);
        cookie_ = 0;
        if (factory_ != nullptr) factory_->Release();
        factory_ = nullptr;
    }

    // The wrapper, as an application makes it, holding the DMO.
    IBaseFilter* CreateWrapper() {
        IBaseFilter* filter = nullptr;
        IDMOWrapperFilter* wrapper = nullptr;
        EXPECT_EQ(CoCreateInstance(CLSID_DMOWrapperFilter, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IBaseFilter, reinterpret_cast<void**>(&filter)),
                  S_OK);
        if (filter == nullptr) return nullptr;
        EXPECT_EQ(filter->QueryInterface(IID_IDMOWrapperFilter, reinterpret_cast<void**>(&wrapper)),
                  S_OK);
        if (wrapper != nullptr) {
            EXPECT_EQ(wrapper->Init(CLSID_ResonantFilterDmo, DMOCATEGORY_AUDIO_EFFECT), S_OK)
                << "CoCreateInstance did not find the class object registered in the process";
            wrapper->Release();
        }
        return filter;
    }

    IClassFactory* factory_ = nullptr;
    DWORD cookie_ = 0;
};

TEST_F(DmoWrapperTest, TheWrapperGivesTheFiltersOutputInEveryFormatWithAutomation) {
    // RF_DMO_SEED replays a run; each format takes its own stream of numbers from it.
    const char* seedText = std::getenv("RF_DMO_SEED");
    const unsigned seed = seedText != nullptr ? unsigned(std::strtoul(seedText, nullptr, 10)) : 1;
    const std::wstring path = TempWavPath(L"rf_dmo_graph");
    for (const Format& f : kFormats) {
        std::mt19937 rng(seed * 1000 + unsigned(&f - kFormats));
        const DWORD rate = kRates[rng() % 4];
        const size_t frames = size_t(Uniform(rng, 0.3, 1.3) * rate);
        const REFERENCE_TIME span = REFERENCE_TIME(frames) * 10000000 / rate;
        const std::vector<uint8_t> input = Signal(rng, f, frames);
        const RunSettings setup = RandomRunSettings(rng, span);
        SCOPED_TRACE(::testing::Message()
                     << "seed " << seed << ", tag " << f.tag << ", " << f.channels << " ch, "
                     << f.bits << " bits, " << rate << " Hz, " << frames << " frames");
        ASSERT_TRUE(WriteWav(path, f.tag, f.channels, rate, f.bits, input));

        IBaseFilter* filter = nullptr;
        ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        Configure(filter, setup);
        const Capture expected = Stream(path, filter);

        IBaseFilter* wrapper = CreateWrapper();
        ASSERT_NE(wrapper, nullptr);
        Configure(wrapper, setup);
        const Capture got = Stream(path, wrapper);

        ASSERT_EQ(expected.bytes.size(), input.size()) << "the filter's run is incomplete";
        if (!setup.MayPassThrough()) {
            EXPECT_NE(expected.bytes, input) << "the settings left the signal as it was";
        }
        EXPECT_EQ(got.cuts, expected.cuts) << "the wrapper cut the stream differently";
        EXPECT_TRUE(got.bytes == expected.bytes) << "the DMO's output differs from the filter's";
        // The DMO works in place: what leaves it is typed as what came in, extensible or not.
        EXPECT_EQ(got.inputFormat, expected.inputFormat);
        EXPECT_EQ(got.outputFormat, got.inputFormat);
        EXPECT_TRUE(IsEqualGUID(got.outputSubtype, got.inputSubtype));
        const WORD tag =
            got.inputFormat.size() >= 2 ? WORD(got.inputFormat[0] | got.inputFormat[1] << 8) : 0;
        const bool extensible = f.tag == WAVE_FORMAT_IEEE_FLOAT || f.channels > 2;
        EXPECT_EQ(tag, extensible ? WAVE_FORMAT_EXTENSIBLE : f.tag);
    }
    DeleteFileW(path.c_str());
}

// AC-3 over S/PDIF, as its own tag and as IEC 61937 in an extensible record, is a bitstream for
// a receiver: neither the filter nor the wrapped DMO connects to it, so nothing is filtered.
TEST_F(DmoWrapperTest, NeitherFaceConnectsToAnSpdifBitstream) {
    const DWORD kSpdifTag = 0x0092;
    GUID spdif = MEDIASUBTYPE_PCM;  // the tag in the base media subtype, as sub-formats are too
    spdif.Data1 = kSpdifTag;
    std::vector<uint8_t> plain = WaveRecord(WORD(kSpdifTag), 2, 48000, 16);
    plain.resize(sizeof(WAVEFORMATEX));  // cbSize 0
    std::vector<uint8_t> iec61937 = WaveRecord(WAVE_FORMAT_PCM, 2, 48000, 16, 16, true);
    std::memcpy(&iec61937[24], &kSpdifTag, 4);
    std::mt19937 rng(3);
    const WAVEFORMATEX frames = {WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
    const std::vector<uint8_t> bitstream = RandomSignal(rng, frames, 9600);
    for (std::vector<uint8_t>* record : {&plain, &iec61937}) {
        for (bool wrapped : {false, true}) {
            SCOPED_TRACE(::testing::Message() << (record == &plain ? "plain" : "IEC 61937")
                                              << (wrapped ? ", wrapper" : ", filter"));
            AM_MEDIA_TYPE type = PlainAudioType(reinterpret_cast<WAVEFORMATEX*>(record->data()),
                                                ULONG(record->size()));
            type.subtype = spdif;
            PushSource* source = nullptr;
            ASSERT_EQ(PushSource::Create(type, bitstream,
                                         SamplesOf(BlockSchedule(9600, 4800, 48000), 4), &source),
                      S_OK);
            IBaseFilter* object = nullptr;
            if (wrapped) {
                object = CreateWrapper();
            } else {
                ASSERT_EQ(dll.Create(IID_IBaseFilter, &object), S_OK);
            }
            ASSERT_NE(object, nullptr);
            SampleRecorder recorder;
            {
                AudioGraph graph;
                EXPECT_TRUE(FAILED(graph.BuildFromSource(source, object, &recorder)));
                EXPECT_STREQ(graph.FailedStep(), "source->filter");
            }
            IFilterSettings* settings = nullptr;
            ASSERT_EQ(
                object->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)),
                S_OK);
            WAVEFORMATEX stored{};
            EXPECT_EQ(settings->GetWaveFormat(&stored), VFW_E_NOT_CONNECTED) << "a format stored";
            settings->Release();
            EXPECT_TRUE(recorder.Samples().empty());
            EXPECT_EQ(object->Release(), 0u);
            source->Release();
        }
    }
}

TEST_F(DmoWrapperTest, TheWrapperHandsOutTheAggregatedDmoAndTheDllUnloadsAfterwards) {
    IBaseFilter* wrapper = CreateWrapper();
    ASSERT_NE(wrapper, nullptr);
    const ULONG before = RefCount(wrapper);
    IMediaParams* params = nullptr;
    ASSERT_EQ(wrapper->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    EXPECT_EQ(RefCount(wrapper), before + 1) << "the DMO's faces count on the wrapper";

    // Every face of the DMO is reached through the wrapper, and answers for the wrapper.
    const IID* faces[] = {&IID_IMediaObject,    &IID_IMediaObjectInPlace,
                          &IID_IMediaParamInfo, &IID_IMediaParamsSetUICallback,
                          &IID_IPersistStream,  &IID_ISpecifyPropertyPages,
                          &IID_IFilterSettings, &IID_IFilterPresets};
    for (const IID* iid : faces) {
        IUnknown* face = nullptr;
        EXPECT_EQ(wrapper->QueryInterface(*iid, reinterpret_cast<void**>(&face)), S_OK);
        if (face == nullptr) continue;
        IBaseFilter* back = nullptr;
        EXPECT_EQ(face->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, wrapper);
        if (back != nullptr) back->Release();
        face->Release();
    }
    IUnknown* outer = nullptr;
    IUnknown* own = nullptr;
    params->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&outer));
    wrapper->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&own));
    EXPECT_EQ(outer, own) << "the DMO's identity is the wrapper's";
    if (outer != nullptr) outer->Release();
    if (own != nullptr) own->Release();

    EXPECT_EQ(RefCount(wrapper), before + 1);
    params->Release();
    EXPECT_EQ(wrapper->Release(), 0u);
    Revoke();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "a DMO or a lock outlived the wrapper";
}

}  // namespace
