// The settings record the filter keeps in a host's project stream: a 20-byte header (total
// size, layout tag), then the values as IEEE singles in parameter order, all little-endian.
// The header alone says how many value bytes follow, so a reader takes it in two steps.
#pragma once

#include "ParamTable.h"

constexpr DWORD kSettingsHeaderBytes = 20;
constexpr DWORD kSettingsRecordBytes = 44;        // the layout written: six values
constexpr DWORD kLegacySettingsRecordBytes = 40;  // older, read only: five values
constexpr DWORD kSettingsValueBytesMax = kSettingsRecordBytes - kSettingsHeaderBytes;
static_assert(kSettingsHeaderBytes == 4 + sizeof(GUID) &&
                  kSettingsRecordBytes == kSettingsHeaderBytes + kParamCount * sizeof(MP_DATA),
              "the record: size, tag, then six singles");

// The written layout is tagged with the settings interface's identifier (tests check the two
// agree); the older one with a tag of its own.
constexpr GUID kSettingsTag = {
    0x37924402, 0xBC8B, 0x4A21, {0x88, 0x82, 0xE3, 0x4C, 0xE4, 0x34, 0xEA, 0xCA}};
constexpr GUID kLegacySettingsTag = {
    0x4118BA0B, 0xB5F2, 0x44B5, {0xAF, 0x2D, 0x85, 0x54, 0x90, 0x9C, 0xB5, 0x03}};

enum class SettingsLayout { kCurrent, kLegacy };

struct SettingsHeader {
    SettingsLayout layout;
    DWORD valueBytes;  // how many bytes of values must follow the header
};

// E_FAIL for an unknown tag, or a total size that does not belong to its tag.
HRESULT ParseSettingsHeader(const BYTE bytes[kSettingsHeaderBytes], SettingsHeader* header);

// `bytes` holds header.valueBytes bytes. The values come out clamped into their ranges (NaN to
// the neutral value); the older layout, which had no Bypass or Wet/Dry, gives off and 100.
void DecodeSettingsValues(const SettingsHeader& header, const BYTE* bytes,
                          MP_DATA values[kParamCount]);

// The whole record in the written layout. Bypass is stored off: a reopened project must not
// come back silent.
void EncodeSettingsRecord(const MP_DATA values[kParamCount], BYTE record[kSettingsRecordBytes]);
