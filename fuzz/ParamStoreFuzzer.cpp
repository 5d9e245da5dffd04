// Drives MediaParamStore with random sequences of envelope, value, capture and clock calls, with
// buffers streamed through the filter's core in between, and checks what must hold whatever the
// host sends: values that reach the filter are finite and in range, ramps are finite, the clock
// never runs backwards within a buffer, stretches fit and finite samples stay finite.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dsp/FilterDsp.h"
#include "fuzz/FuzzCheck.h"
#include "params/MediaParamStore.h"
#include "platform/NullOwner.h"
#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"

namespace {

class Reader : public FuzzReader {
  public:
    using FuzzReader::FuzzReader;
    // Mostly small times so that segments meet and overlap; now and then anything at all.
    REFERENCE_TIME Time() {
        const uint8_t kind = Take<uint8_t>();
        if (kind < 16) return Take<int64_t>();
        return REFERENCE_TIME(Take<int16_t>()) * (kind % 4 == 0 ? 1 : 2500);
    }
    // Mostly ordinary values; sometimes raw bits (NaN, infinities, extremes).
    float Value() {
        const uint8_t kind = Take<uint8_t>();
        if (kind < 32) return Take<float>();
        return float(Take<int16_t>()) * 0.5f;
    }
};

// a + b as the host's own arithmetic might produce it: wrapping, not undefined.
REFERENCE_TIME Wrap(REFERENCE_TIME a, REFERENCE_TIME b) {
    return REFERENCE_TIME(uint64_t(a) + uint64_t(b));
}

DWORD IndexFrom(uint8_t b) {
    const DWORD i = b % 8;
    return i < kParamCount ? i : (i == 6 ? DWORD_ALLPARAMS : 9);
}

// The streaming side over the same store: started on first use at the clock's rate (or 44.1 kHz)
// and restarted whenever the time base was changed under it, as the pins would.
struct Streamer {
    explicit Streamer(FilterDsp& dsp) : driver(dsp) {}
    StreamDriver driver;
    bool running = false;

    void Run(FilterDsp& dsp, Reader& in, uint8_t op, DWORD rate) {
        const WORD channels = WORD(1 + op % 2);
        if (!running || driver.Format().nChannels != channels) {
            driver.StoreFormat(
                MakeStoredFormat(WAVE_FORMAT_IEEE_FLOAT, channels, rate ? rate : 44100, 32));
            running = SUCCEEDED(driver.StartStreaming());
            if (!running) return;
        }
        float samples[2 * 64];
        const DWORD frames = 1 + in.Take<uint8_t>() % 64;
        for (DWORD i = 0; i < frames * channels; ++i)
            samples[i] = float(in.Take<int16_t>()) / 32768.0f;
        const REFERENCE_TIME t = in.Time();
        dsp.Store().SetSampleTimes(in.Take<uint8_t>() < 32 ? nullptr : &t);
        DWORD done = 0;
        driver.RunBuffer(samples, frames, op & 4 ? kBlockRestart : kBlockContinue, &done);
        Check(done <= frames, "a buffer never reports more frames than it had");
        for (DWORD i = 0; i < frames * channels; ++i)
            Check(std::isfinite(samples[i]), "finite samples stream to finite samples");
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp(&owner, &created);
    if (FAILED(created)) return 0;
    MediaParamStore& store = dsp.Store();
    Streamer streamer(dsp);
    Reader in(data, size);
    DWORD rate = 0;
    while (!in.Empty()) {
        const uint8_t op = in.Take<uint8_t>();
        const DWORD index = IndexFrom(in.Take<uint8_t>());
        const DWORD param = index % kParamCount;
        // The top of the range streams a buffer; below it the operations keep the meaning the
        // seeds were written for.
        if (op >= 240) {
            streamer.Run(dsp, in, op, rate);
            continue;
        }
        switch (op % 10) {
            case 0: {
                MP_ENVELOPE_SEGMENT segs[4];
                const DWORD count = 1 + in.Take<uint8_t>() % 4;
                for (DWORD k = 0; k < count; ++k) {
                    segs[k].rtStart = in.Time();
                    segs[k].rtEnd =
                        in.Take<uint8_t>() < 32 ? in.Time() : Wrap(segs[k].rtStart, in.Time());
                    segs[k].valStart = in.Value();
                    segs[k].valEnd = in.Value();
                    const DWORD curve =
                        in.Take<uint8_t>() < 16 ? in.Take<DWORD>() : 1u << (op / 10 % 5);
                    std::memcpy(&segs[k].iCurve, &curve, sizeof curve);
                    segs[k].flags = 0;
                }
                store.AddEnvelope(index, count, segs);
                break;
            }
            case 1: {
                const REFERENCE_TIME a = in.Time();
                store.FlushEnvelope(index, a, Wrap(a, in.Time()));
                break;
            }
            case 2:
                store.SetParam(index, in.Value());
                break;
            case 3:
                store.BeginCapture(param);
                break;
            case 4:
                store.EndCapture(param);
                break;
            case 5:
                store.PutScaled(param, in.Take<int32_t>());
                break;
            case 6: {
                const REFERENCE_TIME t = in.Time();
                store.SetSampleTimes(in.Take<uint8_t>() < 32 ? nullptr : &t);
                break;
            }
            case 7: {
                const DWORD r = in.Take<uint8_t>() < 16 ? in.Take<DWORD>() : 8000u * (1 + op % 24);
                if (store.StartTimeBase(r) == S_OK) rate = r;
                streamer.running = false;
                break;
            }
            case 8:
                store.StopTimeBase();
                streamer.running = false;
                break;
            default: {
                // One buffer through a driver loop.
                DWORD left = 1 + in.Take<uint16_t>() % 8192;
                for (int calls = 0; left > 0 && calls < 64; ++calls) {
                    const REFERENCE_TIME before = store.Position();
                    DWORD mask = 0;
                    const DWORD got = store.AdvanceToNextChange(left, &mask);
                    Check(store.Position() >= before, "the clock never runs backwards");
                    if (rate > 0 && rate < 10000000)
                        Check(got <= left, "a stretch fits the buffer");
                    left -= got < left ? got : left;
                    for (DWORD i = 0; i < kParamCount; ++i) {
                        double value, slope, curvature;
                        store.GetRampState(i, &value, &slope, &curvature);
                        Check(std::isfinite(value) && std::isfinite(slope) &&
                                  std::isfinite(curvature),
                              "ramps are finite");
                    }
                }
                break;
            }
        }
        MP_DATA values[kParamCount];
        store.GetAllParams(values);
        for (DWORD i = 0; i < kParamCount; ++i) {
            Check(values[i] >= ParamMin(i) && values[i] <= ParamMax(i), "values are in range");
        }
    }
    return 0;
}
