#include "framework/MediaType.h"

#include <cstring>

HRESULT MediaTypeCopy(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE& src) {
    *dst = src;
    dst->pbFormat = nullptr;
    dst->cbFormat = 0;
    if (src.cbFormat != 0 && src.pbFormat != nullptr) {
        dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src.cbFormat));
        if (dst->pbFormat == nullptr) {
            dst->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(dst->pbFormat, src.pbFormat, src.cbFormat);
        dst->cbFormat = src.cbFormat;
    }
    if (dst->pUnk != nullptr) dst->pUnk->AddRef();
    return S_OK;
}

void MediaTypeClear(AM_MEDIA_TYPE* type) {
    if (type->pbFormat != nullptr) CoTaskMemFree(type->pbFormat);
    if (type->pUnk != nullptr) type->pUnk->Release();
    std::memset(type, 0, sizeof(*type));
}

AM_MEDIA_TYPE* MediaTypeCreateCopy(const AM_MEDIA_TYPE& src) {
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (type == nullptr) return nullptr;
    if (FAILED(MediaTypeCopy(type, src))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

void MediaTypeDelete(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return;
    MediaTypeClear(type);
    CoTaskMemFree(type);
}

bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    if (!IsEqualGUID(a.majortype, b.majortype) || !IsEqualGUID(a.subtype, b.subtype) ||
        !IsEqualGUID(a.formattype, b.formattype))
        return false;
    if (a.bFixedSizeSamples != b.bFixedSizeSamples ||
        a.bTemporalCompression != b.bTemporalCompression || a.lSampleSize != b.lSampleSize ||
        a.cbFormat != b.cbFormat)
        return false;
    if (a.cbFormat == 0) return true;
    if (a.pbFormat == nullptr || b.pbFormat == nullptr) return a.pbFormat == b.pbFormat;
    return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial) {
    auto fits = [](REFGUID have, REFGUID want) {
        return IsEqualGUID(want, GUID_NULL) || IsEqualGUID(have, want);
    };
    return fits(candidate.majortype, partial.majortype) &&
           fits(candidate.subtype, partial.subtype) &&
           fits(candidate.formattype, partial.formattype);
}

bool MediaTypeIsComplete(const AM_MEDIA_TYPE& type) {
    return !IsEqualGUID(type.majortype, GUID_NULL) && !IsEqualGUID(type.subtype, GUID_NULL) &&
           !IsEqualGUID(type.formattype, GUID_NULL);
}
