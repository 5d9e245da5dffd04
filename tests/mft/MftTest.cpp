// The DMO's class as a Media Foundation transform: the contract hosts and the topology loader
// rely on, its output against the DMO's, its registration and its settings record.
#include <cstring>
#include <random>
#include <vector>

#include "filter/DmoSupport.h"
#include "filter/FilterDll.h"
#include "filter/RecordingOuter.h"
#include "module/RegistryProbe.h"
#include "tests/support/win32/MfSamples.h"

#include <mfapi.h>
#include <mferror.h>
#include <mftransform.h>

namespace {

struct Format {
    WORD tag;
    WORD channels;
    DWORD rate;
    WORD bits;
    WORD valid;  // 0: none given
    DWORD mask;  // 0: none given
};

const Format kStereo16 = {WAVE_FORMAT_PCM, 2, 48000, 16, 0, 0};

// A whole type, less the attribute `drop` when one is named.
IMFMediaType* MfType(const Format& f, const GUID* drop = nullptr) {
    IMFMediaType* type = nullptr;
    EXPECT_EQ(MFCreateMediaType(&type), S_OK);
    const UINT32 align = f.channels * f.bits / 8;
    type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    type->SetGUID(MF_MT_SUBTYPE,
                  f.tag == WAVE_FORMAT_PCM ? MFAudioFormat_PCM : MFAudioFormat_Float);
    type->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, f.channels);
    type->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, f.rate);
    type->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, f.bits);
    type->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, align);
    type->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, align * f.rate);
    if (f.valid) type->SetUINT32(MF_MT_AUDIO_VALID_BITS_PER_SAMPLE, f.valid);
    if (f.mask) type->SetUINT32(MF_MT_AUDIO_CHANNEL_MASK, f.mask);
    if (drop) type->DeleteItem(*drop);
    return type;
}

LONGLONG FrameTime(DWORD frames, DWORD rate) {
    return LONGLONG(double(frames) * 1e7 / rate + 0.5);
}

class MftTest : public FilterDllTest {
  protected:
    IMFTransform* NewMft() {
        IMFTransform* mft = nullptr;
        EXPECT_EQ(dll.Create(IID_IMFTransform, &mft, nullptr, CLSID_ResonantFilterDmo), S_OK);
        return mft;
    }
};

// One instance driven through the whole contract in order: each row's call, its answer, and
// what it must leave in the outputs.
struct Contract {
    IMFTransform* mft = nullptr;
    IMFMediaType* type = nullptr;  // the type a call handed out, or the one it is given
    IMFSample* input = nullptr;    // 1000 frames of stereo 16-bit at 5 s
    IMFSample* output = nullptr;   // room for 300 frames
    DWORD n[4] = {};
    MFT_INPUT_STREAM_INFO in{};
    MFT_OUTPUT_STREAM_INFO out{};
    MFT_OUTPUT_DATA_BUFFER buffer{};
    DWORD status = 0;

