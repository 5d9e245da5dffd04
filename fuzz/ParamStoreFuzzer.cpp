// Drives MediaParamStore with random sequences of envelope, value, capture and clock calls, and
// checks what must hold whatever the host sends: values that reach the filter are finite and in
// range, ramps are finite, the clock never runs backwards within a buffer and stretches fit.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "params/MediaParamStore.h"
#include "platform/NullOwner.h"

namespace {

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    template <typename T>
    T Take() {
        T value{};
        const size_t n = sizeof(T) < size_ - pos_ ? sizeof(T) : size_ - pos_;
        std::memcpy(&value, data_ + pos_, n);
        pos_ += n;
        return value;
    }
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

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

// a + b as the host's own arithmetic might produce it: wrapping, not undefined.
REFERENCE_TIME Wrap(REFERENCE_TIME a, REFERENCE_TIME b) {
    return REFERENCE_TIME(uint64_t(a) + uint64_t(b));
}

DWORD IndexFrom(uint8_t b) {
    const DWORD i = b % 8;
    return i < kParamCount ? i : (i == 6 ? DWORD_ALLPARAMS : 9);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NullOwner owner;
    HRESULT created = E_FAIL;
    MediaParamStore store(&owner, &created);
    if (FAILED(created)) return 0;
    Reader in(data, size);
    DWORD rate = 0;
    while (!in.Empty()) {
        const uint8_t op = in.Take<uint8_t>();
        const DWORD index = IndexFrom(in.Take<uint8_t>());
        const DWORD param = index % kParamCount;
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
                    const DWORD curve = in.Take<uint8_t>() < 16 ? in.Take<DWORD>() : 1u << (op % 5);
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
                break;
            }
            case 8:
                store.StopTimeBase();
                break;
            default: {
                // One buffer through a driver loop.
                DWORD left = 1 + in.Take<uint16_t>() % 8192;
                for (int calls = 0; left > 0 && calls < 64; ++calls) {
                    const REFERENCE_TIME before = store.Position();
                    DWORD mask = 0;
                    const DWORD got = store.AdvanceToNextChange(left, &mask);
                    Check(store.Position() >= before);
                    if (rate > 0 && rate < 10000000) Check(got <= left);
                    left -= got < left ? got : left;
                    for (DWORD i = 0; i < kParamCount; ++i) {
                        double value, slope, curvature;
                        store.GetRampState(i, &value, &slope, &curvature);
                        Check(std::isfinite(value) && std::isfinite(slope) &&
                              std::isfinite(curvature));
                    }
                }
                break;
            }
        }
        MP_DATA values[kParamCount];
        store.GetAllParams(values);
        for (DWORD i = 0; i < kParamCount; ++i) {
            Check(values[i] >= ParamMin(i) && values[i] <= ParamMax(i));
        }
    }
    return 0;
}
