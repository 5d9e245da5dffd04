// The filter's DMO face: its COM identity, the stream state machine a DMO host drives, and its
// buffers filtered exactly as the filter's own paths filter them.
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "DmoSupport.h"
#include "FilterDll.h"
#include "RecordingOuter.h"

#include <mediaerr.h>

namespace {

constexpr DWORD kRate = 44100;

std::vector<float> Noise(size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> level(-0.5f, 0.5f);
    std::vector<float> samples(count);
    for (float& s : samples)
        s = level(random);
    return samples;
}

// What a DMO asks beyond the pin's check: wave audio named as such.
bool IsWaveAudio(const AM_MEDIA_TYPE& type) {
    return IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) &&
           (IsEqualGUID(type.subtype, MEDIASUBTYPE_PCM) ||
            IsEqualGUID(type.subtype, MEDIASUBTYPE_IEEE_FLOAT));
}

class DmoTest : public FilterDllTest {
  protected:
    IMediaObject* NewDmo() {
        IMediaObject* dmo = nullptr;
        EXPECT_EQ(dll.Create(IID_IMediaObject, &dmo, nullptr, CLSID_ResonantFilterDmo), S_OK);
        return dmo;
    }
    // A DMO streaming stereo float at kRate.
    IMediaObject* StereoFloatDmo() {
        IMediaObject* dmo = NewDmo();
        AudioType type(WAVE_FORMAT_IEEE_FLOAT, 2, kRate, 32);
        EXPECT_EQ(dmo->SetInputType(0, type.Dmo(), 0), S_OK);
        EXPECT_EQ(dmo->SetOutputType(0, type.Dmo(), 0), S_OK);
        return dmo;
    }
    // The whole of `input` through ProcessInput, then ProcessOutput into buffers of `room`
    // bytes until it is complete; the output bytes, and each piece's time stamp.
    static std::vector<BYTE> RunThrough(IMediaObject* dmo, const std::vector<float>& input,
                                        REFERENCE_TIME time, DWORD room,
                                        std::vector<REFERENCE_TIME>* stamps = nullptr) {
        MemoryBuffer in(DWORD(input.size() * sizeof(float)));
        in.Fill(input.data(), in.GetMax());
        EXPECT_EQ(dmo->ProcessInput(0, &in, DMO_INPUT_DATA_BUFFERF_TIME, time, 0), S_OK);
        std::vector<BYTE> out;
        DMO_OUTPUT_DATA_BUFFER piece{};
        do {
            MemoryBuffer buffer(room);
            piece = {&buffer, 0, 0, 0};
            DWORD status = 0;
            EXPECT_EQ(dmo->ProcessOutput(0, 1, &piece, &status), S_OK);
            out.insert(out.end(), buffer.bytes.begin(), buffer.bytes.begin() + buffer.length);
            if (stamps && (piece.dwStatus & DMO_OUTPUT_DATA_BUFFERF_TIME))
                stamps->push_back(piece.rtTimestamp);
        } while (piece.dwStatus & DMO_OUTPUT_DATA_BUFFERF_INCOMPLETE);
        EXPECT_EQ(in.refs, 1) << "the DMO keeps no reference once the buffer is done";
        return out;
    }
};

TEST_F(DmoTest, EveryFaceAnswersWithOneIdentityAlsoWhenAggregated) {
    const IID* const faces[] = {
        &IID_IMediaObject,    &IID_IMediaObjectInPlace,       &IID_IMediaParams,
        &IID_IMediaParamInfo, &IID_IMediaParamsSetUICallback, &IID_IPersistStream,
        &IID_IPersist,        &IID_ISpecifyPropertyPages,     &IID_IFilterSettings,
        &IID_IFilterPresets};
    RecordingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(dll.Create(IID_IUnknown, &inner, &outer, CLSID_ResonantFilterDmo), S_OK);
    outer.inner = inner;
    for (const IID* iid : faces) {
        IUnknown* face = nullptr;
        ASSERT_EQ(inner->QueryInterface(*iid, reinterpret_cast<void**>(&face)), S_OK);
        EXPECT_EQ(outer.refs, 2) << "the face's reference is the outer's";
        IUnknown* identity = nullptr;
        ASSERT_EQ(face->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
        EXPECT_EQ(identity, &outer);
        identity->Release();
        face->Release();
    }
    void* none = nullptr;
    EXPECT_EQ(inner->QueryInterface(IID_IBaseFilter, &none), E_NOINTERFACE);
    EXPECT_EQ(inner->QueryInterface(IID_IDirectProcess, &none), E_NOINTERFACE);
    IPersist* persist = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
    CLSID clsid{};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_ResonantFilterDmo));
    persist->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// The DMO's input takes exactly what the filter's input pin takes, less the types the pin lets