    HRESULT FreshInfo(bool input) {
        std::memset(&in, 0xCD, sizeof in);
        std::memset(&out, 0xCD, sizeof out);
        return input ? mft->GetInputStreamInfo(0, &in) : mft->GetOutputStreamInfo(0, &out);
    }
    // The type handed out is a new object only the caller holds.
    bool TookSoleType() {
        const bool sole = type && type->Release() == 0;
        type = nullptr;
        return sole;
    }
    bool TookType(const Format& f) {
        IMFMediaType* expected = MfType(f);
        const bool equal = type && type->IsEqual(expected, &n[0]) == S_OK;
        expected->Release();
        return TookSoleType() && equal;
    }
    // Audio of that subtype and nothing more.
    bool TookPartial(REFGUID subtype) {
        GUID major{}, got{};
        UINT32 count = 0;
        type->GetGUID(MF_MT_MAJOR_TYPE, &major);
        type->GetGUID(MF_MT_SUBTYPE, &got);
        type->GetCount(&count);
        return count == 2 && IsEqualGUID(major, MFMediaType_Audio) && IsEqualGUID(got, subtype) &&
               TookSoleType();
    }
    HRESULT SetIn(const Format& f, const GUID* drop, DWORD flags) {
        IMFMediaType* t = MfType(f, drop);
        const HRESULT hr = mft->SetInputType(0, t, flags);
        t->Release();
        return hr;
    }
    HRESULT SetOut(const Format& f, const GUID* drop, DWORD flags) {
        IMFMediaType* t = MfType(f, drop);
        const HRESULT hr = mft->SetOutputType(0, t, flags);
        t->Release();
        return hr;
    }
    // The topology loader's converter probe: "PCM, 32 bits" and nothing else.
    HRESULT SetProbe() {
        IMFMediaType* t = nullptr;
        MFCreateMediaType(&t);
        t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        t->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
        t->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 32);
        const HRESULT hr = mft->SetInputType(0, t, MFT_SET_TYPE_TEST_ONLY);
        t->Release();
        return hr;
    }
    // Into `output` (emptied first when `empty`), or into no sample at all; the stream ID and
    // the events must come back as given.
    HRESULT Output(bool withSample = true, bool empty = false) {
        if (empty) {
            IMFMediaBuffer* fresh = nullptr;
            output->RemoveAllBuffers();
            MFCreateMemoryBuffer(1200, &fresh);
            output->AddBuffer(fresh);
            fresh->Release();
        }
        buffer = {7, withSample ? output : nullptr, 0, nullptr};
        status = 1;
        return mft->ProcessOutput(0, 1, &buffer, &status);
    }
    // Into a sample with room for less than one frame.
    HRESULT OutputTooSmall() {
        IMFSample* tiny = NewMfSample(2, nullptr, 0);
        buffer = {0, tiny, 0, nullptr};
        const HRESULT hr = mft->ProcessOutput(0, 1, &buffer, &status);
        tiny->Release();
        return hr;
    }
    // A piece of the input's frames from `first`, marked when its sample restarted the state.
    bool Piece(DWORD first, DWORD frames, DWORD flags, bool marked = false) {
        LONGLONG time = 0, duration = 0;
        UINT32 mark = 0;
        output->GetSampleTime(&time);
        output->GetSampleDuration(&duration);
        const bool hasMark =
            SUCCEEDED(output->GetUINT32(MFSampleExtension_Discontinuity, &mark)) && mark;
        return buffer.dwStatus == flags && status == 0 && buffer.dwStreamID == 7 &&
               hasMark == marked && !buffer.pEvents && buffer.pSample == output &&
               MfSampleBytes(output).size() == frames * 4u &&
               time == 50000000 + FrameTime(first, 48000) &&
               duration == FrameTime(first + frames, 48000) - FrameTime(first, 48000);
    }
};

using Call = HRESULT (*)(Contract&);
using Check = bool (*)(Contract&);
#define DO(call) [](Contract& c) -> HRESULT { return call; }
#define IS(check) [](Contract& c) -> bool { return check; }
constexpr DWORD kTest = MFT_SET_TYPE_TEST_ONLY;
const Format kMono16 = {WAVE_FORMAT_PCM, 1, 48000, 16, 0, 0};
const Format kStereoFloat = {WAVE_FORMAT_IEEE_FLOAT, 2, 48000, 32, 0, 0};
const Format kStereo16At44 = {WAVE_FORMAT_PCM, 2, 44100, 16, 0, 0};
const Format kPcm32 = {WAVE_FORMAT_PCM, 2, 48000, 32, 0, 0};

