// The DMO as a DirectSound 8 buffer effect (SetFX), created by dsound from the registration and run
// by Wine's mixer on its own thread. dsound_fx.sh routes what the mixer plays (48 kHz stereo float,
// paced at real time) into the raw file RF_CAPTURE names; each case plays one buffer and reads back
// its stretch of that file, from the first sound on.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "include/ResonantFilterApi.h"
#include "params/ParamTable.h"

#include <dsound.h>
#include <mediaobj.h>
#include <medparam.h>

namespace {

constexpr DWORD kRate = 48000;
constexpr size_t kChannels = 2;
constexpr LONGLONG kFrameBytes = kChannels * sizeof(float);  // as captured
constexpr double kToneHz = 5000;
constexpr double kPi = 3.14159265358979323846;
constexpr size_t kSilentRun = 32;  // zero frames in a row that only a gap in the mix makes

// The wrapper's capture file, read while the mixer appends to it.
class MixCapture {
  public:
    MixCapture() {
        const char* unixPath = std::getenv("RF_CAPTURE");
        if (unixPath == nullptr) return;
        path_ = L"Z:";
        for (const char* c = unixPath; *c != 0; ++c)
            path_ += *c == '/' ? L'\\' : wchar_t(*c);
    }
    bool Known() const { return !path_.empty(); }