// through with a subtype or format type that no audio effect should take.
TEST_F(DmoTest, InputTypesAreThoseTheFilterAcceptsThatNameWaveAudio) {
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
    IPin* pin = nullptr;
    ASSERT_EQ(filter->FindPin(L"Input", &pin), S_OK);
    IMediaObject* dmo = NewDmo();
    std::mt19937 random(7);
    const WORD tags[] = {WAVE_FORMAT_PCM, WAVE_FORMAT_IEEE_FLOAT, 2};
    const WORD bits[] = {8, 16, 24, 32, 64, 12};
    const DWORD rates[] = {8000, 44100, 192000, 0};
    // The first two of each are what a DMO takes.
    const GUID* const subtypes[] = {&MEDIASUBTYPE_PCM, &MEDIASUBTYPE_IEEE_FLOAT, &MEDIASUBTYPE_RGB8,
                                    &GUID_NULL};
    const GUID* const formats[] = {&FORMAT_WaveFormatEx, &FORMAT_WaveFormatEx, &FORMAT_VideoInfo,
                                   &FORMAT_None, &GUID_NULL};
    int accepted = 0;
    for (int i = 0; i < 300; ++i) {
        AudioType type(tags[random() % 3], WORD(random() % 4), rates[random() % 4],
                       bits[random() % 6], random() % 2);
        if (random() % 8 == 0) type.type.majortype = MEDIATYPE_Video;
        if (random() % 8 == 0) type.type.bTemporalCompression = TRUE;
        if (random() % 8 == 0) type.type.cbFormat = 14;
        const bool audioNamed = random() % 4 != 0;
        if (!audioNamed) {
            type.type.subtype = *subtypes[random() % 4];
            type.type.formattype = *formats[random() % 5];
        }
        const bool filterTakes = pin->QueryAccept(type.Am()) == S_OK;
        const bool dmoTakes = filterTakes && (audioNamed || IsWaveAudio(type.type));
        accepted += dmoTakes;
        EXPECT_EQ(dmo->SetInputType(0, type.Dmo(), DMO_SET_TYPEF_TEST_ONLY),
                  dmoTakes ? S_OK : DMO_E_TYPE_NOT_ACCEPTED)
            << "case " << i;
    }
    EXPECT_GT(accepted, 10);

    // Each name refused over a record the pin takes, and last the type DirectSound sets: float
    // named over a PCM record, cbSize 18 inside an 18-byte block, lSampleSize 1.
    const struct {
        const GUID* subtype;
        const GUID* format;
        bool dmoTakes;
    } named[] = {
        {&MEDIASUBTYPE_RGB8, &FORMAT_WaveFormatEx, false},
        {&GUID_NULL, &FORMAT_WaveFormatEx, false},
        {&MEDIASUBTYPE_PCM, &FORMAT_VideoInfo, false},
        {&MEDIASUBTYPE_PCM, &FORMAT_None, false},
        {&MEDIASUBTYPE_PCM, &GUID_NULL, false},
        {&GUID_NULL, &GUID_NULL, false},
        {&MEDIASUBTYPE_IEEE_FLOAT, &FORMAT_WaveFormatEx, true},
    };
    for (const auto& row : named) {
        AudioType type(WAVE_FORMAT_PCM, 2, 48000, 16);
        type.wave.Format.cbSize = 18;
        type.type.lSampleSize = 1;
        type.type.subtype = *row.subtype;
        type.type.formattype = *row.format;
        const size_t i = &row - named;
        EXPECT_EQ(pin->QueryAccept(type.Am()), S_OK) << "row " << i;
        EXPECT_EQ(dmo->SetInputType(0, type.Dmo(), DMO_SET_TYPEF_TEST_ONLY),
                  row.dmoTakes ? S_OK : DMO_E_TYPE_NOT_ACCEPTED)
            << "row " << i;
        EXPECT_EQ(dmo->SetOutputType(0, type.Dmo(), DMO_SET_TYPEF_TEST_ONLY),
                  row.dmoTakes ? DMO_E_TYPE_NOT_SET : DMO_E_TYPE_NOT_ACCEPTED)
            << "row " << i;
        if (row.dmoTakes) {
            EXPECT_EQ(dmo->SetInputType(0, type.Dmo(), 0), S_OK);
            EXPECT_EQ(dmo->SetOutputType(0, type.Dmo(), 0), S_OK);
        }
    }
    ASSERT_EQ(dmo->SetInputType(0, nullptr, DMO_SET_TYPEF_CLEAR), S_OK);
    DMO_MEDIA_TYPE current{};
    EXPECT_EQ(dmo->GetInputCurrentType(0, &current), DMO_E_TYPE_NOT_SET) << "a test only";
    EXPECT_EQ(dmo->Release(), 0u);
    pin->Release();
    EXPECT_EQ(filter->Release(), 0u);
}

