// rf-process: runs the portable filter core over an audio file, for batch work and for checking
// the DLL against. Usage: rf-process in.wav out.wav [preset 0..17]
// 16-bit PCM files are processed as 16-bit PCM (as the DLL would see them), anything else as
// 32-bit float. Prints the frames processed and the throughput.
#include <sndfile.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/NullOwner.h"
#include "presets/PresetTable.h"
#include "stream/StreamDriver.h"
#include "stream/WaveFormatCheck.h"

namespace {

constexpr sf_count_t kBlock = 4096;

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: rf-process in.wav out.wav [preset 0..17]\n");
        return 2;
    }
    const long preset = argc > 3 ? std::strtol(argv[3], nullptr, 10) : 0;
    if (preset < 0 || preset >= kPresetCount) {
        std::fprintf(stderr, "rf-process: preset must be 0..17\n");
        return 2;
    }
    SF_INFO info{};
    SNDFILE* in = sf_open(argv[1], SFM_READ, &info);
    if (!in) {
        std::fprintf(stderr, "rf-process: %s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    if (info.channels < 1 || info.channels > 2) {
        std::fprintf(stderr, "rf-process: only mono and stereo files are supported\n");
        sf_close(in);
        return 1;
    }
    const bool pcm16 = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    SF_INFO outInfo = info;
    SNDFILE* out = sf_open(argv[2], SFM_WRITE, &outInfo);
    if (!out) {
        std::fprintf(stderr, "rf-process: %s: %s\n", argv[2], sf_strerror(nullptr));
        sf_close(in);
        return 1;
    }

    NullOwner owner;
    HRESULT hr = E_FAIL;
    FilterDsp dsp(&owner, &hr);
    if (FAILED(hr)) return 1;
    dsp.Store().SetAllParams(kPresetTable[preset].values);
    StreamDriver driver(dsp);
    driver.StoreFormat(MakeStoredFormat(pcm16 ? WAVE_FORMAT_PCM : WAVE_FORMAT_IEEE_FLOAT,
                                        WORD(info.channels), DWORD(info.samplerate),
                                        pcm16 ? 16 : 32));
    if (FAILED(driver.StartStreaming())) return 1;

    std::vector<short> shorts(size_t(kBlock * info.channels));
    std::vector<float> floats(size_t(kBlock * info.channels));
    sf_count_t total = 0;
    double seconds = 0;
    for (;;) {
        const sf_count_t got = pcm16 ? sf_readf_short(in, shorts.data(), kBlock)
                                     : sf_readf_float(in, floats.data(), kBlock);
        if (got <= 0) break;
        const auto start = std::chrono::steady_clock::now();
        const REFERENCE_TIME t = REFERENCE_TIME(double(total) * 1e7 / info.samplerate + 0.5);
        dsp.Store().SetSampleTimes(&t);
        DWORD done = 0;
        driver.RunBuffer(pcm16 ? static_cast<void*>(shorts.data()) : floats.data(), DWORD(got),
                         total == 0 ? kBlockRestart : kBlockContinue, &done);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (pcm16) {
            sf_writef_short(out, shorts.data(), got);
        } else {
            sf_writef_float(out, floats.data(), got);
        }
        total += got;
    }
    driver.StopStreaming();
    sf_close(in);
    sf_close(out);
    std::printf(
        "rf-process: %lld frames, %d ch, %d Hz, preset %ld (%s): %.1f M frames/s in the "
        "filter (%.0fx real time)\n",
        (long long)total, info.channels, info.samplerate, preset, kPresetTable[preset].name,
        seconds > 0 ? total / seconds / 1e6 : 0.0,
        seconds > 0 ? total / seconds / info.samplerate : 0.0);
    return 0;
}
