// Deep copies, frees and comparisons of AM_MEDIA_TYPE, whose format block and pUnk are owned.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>

// Copies src into dst (whose old contents are not freed); the format block comes from
// CoTaskMemAlloc so the caller may hand it out. On failure dst is left empty.
HRESULT MediaTypeCopy(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE& src);

// Frees the format block and pUnk and leaves an empty type.
void MediaTypeClear(AM_MEDIA_TYPE* type);

// A CoTaskMemAlloc'd copy, as enumerators hand out; nullptr when out of memory.
AM_MEDIA_TYPE* MediaTypeCreateCopy(const AM_MEDIA_TYPE& src);

// Frees a type from MediaTypeCreateCopy (or any enumerator).
void MediaTypeDelete(AM_MEDIA_TYPE* type);

// Byte-for-byte equality of the fixed fields and the format block.
bool MediaTypesEqual(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b);

// True when candidate fits a partial type: GUID_NULL fields of partial match anything.
bool MediaTypeMatchesPartial(const AM_MEDIA_TYPE& candidate, const AM_MEDIA_TYPE& partial);

// True when every GUID of the type is given, so a connection must use it exactly.
bool MediaTypeIsComplete(const AM_MEDIA_TYPE& type);
