// The one seam between the portable core and the platform. On Windows it takes the platform's
// own headers; elsewhere it declares the same types, codes and interfaces with the same layout.
#pragma once

#ifdef _WIN32
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
// Order matters: the later headers rely on windows.h's types.
#include <windows.h>

#include <objbase.h>

#include <mmreg.h>
#include <vfwmsgs.h>
// MinGW's medparam.h lists IMediaParams' methods in an order that differs from the platform's
// published one; hosts call by slot, so MediaParamInterfaces.h declares it instead.
#define __IMediaParams_INTERFACE_DEFINED__
#include <medparam.h>
#else
#include "native/MediaParamTypes.h"
#include "native/WinTypes.h"
#endif

#include "MediaParamInterfaces.h"

#include <cstddef>

// Wide literals in the platform's WCHAR, which is 16 bits on every build.
#ifdef _WIN32
#define RF_WIDE(s) L##s
#else
#define RF_WIDE(s) u##s
#endif

// The fixed records hosts and stored streams share: the same bytes on 32-bit and 64-bit Windows
// and natively, whatever the width of a pointer.
static_assert(sizeof(WCHAR) == 2, "WCHAR must be UTF-16");
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(HRESULT) == 4,
              "DWORD, LONG and HRESULT are 32-bit");
static_assert(sizeof(MP_DATA) == 4, "MP_DATA is a 32-bit float");
static_assert(sizeof(MP_PARAMINFO) == 148, "MP_PARAMINFO layout");
static_assert(offsetof(MP_PARAMINFO, mopCaps) == 4 && offsetof(MP_PARAMINFO, mpdMinValue) == 8 &&
                  offsetof(MP_PARAMINFO, mpdNeutralValue) == 16 &&
                  offsetof(MP_PARAMINFO, szUnitText) == 20 && offsetof(MP_PARAMINFO, szLabel) == 84,
              "MP_PARAMINFO layout");
static_assert(sizeof(MP_ENVELOPE_SEGMENT) == 32, "MP_ENVELOPE_SEGMENT layout");
static_assert(offsetof(MP_ENVELOPE_SEGMENT, rtEnd) == 8 &&
                  offsetof(MP_ENVELOPE_SEGMENT, valStart) == 16 &&
                  offsetof(MP_ENVELOPE_SEGMENT, valEnd) == 20 &&
                  offsetof(MP_ENVELOPE_SEGMENT, iCurve) == 24 &&
                  offsetof(MP_ENVELOPE_SEGMENT, flags) == 28,
              "MP_ENVELOPE_SEGMENT layout");
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX layout");
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4 &&
                  offsetof(WAVEFORMATEX, nAvgBytesPerSec) == 8 &&
                  offsetof(WAVEFORMATEX, nBlockAlign) == 12 &&
                  offsetof(WAVEFORMATEX, wBitsPerSample) == 14 &&
                  offsetof(WAVEFORMATEX, cbSize) == 16,
              "WAVEFORMATEX layout");
static_assert(sizeof(REFERENCE_TIME) == 8, "REFERENCE_TIME is 64-bit");
static_assert(sizeof(GUID) == 16, "GUID layout");