const struct ContractRow {
    const char* what;
    Call call;
    HRESULT expected;
    Check check = nullptr;
} kContract[] = {
    {"stream limits", DO(c.mft->GetStreamLimits(&c.n[0], &c.n[1], &c.n[2], &c.n[3])), S_OK,
     IS(c.n[0] == 1 && c.n[1] == 1 && c.n[2] == 1 && c.n[3] == 1)},
    {"stream count", DO(c.mft->GetStreamCount(&c.n[0], &c.n[1])), S_OK,
     IS(c.n[0] == 1 && c.n[1] == 1)},
    {"stream IDs", DO(c.mft->GetStreamIDs(1, &c.n[0], 1, &c.n[1])), E_NOTIMPL},
    {"add streams", DO(c.mft->AddInputStreams(1, &c.n[0])), E_NOTIMPL},
    {"delete stream", DO(c.mft->DeleteInputStream(0)), E_NOTIMPL},
    {"output bounds", DO(c.mft->SetOutputBounds(0, 100)), E_NOTIMPL},
    {"event", DO(c.mft->ProcessEvent(0, nullptr)), E_NOTIMPL},
    {"attributes", DO(c.mft->GetAttributes(nullptr)), E_NOTIMPL},
    {"input attributes", DO(c.mft->GetInputStreamAttributes(0, nullptr)), E_NOTIMPL},
    {"output attributes", DO(c.mft->GetOutputStreamAttributes(0, nullptr)), E_NOTIMPL},
    {"input info untyped", DO(c.FreshInfo(true)), MF_E_TRANSFORM_TYPE_NOT_SET,
     IS(c.in.cbSize == 0 && c.in.cbAlignment == 0 && c.in.dwFlags == 0)},
    {"output info untyped", DO(c.FreshInfo(false)), MF_E_TRANSFORM_TYPE_NOT_SET,
     IS(c.out.cbSize == 0 && c.out.cbAlignment == 0 && c.out.dwFlags == 0)},
    {"input type 0", DO(c.mft->GetInputAvailableType(0, 0, &c.type)), S_OK,
     IS(c.TookPartial(MFAudioFormat_Float))},
    {"input type 1", DO(c.mft->GetInputAvailableType(0, 1, &c.type)), S_OK,
     IS(c.TookPartial(MFAudioFormat_PCM))},
    {"input type 2", DO(c.mft->GetInputAvailableType(0, 2, &c.type)), MF_E_NO_MORE_TYPES},
    {"input type stream 1", DO(c.mft->GetInputAvailableType(1, 0, &c.type)),
     MF_E_INVALIDSTREAMNUMBER},
    {"output type untyped", DO(c.mft->GetOutputAvailableType(0, 0, &c.type)),
     MF_E_TRANSFORM_TYPE_NOT_SET},
    {"current input untyped", DO(c.mft->GetInputCurrentType(0, &c.type)),
     MF_E_TRANSFORM_TYPE_NOT_SET},
    {"input status untyped", DO(c.mft->GetInputStatus(0, &c.n[0])), MF_E_TRANSFORM_TYPE_NOT_SET},
    {"output status untyped", DO(c.mft->GetOutputStatus(&c.n[0])), MF_E_TRANSFORM_TYPE_NOT_SET},
    {"input untyped", DO(c.mft->ProcessInput(0, c.input, 0)), MF_E_TRANSFORM_TYPE_NOT_SET},
    {"output before input", DO(c.SetOut(kStereo16, nullptr, 0)), MF_E_TRANSFORM_TYPE_NOT_SET},
    {"output before input, test", DO(c.SetOut(kStereo16, nullptr, kTest)),
     MF_E_TRANSFORM_TYPE_NOT_SET},
    {"no major type", DO(c.SetIn(kStereo16, &MF_MT_MAJOR_TYPE, kTest)), MF_E_INVALIDMEDIATYPE},
    {"no subtype", DO(c.SetIn(kStereo16, &MF_MT_SUBTYPE, kTest)), MF_E_INVALIDMEDIATYPE},
    {"no channels", DO(c.SetIn(kStereo16, &MF_MT_AUDIO_NUM_CHANNELS, kTest)),
     MF_E_INVALIDMEDIATYPE},
    {"no bits", DO(c.SetIn(kStereo16, &MF_MT_AUDIO_BITS_PER_SAMPLE, kTest)), MF_E_INVALIDMEDIATYPE},
    {"no rate", DO(c.SetIn(kStereo16, &MF_MT_AUDIO_SAMPLES_PER_SECOND, kTest)),
     MF_E_INVALIDMEDIATYPE},
    {"no block align", DO(c.SetIn(kStereo16, &MF_MT_AUDIO_BLOCK_ALIGNMENT, kTest)),
     MF_E_INVALIDMEDIATYPE},
    {"no byte rate", DO(c.SetIn(kStereo16, &MF_MT_AUDIO_AVG_BYTES_PER_SECOND, kTest)),
     MF_E_INVALIDMEDIATYPE},
    {"converter probe", DO(c.SetProbe()), MF_E_INVALIDMEDIATYPE},
    {"test only", DO(c.SetIn(kStereo16, nullptr, kTest)), S_OK},
    {"test only sets nothing", DO(c.mft->GetInputCurrentType(0, &c.type)),
     MF_E_TRANSFORM_TYPE_NOT_SET},
    {"input type", DO(c.SetIn(kStereo16, nullptr, 0)), S_OK},
    {"current input", DO(c.mft->GetInputCurrentType(0, &c.type)), S_OK, IS(c.TookType(kStereo16))},
    {"output offered", DO(c.mft->GetOutputAvailableType(0, 0, &c.type)), S_OK,
     IS(c.TookType(kStereo16))},
    {"one output offered", DO(c.mft->GetOutputAvailableType(0, 1, &c.type)), MF_E_NO_MORE_TYPES},
    {"output stream 1", DO(c.mft->GetOutputAvailableType(1, 0, &c.type)), MF_E_INVALIDSTREAMNUMBER},
    {"info before output type", DO(c.mft->GetInputStreamInfo(0, &c.in)),
     MF_E_TRANSFORM_TYPE_NOT_SET},
    {"output mono", DO(c.SetOut(kMono16, nullptr, 0)), MF_E_INVALIDMEDIATYPE},
    {"output float, test", DO(c.SetOut(kStereoFloat, nullptr, kTest)), MF_E_INVALIDMEDIATYPE},
    {"output rate", DO(c.SetOut(kStereo16At44, nullptr, 0)), MF_E_INVALIDMEDIATYPE},
    {"output 32 bits", DO(c.SetOut(kPcm32, nullptr, kTest)), MF_E_INVALIDMEDIATYPE},
    {"output partial", DO(c.SetOut(kStereo16, &MF_MT_AUDIO_BLOCK_ALIGNMENT, kTest)),
     MF_E_INVALIDMEDIATYPE},
    {"output subtype only", DO(c.mft->GetInputAvailableType(0, 1, &c.type)), S_OK,
     IS(c.mft->SetOutputType(0, c.type, kTest) == MF_E_INVALIDMEDIATYPE && c.TookSoleType())},
    {"output test", DO(c.SetOut(kStereo16, nullptr, kTest)), S_OK},
    {"output type", DO(c.SetOut(kStereo16, nullptr, 0)), S_OK},
    {"current output", DO(c.mft->GetOutputCurrentType(0, &c.type)), S_OK,
     IS(c.TookType(kStereo16))},
    {"input info", DO(c.mft->GetInputStreamInfo(0, &c.in)), S_OK,
     IS(c.in.hnsMaxLatency == 0 && c.in.dwFlags == 0 && c.in.cbSize == 4 &&
        c.in.cbMaxLookahead == 0 && c.in.cbAlignment == 1)},
    {"output info", DO(c.mft->GetOutputStreamInfo(0, &c.out)), S_OK,
     IS(c.out.dwFlags == 0 && c.out.cbSize == 4 && c.out.cbAlignment == 1)},
    {"input status idle", DO(c.mft->GetInputStatus(0, &c.n[0])), S_OK,
     IS(c.n[0] == MFT_INPUT_STATUS_ACCEPT_DATA)},
    {"output status idle", DO(c.mft->GetOutputStatus(&c.n[0])), S_OK, IS(c.n[0] == 0)},
    {"begin streaming", DO(c.mft->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0)), S_OK},
    {"start of stream", DO(c.mft->ProcessMessage(MFT_MESSAGE_NOTIFY_START_OF_STREAM, 0)), S_OK},
    {"no Direct3D", DO(c.mft->ProcessMessage(MFT_MESSAGE_SET_D3D_MANAGER, 0)), E_NOTIMPL},
    {"output first", DO(c.Output()), MF_E_TRANSFORM_NEED_MORE_INPUT,
     IS(c.status == 0 && c.buffer.dwStatus == 0 && MfSampleBytes(c.output).empty())},
    {"no output sample", DO(c.Output(false)), E_INVALIDARG},
    {"input", DO(c.mft->ProcessInput(0, c.input, 0)), S_OK, IS(RefCount(c.input) == 2)},
    {"input status held", DO(c.mft->GetInputStatus(0, &c.n[0])), S_OK, IS(c.n[0] == 0)},
    {"output status held", DO(c.mft->GetOutputStatus(&c.n[0])), S_OK,
     IS(c.n[0] == MFT_OUTPUT_STATUS_SAMPLE_READY)},
    {"second input", DO(c.mft->ProcessInput(0, c.input, 0)), MF_E_NOTACCEPTING},
    {"drain", DO(c.mft->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0)), S_OK},
    {"input after drain", DO(c.mft->ProcessInput(0, c.input, 0)), MF_E_NOTACCEPTING},
    {"piece 1", DO(c.Output()), S_OK, IS(c.Piece(0, 300, MFT_OUTPUT_DATA_BUFFER_INCOMPLETE, true))},
    {"piece 2", DO(c.Output()), S_OK, IS(c.Piece(300, 300, MFT_OUTPUT_DATA_BUFFER_INCOMPLETE))},
    {"piece 3", DO(c.Output()), S_OK, IS(c.Piece(600, 300, MFT_OUTPUT_DATA_BUFFER_INCOMPLETE))},
    {"last piece", DO(c.Output()), S_OK, IS(c.Piece(900, 100, 0) && RefCount(c.input) == 1)},
    {"all given", DO(c.Output(true, true)), MF_E_TRANSFORM_NEED_MORE_INPUT,
     IS(c.status == 0 && c.buffer.dwStatus == 0 && MfSampleBytes(c.output).empty())},
    {"input again", DO(c.mft->ProcessInput(0, c.input, 0)), S_OK},
    {"a drained stream's successor starts anew", DO(c.Output()), S_OK,
     IS(c.Piece(0, 300, MFT_OUTPUT_DATA_BUFFER_INCOMPLETE, true))},
    {"flush", DO(c.mft->ProcessMessage(MFT_MESSAGE_COMMAND_FLUSH, 0)), S_OK,
     IS(RefCount(c.input) == 1)},
    {"flushed", DO(c.mft->GetInputStatus(0, &c.n[0])), S_OK,
     IS(c.n[0] == MFT_INPUT_STATUS_ACCEPT_DATA)},
    {"input after flush", DO(c.mft->ProcessInput(0, c.input, 0)), S_OK},
    {"restarted piece", DO(c.Output()), S_OK,
     IS(c.Piece(0, 300, MFT_OUTPUT_DATA_BUFFER_INCOMPLETE, true))},
    // A failed output lets go of the input, so the stream goes on with the next sample.
    {"output too small", DO(c.OutputTooSmall()), MF_E_BUFFERTOOSMALL, IS(RefCount(c.input) == 1)},
    {"accepting after the failure", DO(c.mft->GetInputStatus(0, &c.n[0])), S_OK,
     IS(c.n[0] == MFT_INPUT_STATUS_ACCEPT_DATA)},
    {"input after the failure", DO(c.mft->ProcessInput(0, c.input, 0)), S_OK},
    {"flush again", DO(c.mft->ProcessMessage(MFT_MESSAGE_COMMAND_FLUSH, 0)), S_OK,
     IS(RefCount(c.input) == 1)},
    {"end of stream", DO(c.mft->ProcessMessage(MFT_MESSAGE_NOTIFY_END_OF_STREAM, 0)), S_OK},
    {"end streaming", DO(c.mft->ProcessMessage(MFT_MESSAGE_NOTIFY_END_STREAMING, 0)), S_OK},
    {"clear input", DO(c.mft->SetInputType(0, nullptr, 0)), S_OK},
    {"input cleared", DO(c.mft->GetInputCurrentType(0, &c.type)), MF_E_TRANSFORM_TYPE_NOT_SET},
    {"output cleared with it", DO(c.mft->GetOutputCurrentType(0, &c.type)),
     MF_E_TRANSFORM_TYPE_NOT_SET},
};
#undef DO
#undef IS

