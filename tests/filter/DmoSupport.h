// Pieces a DMO host supplies, for the DMO tests: a memory buffer and audio media types.
#pragma once

#include <cstring>
#include <vector>

#include "platform/Platform.h"

#include <dshow.h>
#include <mediaobj.h>
#include <mmreg.h>

// An IMediaBuffer over its own bytes, as hosts hand to ProcessInput and ProcessOutput; `fault`
// makes one of its calls fail as a host's buffer may.
class MemoryBuffer final : public IMediaBuffer {
  public:
    enum Fault { kNoFault, kFailGetBuffer, kFailMaxLength, kFailSetLength, kNullData };
    explicit MemoryBuffer(DWORD capacity) : bytes(capacity ? capacity : 1) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMediaBuffer)) {
            *out = static_cast<IMediaBuffer*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(--refs); }  // owned by the test
    STDMETHODIMP SetLength(DWORD n) override {
        if (fault == kFailSetLength) return E_FAIL;
        if (n > bytes.size()) return E_INVALIDARG;
        length = n;
        return S_OK;
    }
    STDMETHODIMP GetMaxLength(DWORD* n) override {
        if (fault == kFailMaxLength) return E_FAIL;
        *n = DWORD(bytes.size());
        return S_OK;
    }
    STDMETHODIMP GetBufferAndLength(BYTE** data, DWORD* n) override {
        if (fault == kFailGetBuffer) return E_FAIL;
        if (data) *data = fault == kNullData ? nullptr : bytes.data();
        if (n) *n = length;
        return S_OK;
    }
    DWORD GetMax() const { return DWORD(bytes.size()); }
    void Fill(const void* from, DWORD n) {
        std::memcpy(bytes.data(), from, n);
        length = n;
    }

    std::vector<BYTE> bytes;
    DWORD length = 0;
    long refs = 1;
    Fault fault = kNoFault;
};

// A media type with its wave format stored alongside: plain or extensible.
struct AudioType {
    AudioType(WORD tag, WORD channels, DWORD rate, WORD bits, bool extensible = false) {
        WAVEFORMATEX& f = wave.Format;
        f.wFormatTag = extensible ? WAVE_FORMAT_EXTENSIBLE : tag;
        f.nChannels = channels;
        f.nSamplesPerSec = rate;
        f.wBitsPerSample = bits;
        f.nBlockAlign = WORD(bits / 8 * channels);
        f.nAvgBytesPerSec = rate * f.nBlockAlign;
        if (extensible) {
            f.cbSize = 22;
            wave.Samples.wValidBitsPerSample = bits;
            wave.dwChannelMask =
                channels == 1 ? SPEAKER_FRONT_CENTER : SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT;
            // The media subtypes are the sub-format GUIDs.
            wave.SubFormat =
                tag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
        }
        type.majortype = MEDIATYPE_Audio;
        type.subtype = tag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
        type.bFixedSizeSamples = TRUE;
        type.lSampleSize = f.nBlockAlign;
        type.formattype = FORMAT_WaveFormatEx;
        type.cbFormat = extensible ? sizeof wave : sizeof(WAVEFORMATEX);
        type.pbFormat = reinterpret_cast<BYTE*>(&wave);
    }
    AudioType(const AudioType&) = delete;
    AudioType& operator=(const AudioType&) = delete;

    const DMO_MEDIA_TYPE* Dmo() const { return reinterpret_cast<const DMO_MEDIA_TYPE*>(&type); }
    const AM_MEDIA_TYPE* Am() const { return &type; }

    WAVEFORMATEXTENSIBLE wave{};
    AM_MEDIA_TYPE type{};
};