TEST_F(DmoTest, TheOutputIsTheInputTypeAndNothingWorksBeforeBoth) {
    IMediaObject* dmo = NewDmo();
    MemoryBuffer buffer(64);
    buffer.length = 64;
    DMO_MEDIA_TYPE got{};
    EXPECT_EQ(dmo->GetOutputType(0, 0, &got), DMO_E_TYPE_NOT_SET);
    EXPECT_EQ(dmo->ProcessInput(0, &buffer, 0, 0, 0), DMO_E_TYPE_NOT_SET);
    EXPECT_EQ(dmo->Discontinuity(0), DMO_E_TYPE_NOT_SET);
    EXPECT_EQ(dmo->AllocateStreamingResources(), DMO_E_TYPE_NOT_SET);
    IMediaObjectInPlace* inPlace = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IMediaObjectInPlace, reinterpret_cast<void**>(&inPlace)),
              S_OK);
    EXPECT_EQ(inPlace->Process(64, buffer.bytes.data(), 0, 0), DMO_E_TYPE_NOT_SET);

    // Two partial types offered, then no more.
    for (DWORD i = 0; i < 2; ++i) {
        ASSERT_EQ(dmo->GetInputType(0, i, &got), S_OK);
        EXPECT_TRUE(IsEqualGUID(got.majortype, MEDIATYPE_Audio));
        EXPECT_EQ(got.cbFormat, 0u);
    }
    EXPECT_EQ(dmo->GetInputType(0, 2, &got), DMO_E_NO_MORE_ITEMS);

    AudioType stereo(WAVE_FORMAT_IEEE_FLOAT, 2, kRate, 32, true);
    AudioType mono16(WAVE_FORMAT_PCM, 1, kRate, 16);
    EXPECT_EQ(dmo->SetOutputType(0, stereo.Dmo(), 0), DMO_E_TYPE_NOT_SET);
    ASSERT_EQ(dmo->SetInputType(0, stereo.Dmo(), 0), S_OK);
    EXPECT_EQ(dmo->SetOutputType(0, mono16.Dmo(), 0), DMO_E_TYPE_NOT_ACCEPTED);
    ASSERT_EQ(dmo->GetOutputType(0, 0, &got), S_OK);
    ASSERT_EQ(got.cbFormat, sizeof stereo.wave);
    EXPECT_EQ(std::memcmp(got.pbFormat, &stereo.wave, got.cbFormat), 0);
    CoTaskMemFree(got.pbFormat);
    EXPECT_EQ(dmo->GetOutputType(0, 1, &got), DMO_E_NO_MORE_ITEMS);
    EXPECT_EQ(dmo->ProcessInput(0, &buffer, 0, 0, 0), DMO_E_TYPE_NOT_SET) << "no output type";
    ASSERT_EQ(dmo->SetOutputType(0, stereo.Dmo(), 0), S_OK);
    DWORD size = 0, alignment = 0;
    ASSERT_EQ(dmo->GetOutputSizeInfo(0, &size, &alignment), S_OK);
    EXPECT_EQ(size, stereo.wave.Format.nAvgBytesPerSec) << "one second";

    // Another input type drops the output type made for the old one.
    ASSERT_EQ(dmo->SetInputType(0, mono16.Dmo(), 0), S_OK);
    EXPECT_EQ(dmo->GetOutputCurrentType(0, &got), DMO_E_TYPE_NOT_SET);

    // 5.1 with 24 valid bits in 32: the output is that very record, the settings show its plain
    // container, and the bits below the valid ones come out zero.
    AudioType wide(WAVE_FORMAT_PCM, 6, kRate, 32, true);
    wide.wave.Samples.wValidBitsPerSample = 24;
    wide.wave.dwChannelMask = 0x3F;
    ASSERT_EQ(dmo->SetInputType(0, wide.Dmo(), 0), S_OK);
    ASSERT_EQ(dmo->GetOutputType(0, 0, &got), S_OK);
    ASSERT_EQ(got.cbFormat, sizeof wide.wave);
    EXPECT_EQ(std::memcmp(got.pbFormat, &wide.wave, got.cbFormat), 0);
    CoTaskMemFree(got.pbFormat);
    ASSERT_EQ(dmo->SetOutputType(0, wide.Dmo(), 0), S_OK);
    IFilterSettings* settings = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings)), S_OK);
    WAVEFORMATEX shown{};
    ASSERT_EQ(settings->GetWaveFormat(&shown), S_OK);
    EXPECT_EQ(shown.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(shown.wBitsPerSample, 32);
    EXPECT_EQ(shown.cbSize, 0);
    settings->Release();
    std::vector<int32_t> frames(6 * 512);
    std::mt19937 random(5);
    for (int32_t& v : frames)
        v = int32_t(random() & 0xFFFFFF00u) / 2;  // half-scale noise
    ASSERT_EQ(
        inPlace->Process(ULONG(frames.size() * 4), reinterpret_cast<BYTE*>(frames.data()), 0, 0),
        S_FALSE);
    size_t dirty = 0;
    for (int32_t v : frames)
        dirty += (v & 0xFF) != 0;
    EXPECT_EQ(dirty, 0u);

    // Every stream index but 0 is refused.
    DWORD flags = 0, lookahead = 0;
    REFERENCE_TIME latency = 0;
    EXPECT_EQ(dmo->GetInputStreamInfo(1, &flags), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetOutputStreamInfo(1, &flags), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetInputType(1, 0, &got), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetOutputType(1, 0, &got), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->SetInputType(1, mono16.Dmo(), 0), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->SetOutputType(1, mono16.Dmo(), 0), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetInputCurrentType(1, &got), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetInputSizeInfo(1, &size, &lookahead, &alignment), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetOutputSizeInfo(1, &size, &alignment), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetInputMaxLatency(1, &latency), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->Discontinuity(1), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->GetInputStatus(1, &flags), DMO_E_INVALIDSTREAMINDEX);
    EXPECT_EQ(dmo->ProcessInput(1, &buffer, 0, 0, 0), DMO_E_INVALIDSTREAMINDEX);
    inPlace->Release();
    EXPECT_EQ(dmo->Release(), 0u);
}

