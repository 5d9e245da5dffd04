// Reads whatever a project stream holds as the filter's IPersistStream::Load does (the header,
// then as many value bytes as it names; a short read stops there, and nothing is set), and checks
// the record's invariants: only the two known layouts parse, decoded values are finite and in
// range, a record written back reads back the same, and the store keeps what it was given.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fuzz/FuzzCheck.h"
#include "params/MediaParamStore.h"
#include "params/SettingsRecord.h"
#include "platform/NullOwner.h"

namespace {

// A stream that stops delivering after `limit` bytes, as a truncated project does.
class ShortStream {
  public:
    ShortStream(const uint8_t* data, size_t size, size_t limit)
        : data_(data), end_(limit < size ? limit : size) {}
    // The filter's ReadExactly: fewer bytes than asked is a failure.
    bool Read(BYTE* into, size_t n) {
        const size_t got = n < end_ - pos_ ? n : end_ - pos_;
        std::memcpy(into, data_ + pos_, got);
        pos_ += got;
        return got == n;
    }

  private:
    const uint8_t* data_;
    size_t end_;
    size_t pos_ = 0;
};

uint32_t U32(const BYTE* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The tag as it lies in the stream, built independently of the code under test.
bool TagIs(const BYTE* p, const GUID& g) {
    const BYTE expected[16] = {
        BYTE(g.Data1), BYTE(g.Data1 >> 8), BYTE(g.Data1 >> 16), BYTE(g.Data1 >> 24),
        BYTE(g.Data2), BYTE(g.Data2 >> 8), BYTE(g.Data3),       BYTE(g.Data3 >> 8),
        g.Data4[0],    g.Data4[1],         g.Data4[2],          g.Data4[3],
        g.Data4[4],    g.Data4[5],         g.Data4[6],          g.Data4[7]};
    return std::memcmp(p, expected, sizeof expected) == 0;
}

MP_DATA Float(const BYTE* p) {
    const uint32_t bits = U32(p);
    MP_DATA v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

bool SameBits(MP_DATA a, MP_DATA b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckHeader(const BYTE header[kSettingsHeaderBytes], HRESULT hr, const SettingsHeader& h) {
    const bool current = U32(header) == kSettingsRecordBytes && TagIs(header + 4, kSettingsTag);
    const bool legacy =
        U32(header) == kLegacySettingsRecordBytes && TagIs(header + 4, kLegacySettingsTag);
    Check(SUCCEEDED(hr) == (current || legacy), "a header parses exactly when size and tag agree");
    if (FAILED(hr)) return;
    Check(hr == S_OK, "a parsed header answers S_OK");
    Check(current ? h.layout == SettingsLayout::kCurrent && h.valueBytes == 24
                  : h.layout == SettingsLayout::kLegacy && h.valueBytes == 20,
          "the layout and value byte count match the tag");
    Check(h.valueBytes <= kSettingsValueBytesMax, "the values fit the filter's read buffer");
}

void CheckDecoded(const SettingsHeader& h, const BYTE* raw, const MP_DATA values[kParamCount]) {
    const DWORD stored = h.layout == SettingsLayout::kLegacy ? kParamBypass : kParamCount;
    for (DWORD i = 0; i < kParamCount; ++i) {
        Check(std::isfinite(values[i]), "decoded values are finite");
        Check(values[i] >= ParamMin(i) && values[i] <= ParamMax(i), "decoded values are in range");
        if (i >= stored) continue;
        const MP_DATA r = Float(raw + 4 * i);
        if (std::isnan(r)) {
            Check(values[i] == ParamNeutral(i), "a stored NaN decodes as the neutral value");
        } else if (r >= ParamMin(i) && r <= ParamMax(i)) {
            Check(SameBits(values[i], r), "an in-range stored value decodes unchanged");
        }
    }
    if (h.layout == SettingsLayout::kLegacy) {
        Check(values[kParamBypass] == 0.0f, "the older layout decodes with Bypass off");
        Check(values[kParamWetDry] == 100.0f, "the older layout decodes fully wet");
    }
}

void CheckRoundTrip(const MP_DATA values[kParamCount]) {
    BYTE record[kSettingsRecordBytes];
    EncodeSettingsRecord(values, record);
    SettingsHeader h{};
    Check(ParseSettingsHeader(record, &h) == S_OK && h.layout == SettingsLayout::kCurrent,
          "a written record parses in the current layout");
    MP_DATA again[kParamCount];
    DecodeSettingsValues(h, record + kSettingsHeaderBytes, again);
    for (DWORD i = 0; i < kParamCount; ++i) {
        const MP_DATA expected = i == kParamBypass ? 0.0f : values[i];
        Check(SameBits(again[i], expected), "encode, parse and decode give the values back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte cuts the stream short (a cut past the end reads everything).
    const size_t limit = data[0] < 48 ? data[0] : size;
    ShortStream stream(data + 1, size - 1, limit);

    NullOwner owner;
    HRESULT created = E_FAIL;
    MediaParamStore store(&owner, &created);
    if (FAILED(created)) return 0;

    BYTE header[kSettingsHeaderBytes];
    BYTE bytes[kSettingsValueBytesMax];
    SettingsHeader layout{};
    if (stream.Read(header, kSettingsHeaderBytes)) {
        const HRESULT hr = ParseSettingsHeader(header, &layout);
        CheckHeader(header, hr, layout);
        if (SUCCEEDED(hr) && stream.Read(bytes, layout.valueBytes)) {
            MP_DATA values[kParamCount];
            DecodeSettingsValues(layout, bytes, values);
            CheckDecoded(layout, bytes, values);
            CheckRoundTrip(values);
            store.SetAllParams(values);
            MP_DATA back[kParamCount];
            store.GetAllParams(back);
            for (DWORD i = 0; i < kParamCount; ++i)
                Check(SameBits(back[i], values[i]), "the store holds the decoded values");
        }
    }
    return 0;
}
