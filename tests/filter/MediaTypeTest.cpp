// Which media types the filter's input pin accepts, as an upstream pin would propose them; the
// DMO's input, offered each one named by its own subtype, must answer alike.
#include <cstring>
#include <vector>

#include "FilterDll.h"

#include <mediaerr.h>
#include <mediaobj.h>
#include <mmreg.h>

namespace {

struct Proposal {
    GUID major = MEDIATYPE_Audio;
    BOOL temporal = FALSE;
    std::vector<BYTE> format;
};

std::vector<BYTE> Wave(WORD tag, WORD channels, DWORD rate, WORD bits, size_t bytes = 18) {
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = WORD(bits / 8 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    std::vector<BYTE> block(bytes > sizeof f ? bytes : sizeof f);
    std::memcpy(block.data(), &f, sizeof f);
    block.resize(bytes);
    return block;
}

// A media subtype is its wave tag in the base GUID's first field, as is the sub-format of an
// extensible record.
GUID TagGuid(DWORD tag) {
    GUID g = MEDIASUBTYPE_PCM;
    g.Data1 = tag;
    return g;
}

std::vector<BYTE> Extensible(DWORD subTag, WORD channels, WORD bits, WORD valid, DWORD mask,
                             DWORD rate = 48000) {
    std::vector<BYTE> block = Wave(WAVE_FORMAT_EXTENSIBLE, channels, rate, bits);
    WAVEFORMATEXTENSIBLE x{};
    std::memcpy(&x, block.data(), sizeof(WAVEFORMATEX));
    x.Format.cbSize = sizeof x - sizeof(WAVEFORMATEX);
    x.Samples.wValidBitsPerSample = valid;
    x.dwChannelMask = mask;
    x.SubFormat = TagGuid(subTag);
    block.resize(sizeof x);
    std::memcpy(block.data(), &x, sizeof x);
    return block;
}

class MediaTypeTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        ASSERT_EQ(filter->FindPin(L"Input", &input), S_OK);
        ASSERT_EQ(dll.Create(IID_IMediaObject, &dmo, nullptr, CLSID_ResonantFilterDmo), S_OK);
    }
    void TearDown() override {
        input->Release();
        EXPECT_EQ(filter->Release(), 0u);
        EXPECT_EQ(dmo->Release(), 0u);
    }
    // The pin's answer; the DMO, offered the same type named by its record, must agree.
    HRESULT Accept(const Proposal& p) {
        AM_MEDIA_TYPE type{};
        type.majortype = p.major;
        type.subtype = MEDIASUBTYPE_PCM;
        if (p.format.size() >= 2) {
            WORD tag = 0;
            std::memcpy(&tag, p.format.data(), 2);
            type.subtype = TagGuid(tag);
            if (tag == WAVE_FORMAT_EXTENSIBLE && p.format.size() >= sizeof(WAVEFORMATEXTENSIBLE))
                std::memcpy(&type.subtype,
                            p.format.data() + offsetof(WAVEFORMATEXTENSIBLE, SubFormat),
                            sizeof(GUID));
        }
        type.bFixedSizeSamples = TRUE;
        type.bTemporalCompression = p.temporal;
        type.formattype = FORMAT_WaveFormatEx;
        type.cbFormat = ULONG(p.format.size());
        type.pbFormat = const_cast<BYTE*>(p.format.data());
        const HRESULT hr = input->QueryAccept(&type);
        EXPECT_EQ(dmo->SetInputType(0, reinterpret_cast<const DMO_MEDIA_TYPE*>(&type),
                                    DMO_SET_TYPEF_TEST_ONLY),
                  hr == S_OK ? S_OK : DMO_E_TYPE_NOT_ACCEPTED)
            << "the DMO and the pin disagree";
        return hr;
    }

    IBaseFilter* filter = nullptr;
    IPin* input = nullptr;
    IMediaObject* dmo = nullptr;
};

TEST_F(MediaTypeTest, TheSampleFormatsAreAcceptedInAnyLayoutTheRecordHolds) {
    const WORD pairs[][2] = {{1, 8}, {1, 16}, {1, 24}, {1, 32}, {3, 32}, {3, 64}};
    for (const auto& pair : pairs) {
        for (WORD ch = 1; ch <= 2; ++ch) {
            EXPECT_EQ(Accept({MEDIATYPE_Audio, FALSE, Wave(pair[0], ch, 96000, pair[1])}), S_OK)
                << pair[0] << "/" << pair[1] << " x" << ch;
        }
    }
    // Any channel mask, up to 32 channels, and fewer valid bits in the wider PCM containers.
    const struct {
        DWORD subTag;
        WORD channels, bits, valid;
        DWORD mask;
    } wide[] = {
        {WAVE_FORMAT_IEEE_FLOAT, 6, 32, 32, 0x3F},
        {WAVE_FORMAT_PCM, 8, 16, 16, 0x63F},
        {WAVE_FORMAT_PCM, 32, 16, 16, 0},
        {WAVE_FORMAT_PCM, 3, 8, 8, 0xFFFFFFFF},
        {WAVE_FORMAT_PCM, 2, 24, 20, 3},
        {WAVE_FORMAT_PCM, 6, 32, 24, 0x3F},
        {WAVE_FORMAT_PCM, 1, 24, 16, 4},
        {WAVE_FORMAT_PCM, 2, 32, 16, 3},
        {WAVE_FORMAT_IEEE_FLOAT, 32, 64, 64, 0x3F},
    };
    for (const auto& w : wide) {
        EXPECT_EQ(Accept({MEDIATYPE_Audio, FALSE,
                          Extensible(w.subTag, w.channels, w.bits, w.valid, w.mask)}),
                  S_OK)
            << "row " << &w - wide;
    }
}

TEST_F(MediaTypeTest, EverythingElseIsRefused) {
    EXPECT_NE(Accept({MEDIATYPE_Video, FALSE, Wave(1, 2, 44100, 16)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, TRUE, Wave(1, 2, 44100, 16)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(1, 2, 44100, 16, 14)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(1, 2, 44100, 20)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(3, 1, 44100, 8)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(1, 33, 44100, 16)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(1, 2, 0, 16)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(0xFFFE, 2, 44100, 16)}), S_OK)
        << "an extensible tag without its extension";
    // An S/PDIF bitstream, plain or as IEC 61937 in an extensible record: not samples to filter.
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Wave(0x0092, 2, 48000, 16)}), S_OK);
    EXPECT_NE(Accept({MEDIATYPE_Audio, FALSE, Extensible(0x0092, 2, 16, 16, 3)}), S_OK);
    // 33 channels, and valid bits no container of that kind carries.
    const struct {
        DWORD subTag;
        WORD channels, bits, valid;
    } refused[] = {
        {WAVE_FORMAT_PCM, 33, 16, 16}, {WAVE_FORMAT_PCM, 0, 16, 16},
        {WAVE_FORMAT_PCM, 2, 24, 15},  {WAVE_FORMAT_PCM, 2, 24, 25},
        {WAVE_FORMAT_PCM, 2, 32, 33},  {WAVE_FORMAT_PCM, 2, 32, 0},
        {WAVE_FORMAT_PCM, 2, 16, 12},  {WAVE_FORMAT_IEEE_FLOAT, 2, 32, 24},
        {WAVE_FORMAT_PCM, 2, 8, 6},
    };
    for (const auto& r : refused) {
        EXPECT_NE(
            Accept({MEDIATYPE_Audio, FALSE, Extensible(r.subTag, r.channels, r.bits, r.valid, 3)}),
            S_OK)
            << "row " << &r - refused;
    }
}

}  // namespace