TEST_F(DmoTest, OneBufferIsHeldAndFinishedInPiecesWithTheirTimes) {
    IMediaObject* dmo = StereoFloatDmo();
    IMediaObject* whole = StereoFloatDmo();
    const std::vector<float> input = Noise(2 * 1000, 1);
    MemoryBuffer in(DWORD(input.size() * sizeof(float)));
    in.Fill(input.data(), in.GetMax());
    ASSERT_EQ(dmo->ProcessInput(0, &in, DMO_INPUT_DATA_BUFFERF_TIME, 5000000, 0), S_OK);
    DWORD flags = 1;
    EXPECT_EQ(dmo->GetInputStatus(0, &flags), S_OK);
    EXPECT_EQ(flags, 0u) << "holding a buffer";
    EXPECT_EQ(dmo->ProcessInput(0, &in, 0, 0, 0), DMO_E_NOTACCEPTING);
    DMO_OUTPUT_DATA_BUFFER two[2] = {};
    DWORD status = 0;
    EXPECT_EQ(dmo->ProcessOutput(0, 2, two, &status), E_INVALIDARG);
    ASSERT_EQ(dmo->Flush(), S_OK);
    EXPECT_EQ(dmo->GetInputStatus(0, &flags), S_OK);
    EXPECT_EQ(flags, DWORD(DMO_INPUT_STATUSF_ACCEPT_DATA)) << "a flush drops the buffer";
    EXPECT_EQ(dmo->ProcessOutput(0, 1, two, &status), S_FALSE);
    EXPECT_EQ(in.refs, 1);

    // 1000 frames through outputs of 300: three incomplete pieces, then the last 100.
    std::vector<REFERENCE_TIME> stamps;
    const std::vector<BYTE> pieces = RunThrough(dmo, input, 5000000, 300 * 8, &stamps);
    const std::vector<BYTE> once = RunThrough(whole, input, 5000000, 1000 * 8);
    EXPECT_EQ(pieces, once);
    ASSERT_EQ(stamps.size(), 4u);
    for (size_t i = 0; i < stamps.size(); ++i)
        EXPECT_EQ(stamps[i], 5000000 + REFERENCE_TIME(i * 300 * 1e7 / kRate + 0.5));
    EXPECT_NE(std::memcmp(once.data(), input.data(), once.size()), 0) << "it filters";
    EXPECT_EQ(dmo->Release(), 0u);
    EXPECT_EQ(whole->Release(), 0u);
}