TEST_F(MftTest, KeepsTheContractOfThePlatformsAudioTransforms) {
    Contract c;
    c.mft = NewMft();
    ASSERT_TRUE(c.mft);
    std::vector<int16_t> noise(2 * 1000);
    std::mt19937 random(3);
    for (int16_t& s : noise)
        s = int16_t(random() % 20000 - 10000);
    c.input = NewMfSample(4000, noise.data(), 4000);
    c.input->SetSampleTime(50000000);
    c.output = NewMfSample(1200, nullptr, 0);
    for (const ContractRow& row : kContract) {
        EXPECT_EQ(row.call(c), row.expected) << row.what;
        EXPECT_TRUE(!row.check || row.check(c)) << row.what;
    }
    EXPECT_EQ(c.input->Release(), 0u);
    EXPECT_EQ(c.output->Release(), 0u);
    EXPECT_EQ(c.mft->Release(), 0u);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

// The face answers for the aggregating object, as every other face of the class.
TEST_F(MftTest, TheFaceIsTheAggregatesAndItsRecordIsTheFiltersBothWays) {
    RecordingOuter outer;
    IUnknown* inner = nullptr;
    ASSERT_EQ(dll.Create(IID_IUnknown, &inner, &outer, CLSID_ResonantFilterDmo), S_OK);
    outer.inner = inner;
    IMFTransform* mft = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IMFTransform, reinterpret_cast<void**>(&mft)), S_OK);
    EXPECT_EQ(outer.refs, 2);
    IUnknown* identity = nullptr;
    ASSERT_EQ(mft->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, &outer);
    identity->Release();

    // The 44-byte record: the MFT's loads into the filter, the DMO's and the filter's into it.
    IPersistStream* mine = nullptr;
    IPersistStream* filter = nullptr;
    IPersistStream* dmo = nullptr;
    ASSERT_EQ(mft->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&mine)), S_OK);
    ASSERT_EQ(dll.Create(IID_IPersistStream, &filter), S_OK);
    ASSERT_EQ(dll.Create(IID_IPersistStream, &dmo, nullptr, CLSID_ResonantFilterDmo), S_OK);
    const struct {
        IPersistStream* from;
        IPersistStream* to;
        LONG preset;
    } trips[] = {{mine, filter, 11}, {dmo, mine, 4}, {filter, mine, 7}};
    for (const auto& trip : trips) {
        IFilterPresets* presets = nullptr;
        ASSERT_EQ(trip.from->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets)),
                  S_OK);
        ASSERT_EQ(presets->ApplyPreset(trip.preset), S_OK);
        presets->Release();
        IStream* stream = nullptr;
        ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
        ASSERT_EQ(trip.from->Save(stream, TRUE), S_OK);
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        EXPECT_EQ(stat.cbSize.QuadPart, 44u);
        stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
        ASSERT_EQ(trip.to->Load(stream), S_OK);
        stream->Release();
        float a[6], b[6];
        for (auto [object, values] : {std::pair{trip.from, a}, std::pair{trip.to, b}}) {
            IFilterSettings* settings = nullptr;
            object->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
            settings->GetAllParams(values);
            settings->Release();
        }
        EXPECT_EQ(std::memcmp(a, b, sizeof a), 0) << "preset " << trip.preset;
    }
    mine->Release();
    mft->Release();
    EXPECT_EQ(outer.refs, 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(filter->Release(), 0u);
    EXPECT_EQ(dmo->Release(), 0u);
}

