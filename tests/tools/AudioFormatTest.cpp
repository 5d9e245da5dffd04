// Sample conversion between the tools' encodings, and WAV files in and out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "tools/common/AudioFormat.h"
#include "tools/common/WavFile.h"
#include "tools/common/WavPieceReader.h"

namespace {

std::vector<uint8_t> Encode(Encoding e, std::vector<double> values) {
    std::vector<uint8_t> out(values.size() * BytesPerSample(e));
    EncodeSamples(e, values.data(), values.size(), out.data());
    return out;
}

TEST(SampleConversion, IntegersRoundHalfAwayAndClamp) {
    // 16-bit: 0.5/32768 rounds away from zero; full scale clamps to 32767.
    const auto b = Encode(Encoding::Pcm16, {0.5 / 32768, -0.5 / 32768, 1.0, -1.5, 0.25});
    const int16_t expect[] = {1, -1, 32767, -32768, 8192};
    for (int i = 0; i < 5; ++i) {
        int16_t v;
        std::memcpy(&v, &b[size_t(2 * i)], 2);
        EXPECT_EQ(v, expect[i]) << i;
    }
    EXPECT_EQ(Encode(Encoding::Pcm8, {0.0, -1.0, 1.0}), (std::vector<uint8_t>{128, 0, 255}));
    const auto nan = Encode(Encoding::Pcm32, {std::nan("")});
    EXPECT_EQ(nan, (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(SampleConversion, EveryIntegerEncodingRoundTripsExactly) {
    for (Encoding e : {Encoding::Pcm8, Encoding::Pcm16, Encoding::Pcm24, Encoding::Pcm32}) {
        std::vector<uint8_t> raw;
        for (int i = 0; i < 64 * int(BytesPerSample(e)); ++i)
            raw.push_back(uint8_t(i * 37 + 11));
        const size_t count = raw.size() / BytesPerSample(e);
        std::vector<double> values(count);
        DecodeSamples(e, raw.data(), count, values.data());
        std::vector<uint8_t> back(raw.size());
        EncodeSamples(e, values.data(), count, back.data());
        EXPECT_EQ(back, raw) << EncodingName(e);
    }
    // 24-bit decodes sign-extended.
    const uint8_t minus1[3] = {0xFF, 0xFF, 0xFF};
    double v;
    DecodeSamples(Encoding::Pcm24, minus1, 1, &v);
    EXPECT_EQ(v, -1.0 / 8388608);
}

std::string TempPath(const char* name) {
    return testing::TempDir() + name;
}

TEST(WavFiles, WriteThenReadGivesTheSameAudio) {
    for (Encoding e :
         {Encoding::Pcm8, Encoding::Pcm16, Encoding::Pcm32, Encoding::Float32, Encoding::Float64}) {
        AudioData a;
        a.encoding = e;
        a.channels = 1;
        a.rate = 22050;
        a.bytes.assign(BytesPerSample(e) * 3, 0x3C);  // odd data sizes need the pad byte
        const std::string path = TempPath("rf_roundtrip.wav");
        ASSERT_TRUE(WriteWavFile(path, a));
        AudioData b;
        std::string error;
        ASSERT_TRUE(ReadWavFile(path, &b, &error)) << error;
        EXPECT_EQ(b.encoding, e);
        EXPECT_EQ(b.rate, 22050u);
        EXPECT_EQ(b.bytes, a.bytes);
        std::remove(path.c_str());
    }
}

TEST(WavFiles, StreamedWavClaimsNoLengthAndReadsToItsEnd) {
    const std::string path = TempPath("rf_streamed.wav");
    for (const auto& [encoding, stored] : {std::pair{Encoding::Pcm8, Encoding::Pcm8},
                                           {Encoding::Pcm32, Encoding::Pcm24},
                                           {Encoding::Float32, Encoding::Float32}}) {
        AudioData a;
        a.encoding = encoding;
        a.channels = 1;
        a.rate = 8000;
        a.bytes = Encode(encoding, {0.5, -0.25, 0.125});  // odd sizes need the pad byte
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        WavWriter w;
        ASSERT_TRUE(w.OpenStream(f, encoding, 1, 8000, stored));
        ASSERT_TRUE(w.Append(a.bytes.data(), a.bytes.size()));
        ASSERT_TRUE(w.Commit());
        ASSERT_EQ(std::fclose(f), 0);
        AudioData format, b;
        WavLayout layout;
        std::string error;
        ASSERT_TRUE(ReadWavLayout(path, &format, &layout, &error)) << error;
        EXPECT_EQ(layout.frames, 3u);
        EXPECT_EQ(layout.claimedFrames, 0u);  // the size fields hold no length
        ASSERT_TRUE(ReadWavFile(path, &b, &error)) << error;
        EXPECT_EQ(b.bytes, ConvertAudio(a, stored).bytes) << EncodingName(stored);
    }
    std::remove(path.c_str());
}

TEST(WavFiles, PlainWavHoldsWhatItsRiffSizeCanCount) {
    // The 32-bit RIFF size also counts 36 bytes of a PCM header, 50 of a float one, and the pad
    // byte after odd data; past that, a file must be RF64.
    const struct {
        Encoding stored;
        uint64_t dataBytes;
        bool fits;
    } cases[] = {
        {Encoding::Pcm16, 0xFFFFFFDA, true},      {Encoding::Pcm16, 0xFFFFFFDC, false},
        {Encoding::Pcm16, 0xFFFFFFF0, false},     {Encoding::Pcm8, 0xFFFFFFD9, true},
        {Encoding::Pcm8, 0xFFFFFFDA, true},       {Encoding::Pcm8, 0xFFFFFFDB, false},
        {Encoding::Float32, 0xFFFFFFCC, true},    {Encoding::Float32, 0xFFFFFFD0, false},
        {Encoding::Float64, 0xFFFFFFC8, true},    {Encoding::Float64, 0xFFFFFFD0, false},
        {Encoding::Pcm24, 0x100000002ull, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitsPlainWav(c.stored, c.dataBytes), c.fits)
            << EncodingName(c.stored) << " " << std::hex << c.dataBytes;
}

TEST(WavFiles, BadFilesAreRefusedWithAReason) {
    const std::string path = TempPath("rf_bad.wav");
    auto expectRefused = [&](const std::vector<uint8_t>& bytes, const char* reason) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        AudioData a;
        std::string error;
        EXPECT_FALSE(ReadWavFile(path, &a, &error));
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    };
    expectRefused({'h', 'e', 'l', 'l', 'o'}, "not a WAV");
    std::vector<uint8_t> header = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    expectRefused(header, "no format");
    std::vector<uint8_t> alaw = header;
    const uint8_t fmt[] = {'f',  'm',  't', ' ', 16,   0,    0, 0, 6, 0, 1, 0,
                           0x40, 0x1F, 0,   0,   0x40, 0x1F, 0, 0, 1, 0, 8, 0};
    alaw.insert(alaw.end(), fmt, fmt + sizeof fmt);
    expectRefused(alaw, "unsupported sample format");
    std::vector<uint8_t> spdif = alaw;
    spdif[20] = 0x92;  // IEC 61937 in a 16-bit PCM-shaped record
    spdif[34] = 16;
    spdif[32] = 2;
    expectRefused(spdif, "S/PDIF");
    AudioData missing;
    std::string error;
    EXPECT_FALSE(ReadWavFile(TempPath("rf_absent.wav"), &missing, &error));
    std::remove(path.c_str());
}

// Seeded: files of every encoding and 1 to 32 channels, plain or extensible with a channel mask
// and fewer valid bits, some cut short mid-frame, read back with their record's shape and the
// unused low bits zero; read in pieces of any size into any stream encoding over chunks of any
// bound, sequentially and then at random, they give the whole file read and converted at once,
// while the file bytes held never pass the bound.
TEST(WavFiles, PiecesOfAFileEqualTheWholeFileAndStayWithinTheChunkBound) {
    std::mt19937 random(20261210);
    const Encoding files[] = {Encoding::Pcm8,  Encoding::Pcm16,   Encoding::Pcm24,
                              Encoding::Pcm32, Encoding::Float32, Encoding::Float64};
    const Encoding streams[] = {Encoding::Pcm8,  Encoding::Pcm16,   Encoding::Pcm24,
                                Encoding::Pcm32, Encoding::Float32, Encoding::Float64};
    const std::string path = TempPath("rf_pieces.wav");
    for (int round = 0; round < 30; ++round) {
        AudioData a;
        a.encoding = files[random() % 6];
        a.channels = WORD(1 + random() % (round % 2 ? 2 : 32));
        a.rate = 8000;
        a.extensible = random() % 2;
        a.channelMask = a.extensible ? DWORD(random()) : 0;
        const int container = IntegerBits(a.encoding);
        if (container >= 24 && random() % 2) a.validBits = WORD(16 + random() % (container - 16));
        a.bytes.resize((500 + random() % 3000) * a.FrameBytes());
        for (uint8_t& b : a.bytes)
            b = uint8_t(random());
        ASSERT_TRUE(WriteWavFile(path, a));
        if (round % 3 == 0)
            std::filesystem::resize_file(path, std::filesystem::file_size(path) - 1 - random() % 5);
        AudioData whole;
        std::string error;
        ASSERT_TRUE(ReadWavFile(path, &whole, &error)) << error;
        EXPECT_EQ(whole.channels, a.channels);
        EXPECT_EQ(whole.validBits, a.validBits) << "round " << round;
        EXPECT_EQ(whole.channelMask, a.channelMask) << "round " << round;
        EXPECT_EQ(whole.extensible, a.extensible || a.channels > 2 || container > 16);
        if (a.validBits != 0) {
            const size_t width = BytesPerSample(a.encoding);
            const uint32_t unused = (uint32_t(1) << (container - a.validBits)) - 1;
            for (size_t i = 0; i < whole.bytes.size(); i += width) {
                uint32_t low = 0;
                std::memcpy(&low, &whole.bytes[i], 2);
                ASSERT_EQ(low & unused, 0u) << "round " << round << " byte " << i;
            }
        }
        const Encoding stream = streams[random() % 6];
        const std::vector<uint8_t> expect =
            stream == whole.encoding ? whole.bytes : ConvertAudio(whole, stream).bytes;

        const size_t bound = 1 + random() % (a.bytes.size() / 3);
        WavPieceReader reader(bound);
        ASSERT_TRUE(reader.Open(path, &error)) << error;
        reader.SetStreamEncoding(stream);
        ASSERT_EQ(reader.Frames(), whole.Frames());
        const size_t frameBytes = reader.StreamFrameBytes();
        std::vector<uint8_t> got(expect.size());
        auto readAt = [&](uint64_t first, size_t count) {
            ASSERT_TRUE(reader.Read(first, count, got.data() + first * frameBytes))
                << "round " << round << " at " << first;
            EXPECT_LE(reader.HeldBytes(), std::max(bound, a.FrameBytes())) << "round " << round;
        };
        for (uint64_t at = 0; at < reader.Frames();) {
            const size_t n = std::min<size_t>(1 + random() % 700, reader.Frames() - at);
            readAt(at, n);
            at += n;
        }
        EXPECT_EQ(got, expect) << "round " << round << ": " << EncodingName(a.encoding) << " as "
                               << EncodingName(stream);
        got.assign(got.size(), 0);
        for (uint64_t at = reader.Frames(); at > 0;) {  // backwards, as a rewound stream jumps
            const size_t n = std::min<size_t>(1 + random() % 300, at);
            at -= n;
            readAt(at, n);
        }
        EXPECT_EQ(got, expect) << "round " << round << " backwards";
        uint8_t spare[16];
        EXPECT_TRUE(reader.Read(reader.Frames(), 0, spare));
        EXPECT_FALSE(reader.Read(reader.Frames(), 1, spare));
        EXPECT_FALSE(reader.Read(reader.Frames() - 1, 2, spare));
    }
    std::remove(path.c_str());
}

TEST(WavFiles, AbandonedWriterLeavesNoFile) {
    const std::string path = TempPath("rf_abandoned.wav");
    {
        WavWriter w;
        ASSERT_TRUE(w.Open(path, Encoding::Pcm16, 2, 44100));
        const int16_t data[4] = {1, 2, 3, 4};
        ASSERT_TRUE(w.Append(data, sizeof data));
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    EXPECT_EQ(f, nullptr);
    std::FILE* partial = std::fopen((path + ".partial").c_str(), "rb");
    EXPECT_EQ(partial, nullptr);
}

}  // namespace