TEST_F(DmoTest, ADiscontinuityRestartsTheStateAtTheNextBuffer) {
    const std::vector<float> first = Noise(2 * 512, 2), second = Noise(2 * 512, 3);
    IMediaObject* fresh = StereoFloatDmo();
    const std::vector<BYTE> alone = RunThrough(fresh, second, 0, 4096 * 8);
    for (int how = 0; how < 3; ++how) {
        IMediaObject* dmo = StereoFloatDmo();
        RunThrough(dmo, first, 0, 4096 * 8);
        if (how == 1) {
            ASSERT_EQ(dmo->Discontinuity(0), S_OK);
        } else if (how == 2) {
            ASSERT_EQ(dmo->Flush(), S_OK);
        }
        const std::vector<BYTE> after = RunThrough(dmo, second, 0, 4096 * 8);
        if (how == 0) {
            EXPECT_NE(after, alone) << "the state carries on without one";
        } else {
            EXPECT_EQ(after, alone) << (how == 1 ? "Discontinuity" : "Flush");
        }
        EXPECT_EQ(dmo->Release(), 0u);
    }
    EXPECT_EQ(fresh->Release(), 0u);
}

// In place, at the buffers' times, the DMO gives the direct path's bits under automation.
TEST_F(DmoTest, InPlaceProcessMatchesTheDirectPathUnderAutomation) {
    IMediaObject* dmo = StereoFloatDmo();
    IDirectProcess* direct = nullptr;
    ASSERT_EQ(dll.Create(IID_IDirectProcess, &direct), S_OK);
    const MP_ENVELOPE_SEGMENT sweep = {500000, 4000000, 300, 9000, MP_CURVE_LINEAR, 0};
    const MP_ENVELOPE_SEGMENT jump = {2500000, 6000000, 2, 2, MP_CURVE_JUMP, 0};
    for (IUnknown* object : {static_cast<IUnknown*>(dmo), static_cast<IUnknown*>(direct)}) {
        IFilterPresets* presets = nullptr;
        ASSERT_EQ(object->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets)),
                  S_OK);
        ASSERT_EQ(presets->ApplyPreset(5), S_OK);
        presets->Release();
        IMediaParams* params = nullptr;
        ASSERT_EQ(object->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)),
                  S_OK);
        ASSERT_EQ(params->AddEnvelope(0, 1, const_cast<MP_ENVELOPE_SEGMENT*>(&sweep)), S_OK);
        ASSERT_EQ(params->AddEnvelope(2, 1, const_cast<MP_ENVELOPE_SEGMENT*>(&jump)), S_OK);
        params->Release();
    }
    IMediaObjectInPlace* inPlace = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IMediaObjectInPlace, reinterpret_cast<void**>(&inPlace)),
              S_OK);
    ASSERT_EQ(direct->Init(2, kRate), S_OK);
    // 10 ms buffers: their start times are exact in 100-ns units.
    for (int b = 0; b < 60; ++b) {
        std::vector<float> a = Noise(2 * 441, 10 + b), d = a;
        // Noise up to the last frame leaves the resonance ringing.
        ASSERT_EQ(inPlace->Process(ULONG(a.size() * sizeof(float)),
                                   reinterpret_cast<BYTE*>(a.data()), b * 100000LL, 0),
                  S_FALSE);
        ASSERT_EQ(direct->Process(d.data(), 441, 0), S_OK);
        ASSERT_EQ(std::memcmp(a.data(), d.data(), a.size() * sizeof(float)), 0) << "buffer " << b;
    }
    // The tail is the ring-out of silence, whatever the buffer held, on the same clock.
    std::vector<float> tail(16, 0.25f), silence(16, 0.0f);
    EXPECT_EQ(inPlace->Process(64, reinterpret_cast<BYTE*>(tail.data()), 6000000, DMO_INPLACE_ZERO),
              S_FALSE);
    ASSERT_EQ(direct->Process(silence.data(), 8, 0), S_OK);
    EXPECT_EQ(std::memcmp(tail.data(), silence.data(), sizeof(float) * 16), 0);
    EXPECT_NE(tail[3], 0.0f);
    REFERENCE_TIME latency = -1;
    EXPECT_EQ(inPlace->GetLatency(&latency), S_OK);
    EXPECT_EQ(latency, 0);
    direct->Stop();
    EXPECT_EQ(direct->Release(), 0u);

    // A clone holds the same settings and types, and filters as the original.
    IMediaObjectInPlace* clone = nullptr;
    ASSERT_EQ(inPlace->Clone(&clone), S_OK);
    IFilterSettings* mine = nullptr;
    IFilterSettings* its = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&mine)), S_OK);
    ASSERT_EQ(clone->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&its)), S_OK);
    float a[6], b[6];
    mine->GetAllParams(a);
    its->GetAllParams(b);
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
    mine->Release();
    its->Release();
    std::vector<float> x = Noise(2 * 441, 99);
    EXPECT_EQ(clone->Process(ULONG(x.size() * 4), reinterpret_cast<BYTE*>(x.data()), 0, 0), S_FALSE)
        << "types came along";
    EXPECT_EQ(clone->Release(), 0u);
    inPlace->Release();
    EXPECT_EQ(dmo->Release(), 0u);
}

