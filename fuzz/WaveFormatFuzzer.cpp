// Hands CheckWaveFormat any format block of any length, in a heap block exactly that long so a
// read past cbFormat is caught, and checks that what it accepts is a consistent plain record the
// kernels can stream, with valid bits they can write; a few frames of the input then go through the
// portable core, which must not turn finite samples into NaN or infinities.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>

#include "dsp/FilterDsp.h"
#include "fuzz/FuzzCheck.h"
#include "platform/NullOwner.h"
#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"

namespace {

constexpr size_t kExtensibleBytes = 40;
constexpr DWORD kMaxFrames = 512;
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

template <typename T>
void Put(uint8_t* block, size_t offset, T value) {
    std::memcpy(block + offset, &value, sizeof value);
}

// Mostly a value the check accepts, so the accepting paths are reached; now and then anything.
WORD Channels(FuzzReader& in) {
    const uint8_t b = in.Take<uint8_t>();
    return b < 16 ? in.Take<WORD>() : WORD(1 + b % 34);
}
WORD Bits(FuzzReader& in) {
    static const WORD kBits[] = {8, 16, 32, 64, 24};
    const uint8_t b = in.Take<uint8_t>();
    return b < 16 ? in.Take<WORD>() : kBits[b % 5];
}
DWORD Rate(FuzzReader& in) {
    const uint8_t b = in.Take<uint8_t>();
    return b < 32 ? in.Take<DWORD>() : 8000u * (b % 24) + 3025u * (b % 3);
}

// A format block built from the input: 0 a plain record, 1 an extensible one, else raw bytes.
// `bytes` is what the caller passes as cbFormat; the block is at least 40 bytes here and is cut
// to `bytes` by the caller.
size_t BuildBlock(FuzzReader& in, uint8_t kind, uint8_t block[64]) {
    std::memset(block, 0, 64);
    if (kind > 1) {
        const size_t n = in.Take<uint8_t>() % 65;
        const size_t got = n < in.Left() ? n : in.Left();
        std::memcpy(block, in.Here(), got);
        in.Skip(got);
        return n;
    }
    const WORD channels = Channels(in);
    const DWORD rate = Rate(in);
    const WORD bits = Bits(in);
    const uint8_t shape = in.Take<uint8_t>();
    Put<WORD>(block, 2, channels);
    Put<DWORD>(block, 4, rate);
    Put<DWORD>(block, 8, in.Take<DWORD>());  // byte rate: the check must recompute it
    Put<WORD>(block, 12, in.Take<WORD>());   // block alignment: likewise
    Put<WORD>(block, 14, bits);
    if (kind == 0) {
        Put<WORD>(block, 0, WORD(shape & 1 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM));
        Put<WORD>(block, 16, in.Take<WORD>());
        return shape < 32 ? shape % 64 : (shape & 2 ? 18 : 16);
    }
    Put<WORD>(block, 0, WORD(0xFFFE));
    Put<WORD>(block, 16, WORD(shape < 16 ? in.Take<WORD>() : 22));
    // Valid bits: mostly near the containers' range, now and then anything.
    const uint8_t valid = in.Take<uint8_t>();
    Put<WORD>(block, 18,
              WORD(shape % 16 == 1 ? (valid < 16 ? in.Take<WORD>() : 12 + valid % 24) : bits));
    Put<DWORD>(block, 20, in.Take<DWORD>());  // channel mask: not looked at
    Put<DWORD>(block, 24, DWORD(shape & 2 ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM));
    std::memcpy(block + 28, kSubFormatTail, sizeof kSubFormatTail);
    if (shape % 16 == 2) block[28 + in.Take<uint8_t>() % 12] ^= 1 + in.Take<uint8_t>() % 255;
    if (shape % 16 == 3) Put<DWORD>(block, 24, in.Take<DWORD>());
    return shape % 8 == 4 ? in.Take<uint8_t>() % 64 : kExtensibleBytes + (shape >> 7) * 4;
}

void CheckStored(const WAVEFORMATEX& f, WORD valid) {
    Check(f.wFormatTag == WAVE_FORMAT_PCM || f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT,
          "the stored tag is PCM or IEEE float");
    Check(f.nChannels >= 1 && f.nChannels <= 32, "the stored record has 1 to 32 channels");
    const WORD b = f.wBitsPerSample;
    Check(f.wFormatTag == WAVE_FORMAT_PCM ? b == 8 || b == 16 || b == 24 || b == 32
                                          : b == 32 || b == 64,
          "the stored sample size is one the kernels handle");
    Check(valid == b || (f.wFormatTag == WAVE_FORMAT_PCM && b >= 24 && valid >= 16 && valid < b),
          "the valid bits are the container's, or from 16 up in wide PCM");
    Check(f.nSamplesPerSec != 0, "the stored rate is not zero");
    Check(f.nBlockAlign == f.nChannels * (b / 8), "the stored block alignment is one frame");
    Check(uint64_t(f.nAvgBytesPerSec) == uint64_t(f.nBlockAlign) * f.nSamplesPerSec,
          "the stored byte rate is frames times rate");
    Check(f.cbSize == 0, "the stored record has no extension");
}

// What a float buffer holds: its largest magnitude, and whether any sample is NaN or infinite.
struct Scan {
    double peak = 0;
    bool nan = false, infinite = false;
};

// With `sanitize`, non-finite samples become 0 first, so any that come out were made by the
// filter.
template <typename T>
Scan ScanSamples(uint8_t* samples, size_t count, bool sanitize) {
    Scan scan;
    for (size_t i = 0; i < count; ++i) {
        T v;
        std::memcpy(&v, samples + i * sizeof v, sizeof v);
        if (sanitize && !std::isfinite(v)) {
            v = 0;
            std::memcpy(samples + i * sizeof v, &v, sizeof v);
        }
        scan.nan = scan.nan || std::isnan(v);
        scan.infinite = scan.infinite || std::isinf(v);
        if (std::fabs(double(v)) > scan.peak) scan.peak = std::fabs(double(v));
    }
    return scan;
}

// Far beyond any real signal, far inside what the filter's gains can carry without overflow.
constexpr double kHeadroom = 1e6;
// Below this the double working arithmetic cannot overflow, so nothing can come out as NaN
// (every 32-bit float is below it); a 64-bit sample near the type's limit may overflow it.
constexpr double kNoOverflow = 1e300;

void Stream(const WAVEFORMATEX& format, WORD valid, FuzzReader& in) {
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp(&owner, &created);
    if (FAILED(created)) return;
    StreamDriver driver(dsp);
    for (DWORD i = 0; i < kParamCount; ++i)
        dsp.SetParam(i, ParamMin(i) + (ParamMax(i) - ParamMin(i)) * (in.Take<uint8_t>() / 255.0f));

    const size_t frameBytes = format.nBlockAlign;
    DWORD frames = DWORD(in.Left() / frameBytes);
    if (frames > kMaxFrames) frames = kMaxFrames;
    if (frames == 0) return;
    const size_t count = size_t(frames) * format.nChannels;
    // Doubles keep the buffer aligned for every sample type.
    std::unique_ptr<double[]> storage(new double[(frames * frameBytes + 7) / 8]);
    uint8_t* samples = reinterpret_cast<uint8_t*>(storage.get());
    std::memcpy(samples, in.Here(), frames * frameBytes);
    const bool isFloat = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    const bool is64 = format.wBitsPerSample == 64;
    Scan input;
    if (isFloat) {
        input = is64 ? ScanSamples<double>(samples, count, true)
                     : ScanSamples<float>(samples, count, true);
    }

    driver.StoreFormat(format, valid);
    Check(SUCCEEDED(driver.StartStreaming()), "streaming starts with an accepted format");
    // Two buffers, the second continuing the first, so state carries across a boundary.
    const DWORD first = frames / 2;
    REFERENCE_TIME start = 0;
    const DWORD parts[2] = {first, frames - first};
    uint8_t* at = samples;
    for (int k = 0; k < 2; ++k) {
        dsp.Store().SetSampleTimes(&start);
        DWORD done = 0;
        const HRESULT hr =
            driver.RunBuffer(at, parts[k], k == 0 ? kBlockRestart : kBlockContinue, &done);
        Check(SUCCEEDED(hr), "an accepted format streams");
        Check(done == parts[k], "a buffer is processed whole");
        at += size_t(parts[k]) * frameBytes;
        start += REFERENCE_TIME(parts[k]) * 10000000 / REFERENCE_TIME(format.nSamplesPerSec);
    }
    driver.StopStreaming();
    // Bypass passes the samples as they came; filtered ones are rounded to the valid bits.
    if (valid < format.wBitsPerSample && dsp.CheckBypass() == 1) {
        const size_t bytes = format.wBitsPerSample / 8;
        const uint32_t below = (uint32_t(1) << (format.wBitsPerSample - valid)) - 1;
        for (size_t i = 0; i < count; ++i) {
            uint32_t u = 0;
            std::memcpy(&u, samples + i * bytes, bytes);
            Check((u & below) == 0, "the bits below the valid ones leave as zero");
        }
    }
    if (isFloat) {
        const Scan output = is64 ? ScanSamples<double>(samples, count, false)
                                 : ScanSamples<float>(samples, count, false);
        Check(input.peak > kNoOverflow || !output.nan, "finite input never streams to NaN");
        // A sample near the type's limit may leave as an infinity; an ordinary one may not.
        Check(input.peak > kHeadroom || !output.infinite,
              "ordinary input streams to finite output");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzReader in(data, size);
    uint8_t built[64];
    const size_t bytes = BuildBlock(in, in.Take<uint8_t>() % 4, built);
    // Exactly `bytes` on the heap: one byte more read is an ASan report.
    std::unique_ptr<uint8_t[]> block(new uint8_t[bytes]);
    std::memcpy(block.get(), built, bytes);
    WAVEFORMATEX stored;
    std::memset(&stored, 0xA5, sizeof stored);
    WORD valid = 0;
    const HRESULT hr = CheckWaveFormat(block.get(), bytes, &stored, &valid);
    Check(hr == S_OK || FAILED(hr), "the check answers S_OK or a failure");
    Check(CheckWaveFormat(block.get(), bytes, nullptr, nullptr) == hr, "the record is optional");
    const bool whole = hr == S_OK && valid == stored.wBitsPerSample;
    Check(CheckWaveFormat(block.get(), bytes, nullptr) == (whole ? S_OK : E_INVALIDARG),
          "the plain-record check refuses only what it cannot keep");
    if (hr != S_OK) return 0;
    CheckStored(stored, valid);
    Stream(stored, valid, in);
    return 0;
}
