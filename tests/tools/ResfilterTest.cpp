// resfilter end to end: output types and depths read back with libsndfile, clipping counts,
// the tail, and audio through pipes.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/common/WavFile.h"

namespace {

const std::string kDir = std::string(RF_TEST_DIR) + "/resfilter_test";

std::string PathOf(const std::string& name) {
    return kDir + "/" + name;
}

// Runs a shell line in the test folder, with $RF naming resfilter; returns the exit status and
// what went to stderr.
int RunLine(const std::string& line, std::string* err = nullptr) {
    const std::string errFile = PathOf("stderr.txt");
    const int status = std::system(
        ("cd '" + kDir + "' && RF='" RF_RESFILTER "' && { " + line + "; } 2>'" + errFile + "'")
            .c_str());
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    if (err != nullptr) *err = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs resfilter with `args` (a pipeline may follow).
int RunTool(const std::string& args, std::string* err = nullptr) {
    return RunLine("\"$RF\" " + args, err);
}

struct Sound {
    int format = 0, channels = 0, rate = 0;
    std::vector<double> samples;  // interleaved, scaled to [-1, 1)
};

void Write(const std::string& name, int format, int channels, int rate,
           const std::vector<double>& samples) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    SNDFILE* f = sf_open(PathOf(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    sf_write_double(f, samples.data(), sf_count_t(samples.size()));
    sf_close(f);
}

Sound Read(const std::string& name) {
    Sound s;
    SF_INFO info{};
    SNDFILE* f = sf_open(PathOf(name).c_str(), SFM_READ, &info);
    if (f == nullptr) return s;
    s.format = info.format;
    s.channels = info.channels;
    s.rate = info.samplerate;
    std::vector<double> block(4096 * size_t(info.channels));
    for (sf_count_t n; (n = sf_readf_double(f, block.data(), 4096)) > 0;)
        s.samples.insert(s.samples.end(), block.begin(), block.begin() + n * info.channels);
    sf_close(f);
    return s;
}

// Seeded noise on the grid of `bits`-bit samples, so any deeper file holds it exactly.
std::vector<double> Noise(size_t count, int bits, unsigned seed) {
    std::mt19937 random(seed);
    const double top = std::ldexp(1.0, bits - 1);
    std::uniform_int_distribution<int> value(-int(top) / 2, int(top) / 2);
    std::vector<double> v(count);
    for (double& x : v)
        x = value(random) / top;
    return v;
}

class Resfilter : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(std::system(("mkdir -p '" + kDir + "'").c_str()), 0);
        Write("in16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, Noise(2 * 5000, 16, 1));
        Write("in24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 48000, Noise(7000, 24, 2));
        // Records libsndfile reads past: a 5.1 mask, valid bits under the container.
        WriteShaped("in51.wav", Encoding::Float32, 6, 0x3F, 0, 3);
        WriteShaped("in8ch.wav", Encoding::Pcm16, 8, 0, 0, 4);
        WriteShaped("in20of32.wav", Encoding::Pcm32, 2, 0x3, 20, 5);
    }
    static void WriteShaped(const char* name, Encoding e, WORD channels, DWORD mask, WORD valid,
                            unsigned seed) {
        AudioData a;
        a.encoding = e;
        a.channels = channels;
        a.rate = 44100;
        a.channelMask = mask;
        a.validBits = valid;
        a.extensible = true;
        const std::vector<double> noise = Noise(size_t(channels) * 3000, valid ? valid : 16, seed);
        a.bytes.resize(noise.size() * BytesPerSample(e));
        EncodeSamples(e, noise.data(), noise.size(), a.bytes.data(), valid);
        ASSERT_TRUE(WriteWavFile(PathOf(name), a));
    }
};

// Wide and extensible inputs come out in their own samples, channels, mask and valid bits,
// filtered (the unused low bits zero) or, bypassed, exactly as they went in; a bitstream is
// refused.
TEST_F(Resfilter, ChannelMasksAndValidBitsSurviveTheRun) {
    for (const char* name : {"in51.wav", "in8ch.wav", "in20of32.wav", "in24.wav"}) {
        SCOPED_TRACE(name);
        AudioData in, out, bypassed;
        std::string error;
        ASSERT_TRUE(ReadWavFile(PathOf(name), &in, &error)) << error;
        for (const char* options : {"--preset 13", "--direct --preset 13", "--bypass"}) {
            ASSERT_EQ(RunTool(std::string("-q ") + options + " " + name + " shaped.wav"), 0);
            ASSERT_TRUE(ReadWavFile(PathOf("shaped.wav"), &out, &error)) << error;
            EXPECT_EQ(out.encoding, in.encoding);
            EXPECT_EQ(out.channels, in.channels);
            EXPECT_EQ(out.channelMask, in.channelMask);
            EXPECT_EQ(out.validBits, in.validBits);
            EXPECT_EQ(out.extensible,
                      in.extensible || in.channels > 2 || in.encoding == Encoding::Pcm24);
            ASSERT_EQ(out.bytes.size(), in.bytes.size());
            if (std::string(options) == "--bypass") {
                EXPECT_EQ(out.bytes, in.bytes);
                continue;
            }
            EXPECT_NE(out.bytes, in.bytes) << options;
            if (in.validBits == 0) continue;
            const uint32_t unused = (1u << (32 - in.validBits)) - 1;
            for (size_t i = 0; i < out.bytes.size(); i += 4) {
                uint32_t low = 0;
                std::memcpy(&low, &out.bytes[i], 2);
                ASSERT_EQ(low & unused, 0u) << options << " at " << i;
            }
        }
    }
    std::vector<uint8_t> spdif;
    ASSERT_TRUE(std::ifstream(PathOf("in16.wav"), std::ios::binary).good());
    ASSERT_EQ(std::system(("cd '" + kDir +
                           "' && cp in16.wav spdif.wav && printf '\\222' | dd "
                           "of=spdif.wav bs=1 seek=20 conv=notrunc 2>/dev/null")
                              .c_str()),
              0);
    std::string err;
    EXPECT_EQ(RunTool("spdif.wav o.wav", &err), 2);
    EXPECT_NE(err.find("S/PDIF"), std::string::npos) << err;
}

TEST_F(Resfilter, FileTypesAndDepthsRoundTripThroughLibsndfile) {
    const struct {
        const char* input;
        const char* output;
        const char* options;
        int format;
        double tolerance;  // what a shallower file loses
    } cases[] = {
        {"in16.wav", "a.wav", "", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0},
        {"in24.wav", "b.wav", "", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 0},
        {"in24.wav", "c.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 0},
        {"in16.wav", "d.w64", "--bits 32", SF_FORMAT_W64 | SF_FORMAT_PCM_32, 0},
        {"in16.wav", "e.rf64", "", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, 0},
        {"in16.wav", "f.AIF", "--bits 24", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 0},
        {"in24.wav", "g.caf", "--encoding float", SF_FORMAT_CAF | SF_FORMAT_FLOAT, 0},
        {"in16.wav", "h.au", "--bits 8 --encoding signed", SF_FORMAT_AU | SF_FORMAT_PCM_S8,
         1.0 / 256},
        {"in16.wav", "i.wav", "--bits 8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1.0 / 256},
        {"in24.wav", "j.wav", "--bits 16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1.0 / 65536},
        // --format is the stream's: the file still follows the input.
        {"in16.wav", "k", "--file-type caf --format float64", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        ASSERT_EQ(RunTool(std::string("-q --bypass ") + c.options + " " + c.input + " " + c.output),
                  0);
        const Sound in = Read(c.input), out = Read(c.output);
        EXPECT_EQ(out.format, c.format);
        EXPECT_EQ(out.rate, in.rate);
        ASSERT_EQ(out.samples.size(), in.samples.size());
        double worst = 0;
        for (size_t i = 0; i < in.samples.size(); ++i)
            worst = std::max(worst, std::fabs(out.samples[i] - in.samples[i]));
        EXPECT_LE(worst, c.tolerance);
    }
    // What a type cannot hold, an unknown extension or a folder that is not there is bad input
    // and writes nothing.
    for (const char* bad : {"in16.wav l.ogg", "--encoding float in16.wav m.flac",
                            "--bits 8 --encoding signed in16.wav n.wav",
                            "--file-type caf in16.wav -", "in16.wav no-such-dir/o.flac"}) {
        std::string err;
        EXPECT_EQ(RunTool(bad, &err), 2) << bad;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    EXPECT_TRUE(Read("l.ogg").samples.empty());
}

TEST_F(Resfilter, ClippedSamplesAreCountedOnStderrUnlessQuiet) {
    // 300 samples beyond full scale in a float file; the rest at a quarter of it.
    std::vector<double> loud(4000, 0.25);
    for (size_t i = 0; i < 300; ++i)
        loud[i * 13] = i % 2 ? 1.5 : -1.25;
    Write("loud.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 8000, loud);
    const struct {
        const char* args;
        const char* said;  // empty: no clipping line
    } cases[] = {
        {"--bypass --bits 16 loud.wav o.wav", "300 samples clipped (0 by --gain, 300 writing"},
        {"--bypass loud.wav o.wav", ""},
        {"--bypass --bits 16 --gain -6.1 loud.wav o.wav", ""},
        {"--bypass --gain 12.1 in16.wav o.wav", " by --gain, 0 writing pcm16"},
        {"-q --bypass --bits 16 loud.wav o.wav", ""},
    };
    for (const auto& c : cases) {
        std::string err;
        ASSERT_EQ(RunTool(c.args, &err), 0) << c.args;
        const bool counted = err.find("clipped") != std::string::npos;
        EXPECT_EQ(counted, *c.said != 0) << c.args << ": " << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
    }
}

TEST_F(Resfilter, TheTailAddsSilenceThatTheResonanceRingsInto) {
    ASSERT_EQ(RunTool("-q --frequency 500 --resonance 95 in24.wav plain.wav"), 0);
    ASSERT_EQ(RunTool("-q --frequency 500 --resonance 95 --tail 0.25 in24.wav tail.wav"), 0);
    ASSERT_EQ(RunTool("-q --bypass --tail 0.25 in24.wav silent.wav"), 0);
    const Sound plain = Read("plain.wav"), tail = Read("tail.wav"), silent = Read("silent.wav");
    ASSERT_EQ(tail.samples.size(), plain.samples.size() + 12000);
    EXPECT_TRUE(std::equal(plain.samples.begin(), plain.samples.end(), tail.samples.begin()));
    EXPECT_NE(tail.samples[plain.samples.size() + 100], 0.0);  // still ringing
    for (size_t i = plain.samples.size(); i < silent.samples.size(); ++i)
        ASSERT_EQ(silent.samples[i], 0.0);
}

TEST_F(Resfilter, PipesCarryTheSameAudioAsFiles) {
    ASSERT_EQ(RunTool("-q --preset 13 in16.wav file.au"), 0);
    // Real pipes on both sides; the summary goes to stderr and leaves the audio alone.
    std::string err;
    ASSERT_EQ(RunTool("--preset 13 --file-type au - - <in16.wav | cat >piped.au", &err), 0);
    EXPECT_NE(err.find("frames"), std::string::npos);
    ASSERT_EQ(RunTool("-q --preset 13 --file-type flac - - <in16.wav | cat >piped.flac"), 0);
    const Sound file = Read("file.au"), au = Read("piped.au"), flac = Read("piped.flac");
    ASSERT_EQ(file.samples.size(), 2u * 5000);
    EXPECT_EQ(au.samples, file.samples);
    EXPECT_EQ(flac.samples, file.samples);
    // WAV by default, with open sizes that SoX reads to the end, and resfilter too.
    ASSERT_EQ(RunTool("-q --preset 13 - - <in16.wav | sox -t wav - sox.wav"), 0);
    EXPECT_EQ(Read("sox.wav").samples, file.samples);
    ASSERT_EQ(RunTool("-q --preset 13 in16.wav - | \"$RF\" -q --bypass - chained.au"), 0);
    EXPECT_EQ(Read("chained.au").samples, file.samples);
    ASSERT_EQ(RunTool("-q --preset 13 in24.wav file24.wav"), 0);
    ASSERT_EQ(RunTool("-q --preset 13 in24.wav - | sox -t wav - sox24.wav"), 0);
    const Sound file24 = Read("file24.wav"), sox24 = Read("sox24.wav");
    EXPECT_EQ(sox24.format & SF_FORMAT_SUBMASK, SF_FORMAT_PCM_24);
    EXPECT_EQ(sox24.samples, file24.samples);
}

TEST_F(Resfilter, ShortInputsAndFailedOutputsExitOneWithOneLine) {
    // Five seconds: longer than a pipe's buffer and than the first chunk.
    const std::vector<double> noise = Noise(2 * 220500, 16, 3);
    Write("long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, noise);
    Write("long.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, noise);
    Write("long.caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, 2, 44100, noise);
    const std::string damage =
        "dd if=/dev/zero of=dmg.flac bs=1000 seek=300 count=20 "
        "conv=notrunc 2>/dev/null";
    ASSERT_EQ(std::system(("cd '" + kDir + "' && head -c 400000 long.wav >cut.wav && " +
                           "cp long.flac dmg.flac && " + damage)
                              .c_str()),
              0);
    const struct {
        const char* line;
        int status;
        const char* said;
        const char* output;  // its file: kept with the frames read, or gone
        long kept;           // frames it keeps; 0: none, and no temporary file either
    } cases[] = {
        {"\"$RF\" cut.wav k.wav", 1, "99989 of the 220500 frames its header claims", "k.wav",
         99989},
        {"\"$RF\" dmg.flac d.wav", 1, "of the 220500 frames its header claims were read; d.wav",
         "d.wav", -1},
        {"cat long.caf | \"$RF\" - c.wav", 2, "CAF cannot be read from a pipe", "c.wav", 0},
        {"cat long.flac | \"$RF\" - c.wav", 2, "FLAC cannot be read from a pipe", "c.wav", 0},
        // A failed write ends the run while stdin stalls; the bound only catches a hang.
        {"{ head -c 400000 long.wav; sleep 90 2>/dev/null & echo $! >stall.pid; } | timeout 60 "
         "\"$RF\" --file-type flac - - >/dev/full; s=$?; kill $(cat stall.pid); (exit $s)",
         1, "-: writing failed: No space left on device", nullptr, 0},
        {"\"$RF\" in16.wav - >/dev/full", 1, "No space left on device", nullptr, 0},
        {"\"$RF\" --file-type flac in16.wav - >/dev/full", 1, "No space left on device", nullptr,
         0},
        {"\"$RF\" --file-type au in16.wav - >/dev/full", 1, "No space left on device", nullptr, 0},
        {"{ \"$RF\" long.wav -; echo $? >status; } | head -c 100 >/dev/null; (exit $(cat status))",
         1, "-: writing failed: Broken pipe", nullptr, 0},
        // A full disk, as a file size limit (in 512-byte blocks), for the types pipes refuse.
        {"ulimit -f 40; \"$RF\" long.wav f.wav", 1, "f.wav: writing failed: File too large",
         "f.wav", 0},
        {"ulimit -f 40; \"$RF\" long.wav f.w64", 1, "File too large", "f.w64", 0},
        {"ulimit -f 40; \"$RF\" long.wav f.rf64", 1, "File too large", "f.rf64", 0},
        {"ulimit -f 40; \"$RF\" long.wav f.aiff", 1, "File too large", "f.aiff", 0},
        {"ulimit -f 40; \"$RF\" long.wav f.caf", 1, "File too large", "f.caf", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::string err;
        EXPECT_EQ(RunLine(c.line, &err), c.status);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        if (c.output == nullptr) continue;
        const long frames = long(Read(c.output).samples.size() / 2);
        if (c.kept > 0) {
            EXPECT_EQ(frames, c.kept);
        } else if (c.kept < 0) {
            EXPECT_TRUE(frames > 0 && frames < 220500) << frames;
        } else {
            EXPECT_FALSE(std::ifstream(PathOf(c.output)).good());
            EXPECT_FALSE(std::ifstream(PathOf(std::string(c.output) + ".partial")).good());
        }
    }
}

}  // namespace