// A failed ProcessOutput lets go of the held input, whatever failed, so the host may recycle it
// and the stream goes on with the next buffer.
TEST_F(DmoTest, AFailedOutputLetsGoOfTheHeldInput) {
    const struct {
        const char* name;
        MemoryBuffer::Fault fault;
        bool noBuffer;
        bool lengthPastEnd;
        HRESULT want;
    } cases[] = {
        {"GetBufferAndLength fails", MemoryBuffer::kFailGetBuffer, false, false, E_FAIL},
        {"GetMaxLength fails", MemoryBuffer::kFailMaxLength, false, false, E_FAIL},
        {"SetLength fails", MemoryBuffer::kFailSetLength, false, false, E_FAIL},
        {"no data", MemoryBuffer::kNullData, false, false, E_INVALIDARG},
        {"length past the end", MemoryBuffer::kNoFault, false, true, E_INVALIDARG},
        {"no buffer", MemoryBuffer::kNoFault, true, false, E_POINTER},
    };
    IMediaObject* dmo = StereoFloatDmo();
    const std::vector<float> input = Noise(2 * 256, 4);
    for (const auto& c : cases) {
        MemoryBuffer in(DWORD(input.size() * sizeof(float)));
        in.Fill(input.data(), in.GetMax());
        ASSERT_EQ(dmo->ProcessInput(0, &in, 0, 0, 0), S_OK) << c.name;
        MemoryBuffer out(256 * 8);
        out.fault = c.fault;
        if (c.lengthPastEnd) out.length = out.GetMax() + 8;
        DMO_OUTPUT_DATA_BUFFER piece = {c.noBuffer ? nullptr : &out, 0, 0, 0};
        DWORD status = 0;
        EXPECT_EQ(dmo->ProcessOutput(0, 1, &piece, &status), c.want) << c.name;
        EXPECT_EQ(in.refs, 1) << c.name;
        DWORD flags = 0;
        EXPECT_EQ(dmo->GetInputStatus(0, &flags), S_OK);
        EXPECT_EQ(flags, DWORD(DMO_INPUT_STATUSF_ACCEPT_DATA)) << c.name;
        EXPECT_EQ(RunThrough(dmo, input, 0, 256 * 8).size(), input.size() * sizeof(float))
            << c.name;
    }
    EXPECT_EQ(dmo->Release(), 0u);
}

