// The media-parameter records and the description interface, declared for non-Windows builds
// with the layout and values of the platform's medparam.h.
#pragma once

#include "WinTypes.h"

typedef DWORD MP_TIMEDATA;
typedef DWORD MP_CAPS;
typedef DWORD MP_FLAGS;
typedef float MP_DATA;

enum MP_TYPE { MPT_INT = 0, MPT_FLOAT = 1, MPT_BOOL = 2, MPT_ENUM = 3, MPT_MAX = 4 };

enum MP_CURVE_TYPE {
    MP_CURVE_JUMP = 0x1,
    MP_CURVE_LINEAR = 0x2,
    MP_CURVE_SQUARE = 0x4,
    MP_CURVE_INVSQUARE = 0x8,
    MP_CURVE_SINE = 0x10
};

#define MP_CAPS_CURVE_JUMP (MP_CURVE_JUMP)
#define MP_CAPS_CURVE_LINEAR (MP_CURVE_LINEAR)
#define MP_CAPS_CURVE_SQUARE (MP_CURVE_SQUARE)
#define MP_CAPS_CURVE_INVSQUARE (MP_CURVE_INVSQUARE)
#define MP_CAPS_CURVE_SINE (MP_CURVE_SINE)

struct MP_PARAMINFO {
    MP_TYPE mpType;
    MP_CAPS mopCaps;
    MP_DATA mpdMinValue;
    MP_DATA mpdMaxValue;
    MP_DATA mpdNeutralValue;
    WCHAR szUnitText[32];
    WCHAR szLabel[32];
};

struct MP_ENVELOPE_SEGMENT {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    MP_DATA valStart;
    MP_DATA valEnd;
    MP_CURVE_TYPE iCurve;
    MP_FLAGS flags;
};

extern const IID IID_IMediaParamInfo;

struct IMediaParamInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParamCount(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParamInfo(DWORD index, MP_PARAMINFO* info) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParamText(DWORD index, WCHAR** text) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumTimeFormats(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSupportedTimeFormat(DWORD index, GUID* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) = 0;
};
