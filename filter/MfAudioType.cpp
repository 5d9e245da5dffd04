#include "filter/MfAudioType.h"

#include <cstring>

#include <mfapi.h>
#include <mferror.h>

namespace {

// A required 32-bit attribute that must fit `limit`; a missing one fails the whole type.
bool ReadValue(IMFAttributes* type, REFGUID key, UINT32 limit, UINT32* value) {
    return SUCCEEDED(type->GetUINT32(key, value)) && *value <= limit;
}

}  // namespace

HRESULT MfAudioType::Read(IMFAttributes* type) {
    wave_ = WAVEFORMATEXTENSIBLE{};
    am_ = AM_MEDIA_TYPE{};
    if (!type) return E_POINTER;
    GUID major{}, subtype{};
    UINT32 channels = 0, rate = 0, bits = 0, align = 0, bytesPerSecond = 0;
    if (FAILED(type->GetGUID(MF_MT_MAJOR_TYPE, &major)) ||
        FAILED(type->GetGUID(MF_MT_SUBTYPE, &subtype)) ||
        !ReadValue(type, MF_MT_AUDIO_NUM_CHANNELS, 0xFFFF, &channels) ||
        !ReadValue(type, MF_MT_AUDIO_SAMPLES_PER_SECOND, 0xFFFFFFFF, &rate) ||
        !ReadValue(type, MF_MT_AUDIO_BITS_PER_SAMPLE, 0xFFFF, &bits) ||
        !ReadValue(type, MF_MT_AUDIO_BLOCK_ALIGNMENT, 0xFFFF, &align) ||
        !ReadValue(type, MF_MT_AUDIO_AVG_BYTES_PER_SECOND, 0xFFFFFFFF, &bytesPerSecond)) {
        return MF_E_INVALIDMEDIATYPE;
    }
    // Only the two wave subtypes have a tag; the check refuses every other subtype anyway.
    WORD tag = 0;
    if (IsEqualGUID(subtype, MFAudioFormat_PCM)) {
        tag = WAVE_FORMAT_PCM;
    } else if (IsEqualGUID(subtype, MFAudioFormat_Float)) {
        tag = WAVE_FORMAT_IEEE_FLOAT;
    }
    UINT32 valid = bits, mask = 0;
    const bool hasValid = SUCCEEDED(type->GetUINT32(MF_MT_AUDIO_VALID_BITS_PER_SAMPLE, &valid));
    const bool hasMask = SUCCEEDED(type->GetUINT32(MF_MT_AUDIO_CHANNEL_MASK, &mask));
    if (valid > 0xFFFF) return MF_E_INVALIDMEDIATYPE;
    const bool extensible = (hasValid && valid != bits) || hasMask || channels > 2 || bits > 16;

    WAVEFORMATEX& format = wave_.Format;
    format.wFormatTag = extensible ? WORD(WAVE_FORMAT_EXTENSIBLE) : tag;
    format.nChannels = WORD(channels);
    format.nSamplesPerSec = rate;
    format.nAvgBytesPerSec = bytesPerSecond;
    format.nBlockAlign = WORD(align);
    format.wBitsPerSample = WORD(bits);
    if (extensible) {
        format.cbSize = sizeof wave_ - sizeof wave_.Format;
        wave_.Samples.wValidBitsPerSample = WORD(valid);
        wave_.dwChannelMask = mask;
        wave_.SubFormat = subtype;  // the wave sub-formats are the media subtypes
    }
    am_.majortype = major;
    am_.subtype = subtype;
    am_.bFixedSizeSamples = TRUE;
    am_.lSampleSize = align;
    am_.formattype = FORMAT_WaveFormatEx;
    am_.cbFormat = extensible ? sizeof wave_ : sizeof wave_.Format;
    am_.pbFormat = reinterpret_cast<BYTE*>(&wave_);
    return S_OK;
}

bool MfAudioType::SameFormat(const MfAudioType& other) const {
    return IsEqualGUID(am_.majortype, other.am_.majortype) &&
           IsEqualGUID(am_.subtype, other.am_.subtype) && am_.cbFormat == other.am_.cbFormat &&
           std::memcmp(&wave_, &other.wave_, am_.cbFormat) == 0;
}
