#include "SettingsRecord.h"

#include <cstdint>
#include <cstring>
#include <limits>

static_assert(std::numeric_limits<float>::is_iec559 && sizeof(MP_DATA) == 4,
              "the record stores IEEE-754 singles");

namespace {

// Bytes are assembled by shifts, so the host's own byte order never matters.
uint32_t ReadU32(const BYTE* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t ReadU16(const BYTE* p) {
    return uint16_t(p[0] | p[1] << 8);
}
void WriteU32(BYTE* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = BYTE(v >> (8 * i));
}
void WriteU16(BYTE* p, uint16_t v) {
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}

MP_DATA ReadFloat(const BYTE* p) {
    const uint32_t bits = ReadU32(p);
    MP_DATA value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
void WriteFloat(BYTE* p, MP_DATA value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteU32(p, bits);
}

// A GUID's memory layout: three little-endian fields, then eight bytes as they are.
GUID ReadGuid(const BYTE* p) {
    GUID g;
    g.Data1 = ReadU32(p);
    g.Data2 = ReadU16(p + 4);
    g.Data3 = ReadU16(p + 6);
    std::memcpy(g.Data4, p + 8, sizeof g.Data4);
    return g;
}
void WriteGuid(BYTE* p, const GUID& g) {
    WriteU32(p, uint32_t(g.Data1));
    WriteU16(p + 4, g.Data2);
    WriteU16(p + 6, g.Data3);
    std::memcpy(p + 8, g.Data4, sizeof g.Data4);
}

constexpr DWORD kLegacyValueCount = 5;  // the fifth was never used and is skipped

}  // namespace

HRESULT ParseSettingsHeader(const BYTE bytes[kSettingsHeaderBytes], SettingsHeader* header) {
    const uint32_t size = ReadU32(bytes);
    const GUID tag = ReadGuid(bytes + 4);
    if (IsEqualGUID(tag, kLegacySettingsTag)) {
        if (size != kLegacySettingsRecordBytes) return E_FAIL;
        *header = {SettingsLayout::kLegacy, kLegacyValueCount * 4};
        return S_OK;
    }
    if (!IsEqualGUID(tag, kSettingsTag) || size != kSettingsRecordBytes) return E_FAIL;
    *header = {SettingsLayout::kCurrent, kParamCount * 4};
    return S_OK;
}

void DecodeSettingsValues(const SettingsHeader& header, const BYTE* bytes,
                          MP_DATA values[kParamCount]) {
    if (header.layout == SettingsLayout::kLegacy) {
        for (DWORD i = 0; i < kParamBypass; ++i)
            values[i] = ReadFloat(bytes + 4 * i);
        values[kParamBypass] = 0.0f;
        values[kParamWetDry] = 100.0f;
    } else {
        for (DWORD i = 0; i < kParamCount; ++i)
            values[i] = ReadFloat(bytes + 4 * i);
    }
    for (DWORD i = 0; i < kParamCount; ++i)
        values[i] = ClampParam(i, values[i]);
}

void EncodeSettingsRecord(const MP_DATA values[kParamCount], BYTE record[kSettingsRecordBytes]) {
    WriteU32(record, kSettingsRecordBytes);
    WriteGuid(record + 4, kSettingsTag);
    for (DWORD i = 0; i < kParamCount; ++i)
        WriteFloat(record + kSettingsHeaderBytes + 4 * i, i == kParamBypass ? 0.0f : values[i]);
}