// Both faces over the same input, settings and envelope, with a discontinuity, fed the same
// random pieces and read into the same random outputs: the same bits.
TEST_F(MftTest, GivesTheDmosOutputBitForBit) {
    const Format formats[] = {
        kStereo16,
        {WAVE_FORMAT_IEEE_FLOAT, 6, 48000, 32, 0, 0x3F},
        {WAVE_FORMAT_PCM, 2, 48000, 24, 20, 0x3},
    };
    const MP_ENVELOPE_SEGMENT sweep = {0, 3000000, 300, 9000, MP_CURVE_LINEAR, 0};
    std::mt19937 random(11);
    for (const Format& f : formats) {
        SCOPED_TRACE(testing::Message() << f.channels << " channels of " << f.bits << " bits");
        IMFTransform* mft = NewMft();
        IMediaObject* dmo = nullptr;
        ASSERT_EQ(dll.Create(IID_IMediaObject, &dmo, nullptr, CLSID_ResonantFilterDmo), S_OK);
        for (IUnknown* object : {static_cast<IUnknown*>(mft), static_cast<IUnknown*>(dmo)}) {
            IFilterPresets* presets = nullptr;
            object->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets));
            ASSERT_EQ(presets->ApplyPreset(5), S_OK);
            presets->Release();
            IMediaParams* params = nullptr;
            object->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params));
            ASSERT_EQ(params->AddEnvelope(0, 1, const_cast<MP_ENVELOPE_SEGMENT*>(&sweep)), S_OK);
            params->Release();
        }
        IMFMediaType* type = MfType(f);
        ASSERT_EQ(mft->SetInputType(0, type, 0), S_OK);
        ASSERT_EQ(mft->SetOutputType(0, type, 0), S_OK);
        type->Release();
        AudioType wave(f.tag, f.channels, f.rate, f.bits, f.mask != 0);
        wave.wave.Samples.wValidBitsPerSample = f.valid ? f.valid : f.bits;
        wave.wave.dwChannelMask = f.mask;
        ASSERT_EQ(dmo->SetInputType(0, wave.Dmo(), 0), S_OK);
        ASSERT_EQ(dmo->SetOutputType(0, wave.Dmo(), 0), S_OK);

        const DWORD block = f.channels * f.bits / 8, frames = 14400;
        std::vector<BYTE> input(size_t(frames) * block);
        if (f.tag == WAVE_FORMAT_IEEE_FLOAT) {
            std::uniform_real_distribution<float> level(-0.5f, 0.5f);
            for (size_t i = 0; i < input.size(); i += 4) {
                const float v = level(random);
                std::memcpy(&input[i], &v, 4);
            }
        } else {
            for (BYTE& b : input)
                b = BYTE(random());
        }
        std::vector<BYTE> fromMft, fromDmo;
        for (DWORD start = 0; start < frames;) {
            const DWORD n = std::min<DWORD>(frames - start, 1 + random() % 2000);
            const bool restart = start <= frames / 2 && start + n > frames / 2;
            const LONGLONG time = FrameTime(start, f.rate);
            IMFSample* in = NewMfSample(n * block, &input[size_t(start) * block], n * block);
            in->SetSampleTime(time);
            if (restart) in->SetUINT32(MFSampleExtension_Discontinuity, TRUE);
            ASSERT_EQ(mft->ProcessInput(0, in, 0), S_OK);
            std::vector<DWORD> rooms;
            for (DWORD done = 0; done < n;) {
                const DWORD room = 1 + random() % 700;
                rooms.push_back(room);
                IMFSample* out = NewMfSample(room * block, nullptr, 0);
                MFT_OUTPUT_DATA_BUFFER piece = {0, out, 0, nullptr};
                DWORD status = 0;
                ASSERT_EQ(mft->ProcessOutput(0, 1, &piece, &status), S_OK);
                const std::vector<uint8_t> bytes = MfSampleBytes(out);
                const DWORD got = DWORD(bytes.size()) / block;
                ASSERT_EQ(got, std::min(room, n - done));
                fromMft.insert(fromMft.end(), bytes.begin(), bytes.end());
                LONGLONG at = 0;
                UINT32 mark = 0;
                out->GetSampleTime(&at);
                EXPECT_EQ(at, time + FrameTime(done, f.rate));
                EXPECT_EQ(SUCCEEDED(out->GetUINT32(MFSampleExtension_Discontinuity, &mark)) && mark,
                          restart && done == 0);
                done += got;
                EXPECT_EQ(piece.dwStatus, done < n ? DWORD(MFT_OUTPUT_DATA_BUFFER_INCOMPLETE) : 0u);
                out->Release();
            }
            EXPECT_EQ(in->Release(), 0u);

            MemoryBuffer buffer(n * block);
            buffer.Fill(&input[size_t(start) * block], n * block);
            const DWORD flags = DMO_INPUT_DATA_BUFFERF_TIME | (restart ? 0x8 : 0);  // discontinuity
            ASSERT_EQ(dmo->ProcessInput(0, &buffer, flags, time, 0), S_OK);
            for (DWORD room : rooms) {
                MemoryBuffer out(room * block);
                DMO_OUTPUT_DATA_BUFFER piece = {&out, 0, 0, 0};
                DWORD status = 0;
                ASSERT_EQ(dmo->ProcessOutput(0, 1, &piece, &status), S_OK);
                fromDmo.insert(fromDmo.end(), out.bytes.begin(), out.bytes.begin() + out.length);
            }
            start += n;
        }
        EXPECT_TRUE(fromMft == fromDmo);
        EXPECT_NE(std::memcmp(fromMft.data(), input.data(), input.size()), 0) << "it filters";
        EXPECT_EQ(mft->Release(), 0u);
        EXPECT_EQ(dmo->Release(), 0u);
    }
}