// After the input ends a host calls with DMO_INPLACE_ZERO while the answer is S_FALSE: each call
// gives what silence through the filter gives, and the loop ends. The first case is the longest
// ring-out there is (resonance 100 % at 20 Hz, fourth order, after a full-scale 20 Hz sine).
TEST_F(DmoTest, TheTailIsTheRingOutOfSilenceAndAlwaysEnds) {
    enum Input { kBass, kNoise, kNonFinite, kDenormal };
    const struct {
        const char* name;
        bool pcm8;          // mono 8-bit PCM, else stereo 32-bit float
        float settings[6];  // Hz, resonance, type, order, bypass, wet
        Input input;
        float orderAfter;  // set before the tail; -1 keeps the order
        HRESULT afterInput;
        double maxSeconds;
    } cases[] = {
        // clang-format off
        {"worst case",                   false, {20, 100, 0, 1, 0, 100},  kBass,      -1, S_FALSE, 15},
        {"8-bit, host zeroes its bytes", true,  {900, 100, 1, 0, 0, 100}, kNoise,     -1, S_FALSE, 1},
        {"fourth order drops to second", false, {60, 100, 0, 1, 0, 100},  kNoise,     0,  S_FALSE, 10},
        {"bypass",                       false, {60, 100, 0, 1, 1, 100},  kNoise,     -1, S_OK,    0},
        {"wet 0",                        false, {60, 100, 0, 1, 0, 0},    kNoise,     -1, S_OK,    0},
        {"non-finite input",             false, {60, 100, 0, 1, 0, 100},  kNonFinite, -1, S_OK,    0},
        {"denormal input",               false, {60, 100, 0, 1, 0, 100},  kDenormal,  -1, S_OK,    0},
        // clang-format on
    };
    const DWORD frames = kRate / 100;  // 10 ms: exact times in 100-ns units
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AudioType type(c.pcm8 ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT, c.pcm8 ? 1 : 2, kRate,
                       c.pcm8 ? 8 : 32);
        const DWORD size = frames * type.wave.Format.nBlockAlign;
        IMediaObjectInPlace* dmo[2] = {};
        for (IMediaObjectInPlace*& one : dmo) {
            IMediaObject* object = NewDmo();
            ASSERT_EQ(object->SetInputType(0, type.Dmo(), 0), S_OK);
            ASSERT_EQ(object->SetOutputType(0, type.Dmo(), 0), S_OK);
            IFilterSettings* settings = nullptr;
            object->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
            ASSERT_EQ(settings->SetAllParams(c.settings), S_OK);
            settings->Release();
            object->QueryInterface(IID_IMediaObjectInPlace, reinterpret_cast<void**>(&one));
            object->Release();
        }
        std::mt19937 random(11);
        std::vector<BYTE> a(size), b(size);
        REFERENCE_TIME time = 0;
        HRESULT hr = E_FAIL;
        for (int k = 0; k < 100; ++k, time += 100000) {
            auto* samples = reinterpret_cast<float*>(a.data());
            for (DWORD i = 0; i < size / 4; ++i) {
                const double at = double(k * frames + i / 2) / kRate;
                samples[i] = c.input == kBass ? float(std::sin(2 * 3.141592653589793 * 20 * at))
                             : c.input == kDenormal ? 1e-40f
                                                    : float(random() % 1000) / 1000 - 0.5f;
            }
            if (c.input == kNonFinite) samples[size / 4 - 2] = samples[size / 4 - 1] = INFINITY;
            if (c.pcm8) {
                for (BYTE& byte : a)
                    byte = BYTE(random());
            }
            b = a;
            hr = dmo[0]->Process(size, a.data(), time, 0);
            ASSERT_EQ(dmo[1]->Process(size, b.data(), time, 0), hr);
        }
        EXPECT_EQ(hr, c.afterInput);
        if (c.orderAfter >= 0) {
            for (IMediaObjectInPlace* one : dmo) {
                IFilterSettings* settings = nullptr;
                one->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
                ASSERT_EQ(settings->PutScaledFilterOrder(LONG(c.orderAfter)), S_OK);
                settings->Release();
            }
        }
        // The host's zeroed buffer against silence given as input to the twin.
        DWORD tail = 0;
        while (hr == S_FALSE && tail < 60 * kRate) {
            std::fill(a.begin(), a.end(), BYTE(0));
            std::fill(b.begin(), b.end(), BYTE(c.pcm8 ? 0x80 : 0));
            hr = dmo[0]->Process(size, a.data(), time, DMO_INPLACE_ZERO);
            ASSERT_TRUE(SUCCEEDED(dmo[1]->Process(size, b.data(), time, 0)));
            ASSERT_EQ(a, b) << "at frame " << tail;
            tail += frames;
            time += 100000;
        }
        EXPECT_EQ(hr, S_OK);
        const double seconds = double(tail) / kRate;
        EXPECT_LE(seconds, c.maxSeconds);
        if (&c == cases) {
            EXPECT_GT(seconds, 5.0) << "it rings";
            RecordProperty("worst_tail_ms", int(seconds * 1000));
        }
        EXPECT_EQ(dmo[0]->Process(size, a.data(), time, DMO_INPLACE_ZERO), S_OK) << "stays ended";
        for (IMediaObjectInPlace* one : dmo)
            EXPECT_EQ(one->Release(), 0u);
    }
}

