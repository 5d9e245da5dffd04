// The smallest useful in-place filter: accepts 16-bit PCM and negates every sample, so a test
// can see that the buffer it gets back is the one processed. It counts what it is asked to do.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

#include <atomic>
#include <cstdint>

#include "framework/InPlaceFilter.h"

extern const CLSID kClsidNegatingFilter;

class NegatingFilter : public InPlaceFilter {
  public:
    NegatingFilter(IUnknown* outer, HRESULT* result)
        : InPlaceFilter(outer, kClsidNegatingFilter, result) {}

    std::atomic<int> transforms{0};
    std::atomic<int> starts{0};
    std::atomic<int> stops{0};
    std::atomic<int> endOfStreams{0};
    std::atomic<int> inputTypesSet{0};
    std::atomic<int> outputTypesSet{0};
    HRESULT startResult = S_OK;
    HRESULT transformResult = S_OK;

  protected:
    HRESULT CheckInputType(const AM_MEDIA_TYPE* type) override {
        if (!IsEqualGUID(type->majortype, MEDIATYPE_Audio)) return E_INVALIDARG;
        if (type->cbFormat < sizeof(WAVEFORMATEX) - 2 || type->pbFormat == nullptr)
            return E_INVALIDARG;
        auto* format = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
        if (format->wFormatTag != WAVE_FORMAT_PCM || format->wBitsPerSample != 16)
            return E_INVALIDARG;
        return S_OK;
    }
    HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE*) override {
        ++(direction == PINDIR_INPUT ? inputTypesSet : outputTypesSet);
        return S_OK;
    }
    HRESULT StartStreaming() override {
        ++starts;
        return startResult;
    }
    HRESULT StopStreaming() override {
        ++stops;
        return S_OK;
    }
    HRESULT Transform(IMediaSample* sample) override {
        ++transforms;
        if (transformResult != S_OK) return transformResult;
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data))) return E_FAIL;
        auto* samples = reinterpret_cast<int16_t*>(data);
        long count = sample->GetActualDataLength() / 2;
        for (long i = 0; i < count; ++i)
            samples[i] = static_cast<int16_t>(-samples[i]);
        return S_OK;
    }
    HRESULT EndOfStream() override {
        ++endOfStreams;
        return InPlaceFilter::EndOfStream();
    }
};

// Creates the filter for a factory table.
IUnknown* CreateNegatingFilter(IUnknown* outer, HRESULT* result);