    // Whole frames from `first` on, as far as the file goes.
    std::vector<float> From(LONGLONG first) const {
        std::vector<float> frames;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return frames;
        LARGE_INTEGER size{}, at{};
        at.QuadPart = first * kFrameBytes;
        if (GetFileSizeEx(file, &size) && size.QuadPart > at.QuadPart &&
            SetFilePointerEx(file, at, nullptr, FILE_BEGIN)) {
            const DWORD bytes = DWORD((size.QuadPart - at.QuadPart) / kFrameBytes * kFrameBytes);
            frames.resize(bytes / sizeof(float));
            DWORD got = 0;
            if (!ReadFile(file, frames.data(), bytes, &got, nullptr)) got = 0;
            frames.resize(got / kFrameBytes * kChannels);
        }
        CloseHandle(file);
        return frames;
    }
    LONGLONG Frames() const {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return 0;
        return ((LONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow) / kFrameBytes;
    }

  private:
    std::wstring path_;
};

// What the mixer made of one buffer, from its first non-zero frame: `frames` frames, or fewer if
// the capture stopped growing. A mixer thread that misses its turn on a busy machine leaves a gap
// of silence and then carries on where it was, so runs of zero frames, which the signals here
// never hold, are taken out again.
struct Played {
    std::vector<float> samples;
    int gaps = 0;
    bool Complete(size_t frames) const { return samples.size() == frames * kChannels; }
};

Played Unwrap(const std::vector<float>& got, size_t frames) {
    Played p;
    size_t f = 0;
    const size_t total = got.size() / kChannels;
    auto silent = [&](size_t i) { return got[i * 2] == 0 && got[i * 2 + 1] == 0; };
    while (f < total && silent(f))
        ++f;
    while (f < total && p.samples.size() < frames * kChannels) {
        size_t run = 0;
        while (f + run < total && silent(f + run))
            ++run;
        if (f + run == total) break;  // maybe not a gap, only the end so far
        if (run >= kSilentRun) {
            ++p.gaps;
        } else {
            p.samples.insert(p.samples.end(), got.begin() + long(f * kChannels),
                             got.begin() + long((f + run) * kChannels));
        }
        f += run;
        p.samples.insert(p.samples.end(), got.begin() + long(f * kChannels),
                         got.begin() + long((f + 1) * kChannels));
        ++f;
    }
    p.samples.resize(std::min(p.samples.size(), frames * kChannels));
    return p;
}

double Rms(const Played& p, size_t first, size_t end) {
    double sum = 0;
    for (size_t i = first * kChannels; i < end * kChannels; ++i)
        sum += double(p.samples[i]) * p.samples[i];
    return std::sqrt(sum / double((end - first) * kChannels));
}

double Decibels(double ratio) {
    return 20 * std::log10(ratio);
}

// A 16-bit stereo tone at full amplitude over two. Its phase is offset half a step off every zero:
// no sample is near zero, so the first non-zero frame is the buffer's first and zero frames are
// gaps.
std::vector<int16_t> Tone(double seconds) {
    std::vector<int16_t> s(size_t(seconds * kRate) * kChannels);
    for (size_t i = 0; i < s.size(); ++i) {
        const double phase = 2 * kPi * kToneHz * double(i / kChannels) / kRate + kPi / 48;
        s[i] = int16_t(std::lround(16384 * std::sin(phase)));
    }
    return s;
}

using BufferStep = std::function<void(IDirectSoundBuffer8*)>;

class DsoundFxTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(DirectSoundCreate8(nullptr, &sound_, nullptr)))
            sound_->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY);
    }
    static void TearDownTestSuite() {
        if (sound_ != nullptr) sound_->Release();
        sound_ = nullptr;
        CoUninitialize();
    }
    void SetUp() override {
        ASSERT_TRUE(capture_.Known()) << "run through dsound_fx.sh, which sets RF_CAPTURE";
        ASSERT_NE(sound_, nullptr) << "DirectSoundCreate8 found no device";
    }

    // Plays `signal` once in a new buffer that takes effects. `setup` runs before Play; `midway`
    // runs once the play cursor has passed `midwayFrame`. The buffer is released at the end.
    Played Play(const std::vector<int16_t>& signal, const BufferStep& setup,
                const BufferStep& midway = nullptr, DWORD midwayFrame = 0) {
        Played played;
        // The last case's sound, an effect's tail included, must be over before this one starts.
        LONGLONG start = 0;
        for (int waited = 0; waited < 10000; waited += 20) {
            start = capture_.Frames();
            const std::vector<float> end = capture_.From(start - kRate / 10);
            if (start >= kRate / 10 &&
                std::all_of(end.begin(), end.end(), [](float x) { return x == 0; }))
                break;
            Sleep(20);
        }
        WAVEFORMATEX format{WAVE_FORMAT_PCM,
                            WORD(kChannels),
                            kRate,
                            kRate * kChannels * 2,
                            WORD(kChannels * 2),
                            16,
                            0};
        DSBUFFERDESC desc{sizeof desc,
                          DSBCAPS_CTRLFX | DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2,
                          DWORD(signal.size() * 2),
                          0,
                          &format,
                          GUID_NULL};
        IDirectSoundBuffer* plain = nullptr;
        IDirectSoundBuffer8* buffer = nullptr;
        EXPECT_EQ(sound_->CreateSoundBuffer(&desc, &plain, nullptr), S_OK);
        if (plain == nullptr) return played;
        EXPECT_EQ(plain->QueryInterface(IID_IDirectSoundBuffer8, reinterpret_cast<void**>(&buffer)),
                  S_OK);
        plain->Release();
        if (buffer == nullptr) return played;
        void* data = nullptr;
        DWORD bytes = 0;
        if (SUCCEEDED(buffer->Lock(0, 0, &data, &bytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
            std::memcpy(data, signal.data(), bytes);
            buffer->Unlock(data, bytes, nullptr, 0);
        }
        setup(buffer);
        EXPECT_EQ(buffer->Play(0, 0, 0), S_OK);
        bool calledMidway = midway == nullptr;
        DWORD status = DSBSTATUS_PLAYING;
        for (int waited = 0; (status & DSBSTATUS_PLAYING) != 0 && waited < 10000; waited += 20) {
            Sleep(20);
            DWORD cursor = 0;
            if (!calledMidway && SUCCEEDED(buffer->GetCurrentPosition(&cursor, nullptr)) &&
                cursor >= midwayFrame * kChannels * 2) {
                midway(buffer);
                calledMidway = true;
            }
            buffer->GetStatus(&status);
        }
        EXPECT_TRUE(calledMidway) << "the buffer stopped before the play cursor got there";
        EXPECT_EQ(status & DSBSTATUS_PLAYING, 0u) << "the buffer did not stop";
        Release(buffer);

        // Waits until the whole buffer has been captured.
        const size_t frames = signal.size() / kChannels;
        for (int waited = 0; waited < 10000; waited += 20) {
            played = Unwrap(capture_.From(start), frames);
            if (played.Complete(frames)) break;
            Sleep(20);
        }
        EXPECT_TRUE(played.Complete(frames)) << "the capture stopped growing";
        if (played.gaps != 0) std::printf("the mixer left %d gap(s)\n", played.gaps);
        return played;
    }

    // The effect keeps the DLL that dsound loaded busy; releasing the buffer frees it.
    static void Release(IDirectSoundBuffer8* buffer) {
        IUnknown* effect = nullptr;
        buffer->GetObjectInPath(GUID_All_Objects, 0, IID_IMediaObject,
                                reinterpret_cast<void**>(&effect));
        if (effect == nullptr) {
            buffer->Release();
            return;
        }
        effect->Release();
        HMODULE dll = nullptr;  // held across the release
        ASSERT_TRUE(GetModuleHandleExW(0, L"ResonantFilter.dll", &dll))
            << "the effect does not come from ResonantFilter.dll";
        using CanUnloadFn = HRESULT(WINAPI*)();
        auto canUnloadNow = reinterpret_cast<CanUnloadFn>(
            reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
        EXPECT_NE(canUnloadNow, nullptr);
        if (canUnloadNow != nullptr) {
            EXPECT_EQ(canUnloadNow(), S_FALSE) << "the DLL may unload under a live effect";
        }
        buffer->Release();
        if (canUnloadNow != nullptr) {
            EXPECT_EQ(canUnloadNow(), S_OK) << "the effect outlived its buffer";
        }
        FreeLibrary(dll);
    }

    static IDirectSound8* sound_;
    MixCapture capture_;
};

IDirectSound8* DsoundFxTest::sound_ = nullptr;

// Inserts the DMO with `values` (all six parameters, set through the settings interface).
BufferStep WithEffect(std::vector<float> values) {
    return [values](IDirectSoundBuffer8* buffer) {
        DSEFFECTDESC effect{sizeof effect, 0, CLSID_ResonantFilterDmo, 0, 0};
        DWORD result = DSFXR_UNKNOWN;
        ASSERT_EQ(buffer->SetFX(1, &effect, &result), S_OK);
        EXPECT_EQ(result, DWORD(DSFXR_LOCSOFTWARE));
        IFilterSettings* settings = nullptr;
        ASSERT_EQ(buffer->GetObjectInPath(CLSID_ResonantFilterDmo, 0, IID_IFilterSettings,
                                          reinterpret_cast<void**>(&settings)),
                  S_OK);
        EXPECT_EQ(settings->SetAllParams(values.data()), S_OK);
        settings->Release();
    };
}

const BufferStep kNoEffect = [](IDirectSoundBuffer8*) {};

// Frequency, Resonance, Filter Type (0 low pass), Filter Order (0 second), Bypass, Wet/Dry.
std::vector<float> LowPass(float hz, float bypass = 0, float wet = 100) {
    return {hz, 0, 0, 0, bypass, wet};
}

TEST_F(DsoundFxTest, ALowPassAttenuatesAndBypassOrDryMatchesNoEffectExactly) {
    const std::vector<int16_t> tone = Tone(0.5);
    const size_t frames = tone.size() / kChannels;
    const Played plain = Play(tone, kNoEffect);
    ASSERT_TRUE(plain.Complete(frames));
    // Without an effect the mixer plays the buffer's own samples: a check on the capture itself.
    for (size_t i = 0; i < tone.size(); ++i)
        ASSERT_EQ(plain.samples[i], float(tone[i]) / 32768) << "at sample " << i;

    const Played low = Play(tone, WithEffect(LowPass(200)));
    ASSERT_TRUE(low.Complete(frames));
    // Over the second half, past the filter's onset.
    const double attenuation =
        Decibels(Rms(plain, frames / 2, frames) / Rms(low, frames / 2, frames));
    EXPECT_GE(attenuation, 30) << "a 200 Hz low pass on a 5 kHz tone";
    std::printf("200 Hz low pass: the 5 kHz tone %.1f dB down\n", attenuation);

    const std::pair<const char*, std::vector<float>> passThrough[] = {
        {"Bypass", LowPass(200, 1)}, {"Wet 0", LowPass(200, 0, 0)}};
    for (const auto& c : passThrough) {
        const Played got = Play(tone, WithEffect(c.second));
        EXPECT_TRUE(got.samples == plain.samples) << c.first << " changed the sound";
    }
}

TEST_F(DsoundFxTest, AParameterSetWhileTheBufferPlaysIsHeard) {
    const std::vector<int16_t> tone = Tone(1.2);
    const size_t frames = tone.size() / kChannels;
    // Opened up once the play cursor is past 0.5 s. The mixer works ahead of the cursor, so the
    // first quarter second was filtered at 200 Hz, and the last at 20 kHz.
    const BufferStep openUp = [](IDirectSoundBuffer8* buffer) {
        IMediaParams* params = nullptr;
        ASSERT_EQ(buffer->GetObjectInPath(GUID_All_Objects, 0, IID_IMediaParams,
                                          reinterpret_cast<void**>(&params)),
                  S_OK);
        EXPECT_EQ(params->SetParam(kParamFrequency, 20000), S_OK);
        params->Release();
    };
    const Played got = Play(tone, WithEffect(LowPass(200)), openUp, kRate / 2);
    ASSERT_TRUE(got.Complete(frames));
    const double toneRms = 0.5 / std::sqrt(2.0);
    const double before = Decibels(Rms(got, kRate / 20, kRate / 4) / toneRms);
    const double after = Decibels(Rms(got, frames - kRate / 5, frames) / toneRms);
    EXPECT_LT(before, -30) << "before the change";
    EXPECT_GT(after, -3) << "the change was not heard";
    std::printf("the tone at 200 Hz %.1f dB, opened up %.1f dB\n", before, after);
}

}  // namespace