std::wstring ListedMftName() {
    const MFT_REGISTER_TYPE_INFO floats = {MFMediaType_Audio, MFAudioFormat_Float};
    IMFActivate** found = nullptr;
    UINT32 count = 0;
    EXPECT_EQ(MFTEnumEx(MFT_CATEGORY_AUDIO_EFFECT, MFT_ENUM_FLAG_SYNCMFT, &floats, &floats, &found,
                        &count),
              S_OK);
    bool listed = false;
    for (UINT32 i = 0; i < count; ++i) {
        GUID clsid{};
        found[i]->GetGUID(MFT_TRANSFORM_CLSID_Attribute, &clsid);
        listed = listed || IsEqualGUID(clsid, CLSID_ResonantFilterDmo);
        found[i]->Release();
    }
    CoTaskMemFree(found);
    if (!listed) return L"";
    WCHAR* name = nullptr;
    MFT_REGISTER_TYPE_INFO* inputs = nullptr;
    MFT_REGISTER_TYPE_INFO* outputs = nullptr;
    UINT32 inCount = 0, outCount = 0;
    EXPECT_EQ(
        MFTGetInfo(CLSID_ResonantFilterDmo, &name, &inputs, &inCount, &outputs, &outCount, nullptr),
        S_OK);
    std::wstring listedName = name ? name : L"(no name)";
    EXPECT_EQ(inCount, 2u);
    EXPECT_EQ(outCount, 2u);
    CoTaskMemFree(name);
    CoTaskMemFree(inputs);
    CoTaskMemFree(outputs);
    return listedName;
}

// regsvr32 enters the class among the audio effects; unregistering removes it, also twice.
TEST_F(MftTest, RegistrationListsItAmongTheAudioEffects) {
    EXPECT_EQ(ListedMftName(), L"Veltrin Resonant Filter MFT");
    ASSERT_EQ(RunRegsvr32(L"/u /s", DllPath()), 0);
    EXPECT_EQ(RunRegsvr32(L"/u /s", DllPath()), 0) << "an entry already gone";
    EXPECT_EQ(ListedMftName(), L"");
    ASSERT_EQ(RunRegsvr32(L"/s", DllPath()), 0);
    EXPECT_EQ(ListedMftName(), L"Veltrin Resonant Filter MFT");
}

}  // namespace
