// A FilterDsp inside a minimal owner, with a stream format to run it on.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "dsp/FilterDsp.h"

inline WAVEFORMATEX MakeFormat(WORD tag, WORD channels, WORD bits, DWORD rate = 44100) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(bits / 8 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}

class DspOwner : public IUnknown {
  public:
    DspOwner() : dsp(this, &createResult) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return dsp.Store().QueryFace(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT createResult = E_FAIL;
    FilterDsp dsp;
};

class DspTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(owner.createResult, S_OK); }

    // Sets the six values as a whole and starts streaming on `f`.
    void Start(const WAVEFORMATEX& f, MP_DATA frequency, MP_DATA resonance, MP_DATA type,
               MP_DATA order, MP_DATA wetDry = 100, MP_DATA bypass = 0) {
        format = f;
        const MP_DATA v[kParamCount] = {frequency, resonance, type, order, bypass, wetDry};
        ASSERT_EQ(dsp.Store().SetAllParams(v), S_OK);
        dsp.MarkParamsChanged();
        ASSERT_EQ(dsp.BeginStream(&format), S_OK);
    }

    // Runs float samples through in blocks of `block` frames, continuing the stream.
    template <typename Sample>
    void Run(std::vector<Sample>& samples, DWORD block) {
        const DWORD channels = format.nChannels;
        const DWORD total = DWORD(samples.size() / channels);
        for (DWORD at = 0; at < total; at += block) {
            DWORD n = total - at < block ? total - at : block;
            ASSERT_EQ(Block(samples.data() + at * channels, &n), S_OK);
        }
    }

    HRESULT Block(float* p, DWORD* n) { return dsp.ProcessFloatBlock(kBlockContinue, p, n, 0); }
    HRESULT Block(double* p, DWORD* n) { return dsp.ProcessFloatBlock(kBlockContinue, p, n); }

    DspOwner owner;
    FilterDsp& dsp = owner.dsp;
    WAVEFORMATEX format{};
};
