// Media-parameter interfaces that every build declares itself, with the platform's published
// identifiers and slot order: IMediaParams, and the UI callback pair that MinGW lacks.
#pragma once

#ifndef _WIN32
#include "native/MediaParamTypes.h"
#endif

#define DWORD_ALLPARAMS ((DWORD)0xFFFFFFFF)

extern "C" const IID IID_IMediaParams;
extern "C" const IID IID_IMediaParamsSetUICallback;
extern "C" const IID IID_IMediaParamsUICallback;
extern "C" const GUID GUID_TIME_REFERENCE;

struct IMediaParams : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD index, MP_DATA* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD index, MP_DATA value) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddEnvelope(DWORD index, DWORD count,
                                                  MP_ENVELOPE_SEGMENT* segments) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushEnvelope(DWORD index, REFERENCE_TIME start,
                                                    REFERENCE_TIME end) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTimeFormat(GUID format, MP_TIMEDATA data) = 0;
};

struct IMediaParamsUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* indices, DWORD count) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* indices, DWORD count,
                                                    MP_DATA* values) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* indices, DWORD count) = 0;
};

struct IMediaParamsSetUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetUICallback(IMediaParamsUICallback* callback) = 0;
};
