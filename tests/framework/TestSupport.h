// COM set-up and reference-count probes shared by the framework tests.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>
#include <gtest/gtest.h>

#include <vector>

#include "framework/MediaType.h"
#include "framework/ModuleCount.h"
#include "tests/framework/NegatingFilter.h"

template <class T>
ULONG RefCount(T* object) {
    object->AddRef();
    return object->Release();
}

// A 16-bit PCM audio type with a plain WAVEFORMATEX; the format block points into storage.
struct PcmType {
    WAVEFORMATEX format = {};
    AM_MEDIA_TYPE type = {};
    PcmType(WORD channels, DWORD rate, WORD bits = 16) {
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = channels;
        format.nSamplesPerSec = rate;
        format.wBitsPerSample = bits;
        format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
        format.nAvgBytesPerSec = rate * format.nBlockAlign;
        type.majortype = MEDIATYPE_Audio;
        type.subtype = MEDIASUBTYPE_PCM;
        type.formattype = FORMAT_WaveFormatEx;
        type.bFixedSizeSamples = TRUE;
        type.lSampleSize = format.nBlockAlign;
        type.cbFormat = sizeof(format);
        type.pbFormat = reinterpret_cast<BYTE*>(&format);
    }
};

// Each test runs in a multithreaded apartment and ends with no object of ours alive.
class ComTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    }
    void TearDown() override {
        EXPECT_EQ(0, ModuleObjectCount()) << "an object of the module leaked";
        CoUninitialize();
    }

    // A filter with the creator's single reference.
    static NegatingFilter* NewFilter() {
        HRESULT hr = E_FAIL;
        auto* filter = new NegatingFilter(nullptr, &hr);
        EXPECT_EQ(S_OK, hr);
        return filter;
    }
};
