// A Media Foundation audio type read as the wave record DirectShow hosts hand the DMO, so the
// MFT takes exactly the formats the DMO and the filter take, through the same check.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>
#include <mfobjects.h>
#include <mmreg.h>

class MfAudioType {
  public:
    MfAudioType() = default;
    MfAudioType(const MfAudioType&) = delete;
    MfAudioType& operator=(const MfAudioType&) = delete;

    // Reads major type, subtype, channels, rate, bits, block align and byte rate, all required,
    // and the valid bits and channel mask when present. The record is extensible, as the
    // platform makes it, when the valid bits differ from the container, a mask is given, or
    // there are more than 2 channels or 16 bits. MF_E_INVALIDMEDIATYPE when one is missing or
    // does not fit the record; the check of the format itself is the caller's.
    HRESULT Read(IMFAttributes* type);

    // The type as a DMO's, pointing into this object.
    const AM_MEDIA_TYPE& Am() const { return am_; }

    // The same subtype and the same record, byte for byte.
    bool SameFormat(const MfAudioType& other) const;

  private:
    WAVEFORMATEXTENSIBLE wave_{};
    AM_MEDIA_TYPE am_{};
};