TEST_F(DmoTest, LockHoldsOtherThreadsOffUntilUnlocked) {
    IMediaObject* dmo = StereoFloatDmo();
    EXPECT_EQ(dmo->Lock(FALSE), E_UNEXPECTED) << "not locked";
    ASSERT_EQ(dmo->Lock(TRUE), S_OK);
    std::atomic<bool> done{false};
    std::thread other([&] {
        DWORD flags = 0;
        dmo->GetInputStatus(0, &flags);
        done = true;
    });
    Sleep(50);
    EXPECT_FALSE(done) << "another thread got in while locked";
    ASSERT_EQ(dmo->Lock(FALSE), S_OK);
    other.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(dmo->Release(), 0u);
}

// The record saved by the DMO loads into the filter, and the other way round.
TEST_F(DmoTest, TheSettingsRecordIsTheFiltersBothWays) {
    IPersistStream* dmo = nullptr;
    IPersistStream* filter = nullptr;
    ASSERT_EQ(dll.Create(IID_IPersistStream, &dmo, nullptr, CLSID_ResonantFilterDmo), S_OK);
    ASSERT_EQ(dll.Create(IID_IPersistStream, &filter), S_OK);
    IFilterPresets* presets = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets)), S_OK);
    ASSERT_EQ(presets->ApplyPreset(11), S_OK);
    presets->Release();
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    ASSERT_EQ(dmo->Save(stream, TRUE), S_OK);
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    EXPECT_EQ(stat.cbSize.QuadPart, 44u);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(filter->Load(stream), S_OK);
    float a[6], b[6];
    IFilterSettings* settings = nullptr;
    dmo->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
    settings->GetAllParams(a);
    settings->Release();
    filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
    settings->GetAllParams(b);
    settings->Release();
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);
    stream->Release();
    EXPECT_EQ(dmo->Release(), 0u);
    EXPECT_EQ(filter->Release(), 0u);
}

}  // namespace
