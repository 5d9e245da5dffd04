// Which media types the filter's input pin accepts, as an upstream pin would propose them.
#include <cstring>
#include <vector>

#include "FilterDll.h"

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

class MediaTypeTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IBaseFilter, &filter), S_OK);
        ASSERT_EQ(filter->FindPin(L"Input", &input), S_OK);
    }
    void TearDown() override {
        input->Release();
        EXPECT_EQ(filter->Release(), 0u);
    }
    HRESULT Accept(const Proposal& p) {
        AM_MEDIA_TYPE type{};
        type.majortype = p.major;
        type.subtype = MEDIASUBTYPE_PCM;
        type.bFixedSizeSamples = TRUE;
        type.bTemporalCompression = p.temporal;
        type.formattype = FORMAT_WaveFormatEx;
        type.cbFormat = ULONG(p.format.size());
        type.pbFormat = const_cast<BYTE*>(p.format.data());
        return input->QueryAccept(&type);
    }

    IBaseFilter* filter = nullptr;
    IPin* input = nullptr;
};

TEST_F(MediaTypeTest, TheFiveSampleFormatsAreAcceptedInMonoAndStereo) {
    const WORD pairs[][2] = {{1, 8}, {1, 16}, {1, 32}, {3, 32}, {3, 64}};
    for (const auto& pair : pairs) {
        for (WORD ch = 1; ch <= 2; ++ch) {
            EXPECT_EQ(Accept({MEDIATYPE_Audio, FALSE, Wave(pair[0], ch, 96000, pair[1])}), S_OK)
                << pair[0] << "/" << pair[1] << " x" << ch;
        }
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
}

}  // namespace
