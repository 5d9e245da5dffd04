// The few Media Foundation entry points the DLL calls, found in mfplat.dll at run time: the DLL
// must load, and the filter and the DMO must work, where Media Foundation is not installed.
// Any thread; mfplat stays loaded once found, since the objects it makes may outlive any call.
#pragma once

#include "platform/Platform.h"

#include <mfapi.h>

// What every call here answers when mfplat.dll or the entry point is missing.
constexpr HRESULT kMfPlatformMissing = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);

HRESULT MfCreateMediaType(IMFMediaType** type);
HRESULT MfTransformRegister(REFCLSID clsid, REFGUID category, const WCHAR* name, UINT32 flags,
                            UINT32 inputCount, const MFT_REGISTER_TYPE_INFO* inputs,
                            UINT32 outputCount, const MFT_REGISTER_TYPE_INFO* outputs);
HRESULT MfTransformUnregister(REFCLSID clsid);
