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
#include <vector>

#include <gtest/gtest.h>

#include "include/ResonantFilterApi.h"
#include "params/ParamTable.h"

#include <dsound.h>
#include <medparam.h>

namespace {

constexpr DWORD kRate = 48000;
constexpr DWORD kChannels = 2;
constexpr DWORD kFrameBytes = kChannels * sizeof(float);  // as captured
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

// What the mixer made of one buffer: as many frames as it holds, from the first non-zero one.
// A mixer thread that misses its turn on a busy machine leaves a gap of silence (exact zeros,
// which the signals here never hold for long); level checks skip gap frames, and exact ones stop
// at the first gap, since what follows may have moved.
struct Played {
    std::vector<float> samples;
    std::vector<char> gap;  // per frame
    size_t clean = 0;       // frames before the first gap
    bool complete = false;
};

// Over the frames of [first, end) outside gaps.
double Rms(const Played& p, size_t first, size_t end) {
    double sum = 0;
    size_t n = 0;
    for (size_t f = first; f < end; ++f) {
        if (p.gap[f]) continue;
        for (size_t c = 0; c < kChannels; ++c)
            sum += double(p.samples[f * kChannels + c]) * p.samples[f * kChannels + c];
        n += kChannels;
    }
    return n == 0 ? 0 : std::sqrt(sum / double(n));
}

double Decibels(double ratio) {
    return 20 * std::log10(ratio);
}

// A 16-bit stereo tone that starts on a non-zero sample, so the first captured frame marks the
// buffer's start.
std::vector<int16_t> Tone(double seconds) {
    std::vector<int16_t> s(size_t(seconds * kRate) * kChannels);
    for (size_t i = 0; i < s.size(); ++i) {
        const double phase = 2 * kPi * kToneHz * double(i / kChannels) / kRate + kPi / 4;
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
        const LONGLONG start = capture_.Frames();
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
        for (int waited = 0; (status & DSBSTATUS_PLAYING) != 0 && waited < 10000; waited += 5) {
            Sleep(5);
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

        // Waits until the whole buffer and a little of the silence after it have been captured.
        const size_t frames = signal.size() / kChannels, after = kRate / 20;
        for (int waited = 0; waited < 10000 && !played.complete; waited += 20) {
            const std::vector<float> got = capture_.From(start);
            size_t first = 0;
            while (first < got.size() && got[first] == 0)
                ++first;
            first /= kChannels;
            if (got.size() / kChannels < first + frames + after) {
                Sleep(20);
                continue;
            }
            played.samples.assign(got.begin() + first * kChannels,
                                  got.begin() + (first + frames) * kChannels);
            played.complete = true;
        }
        EXPECT_TRUE(played.complete) << "the capture stopped growing";
        const size_t n = played.samples.size() / kChannels;
        played.gap.assign(n, 0);
        played.clean = n;
        for (size_t f = 0, run = 0; f < n; ++f) {
            run = played.samples[f * 2] == 0 && played.samples[f * 2 + 1] == 0 ? run + 1 : 0;
            if (run < kSilentRun) continue;
            std::fill(played.gap.begin() + long(f + 1 - run), played.gap.begin() + long(f + 1), 1);
            played.clean = std::min(played.clean, f + 1 - run);
        }
        return played;
    }

    // The effect keeps the DLL that dsound loaded busy; releasing the buffer frees it.
    static void Release(IDirectSoundBuffer8* buffer) {
        IUnknown* effect = nullptr;
        buffer->GetObjectInPath(GUID_All_Objects, 0, IID_IUnknown,
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

    // The same case again while the mixer left a gap, a few times at most; the longest clean run.
    Played PlayWhole(const std::vector<int16_t>& signal, const BufferStep& setup,
                     const BufferStep& midway = nullptr, DWORD midwayFrame = 0) {
        Played best;
        for (int attempt = 0; attempt < 3; ++attempt) {
            Played played = Play(signal, setup, midway, midwayFrame);
            if (!played.complete) return played;
            const bool whole = played.clean == signal.size() / kChannels;
            if (!whole) std::printf("the mixer left a gap after %zu frames\n", played.clean);
            if (!best.complete || played.clean > best.clean) best = std::move(played);
            if (whole) break;
        }
        return best;
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
    const Played plain = PlayWhole(tone, kNoEffect);
    ASSERT_TRUE(plain.complete);
    // Without an effect the mixer plays the buffer's own samples: a check on the capture itself.
    for (size_t i = 0; i < plain.clean * kChannels; ++i)
        ASSERT_EQ(plain.samples[i], float(tone[i]) / 32768) << "at sample " << i;

    const Played low = PlayWhole(tone, WithEffect(LowPass(200)));
    ASSERT_TRUE(low.complete);
    // Over the second half, past the filter's onset.
    const double attenuation =
        Decibels(Rms(plain, frames / 2, frames) / Rms(low, frames / 2, frames));
    EXPECT_GE(attenuation, 30) << "a 200 Hz low pass on a 5 kHz tone";
    std::printf("200 Hz low pass: the 5 kHz tone %.1f dB down\n", attenuation);

    struct Case {
        const char* name;
        std::vector<float> values;
    } cases[] = {{"Bypass", LowPass(200, 1)}, {"Wet 0", LowPass(200, 0, 0)}};
    for (const Case& c : cases) {
        const Played got = PlayWhole(tone, WithEffect(c.values));
        ASSERT_TRUE(got.complete) << c.name;
        const size_t same = std::min(plain.clean, got.clean);
        if (same < kRate / 10) {
            std::printf("%s: gaps in every run; not compared\n", c.name);
            continue;
        }
        EXPECT_TRUE(std::equal(got.samples.begin(), got.samples.begin() + long(same * kChannels),
                               plain.samples.begin()))
            << c.name << " changed the sound";
    }
}

TEST_F(DsoundFxTest, AParameterSetWhileTheBufferPlaysIsHeard) {
    const std::vector<int16_t> tone = Tone(1.2);
    const size_t frames = tone.size() / kChannels;
    // Opened up once the play cursor is past 0.5 s. The mixer works ahead of the cursor and, by
    // a gap at most, behind it: the first quarter second was filtered at 200 Hz.
    const BufferStep openUp = [](IDirectSoundBuffer8* buffer) {
        IMediaParams* params = nullptr;
        ASSERT_EQ(buffer->GetObjectInPath(GUID_All_Objects, 0, IID_IMediaParams,
                                          reinterpret_cast<void**>(&params)),
                  S_OK);
        EXPECT_EQ(params->SetParam(kParamFrequency, 20000), S_OK);
        params->Release();
    };
    const Played got = PlayWhole(tone, WithEffect(LowPass(200)), openUp, kRate / 2);
    ASSERT_TRUE(got.complete);
    const double toneRms = 16384.0 / 32768 / std::sqrt(2.0);
    const double before = Decibels(Rms(got, kRate / 20, kRate / 4) / toneRms);
    const double after = Decibels(Rms(got, frames - kRate / 5, frames) / toneRms);
    EXPECT_LT(before, -30) << "before the change";
    EXPECT_GT(after, -3) << "the change was not heard";
}

}  // namespace
