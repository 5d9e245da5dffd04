#include "tools/common/WavFile.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "stream/WaveFormatCheck.h"
#include "tools/common/System.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void PutTag(std::vector<uint8_t>& v, const char* tag) {
    v.insert(v.end(), tag, tag + 4);
}

// The tail every extensible sub-format GUID of a wave tag shares.
constexpr uint8_t kSubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool EncodingOf(uint16_t tag, uint16_t bits, Encoding* e) {
    if (tag == WAVE_FORMAT_PCM) {
        switch (bits) {
            case 8:
                *e = Encoding::Pcm8;
                return true;
            case 16:
                *e = Encoding::Pcm16;
                return true;
            case 24:
                *e = Encoding::Pcm24;
                return true;
            case 32:
                *e = Encoding::Pcm32;
                return true;
            default:
                return false;
        }
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT) {
        if (bits == 32) *e = Encoding::Float32;
        if (bits == 64) *e = Encoding::Float64;
        return bits == 32 || bits == 64;
    }
    return false;
}

bool ParseFormat(const uint8_t* p, uint32_t size, AudioData* audio, std::string* error) {
    if (size < 16) {
        *error = "the format chunk is too short";
        return false;
    }
    uint16_t tag = Le16(p);
    const uint16_t channels = Le16(p + 2), align = Le16(p + 12), bits = Le16(p + 14);
    const bool extensible = tag == 0xFFFE;
    WORD validBits = 0;
    DWORD mask = 0;
    if (extensible) {
        if (size < 40 || std::memcmp(p + 28, kSubFormatTail, 12) != 0 || Le16(p + 26) != 0) {
            *error = "an extensible format with an unknown sub-format";
            return false;
        }
        tag = Le16(p + 24);
        validBits = Le16(p + 18);
        mask = Le32(p + 20);
    }
    if (tag == 0x0092) {
        *error = kBitstreamRefusal;
        return false;
    }
    Encoding e;
    if (!EncodingOf(tag, bits, &e)) {
        *error = "unsupported sample format (tag " + std::to_string(tag) + ", " +
                 std::to_string(bits) + " bits)";
        return false;
    }
    if (channels == 0 || align != channels * BytesPerSample(e) || Le32(p + 4) == 0) {
        *error = "an inconsistent format chunk";
        return false;
    }
    // The filter's own rule for what it streams, so both tools refuse what it would.
    WAVEFORMATEX stored;
    WORD valid = 0;
    if (channels > 32) {
        *error = "unsupported format: " + std::to_string(channels) + " channels (1 to 32)";
        return false;
    }
    if (FAILED(CheckWaveFormat(p, size, &stored, &valid))) {
        *error = "unsupported format (" + std::to_string(bits) + "-bit samples with " +
                 std::to_string(validBits) + " valid bits)";
        return false;
    }
    audio->encoding = e;
    audio->channels = channels;
    audio->rate = Le32(p + 4);
    audio->extensible = extensible;
    audio->channelMask = mask;
    audio->validBits = valid < bits ? valid : 0;
    return true;
}

}  // namespace

const char kBitstreamRefusal[] =
    "an S/PDIF bitstream (tag 0x0092, IEC 61937), not PCM: it cannot be filtered";

// 64-bit positions, so files past 2 GiB work in the 32-bit build too.
bool SeekTo(std::FILE* f, uint64_t at) {
#ifdef _WIN32
    return _fseeki64(f, int64_t(at), SEEK_SET) == 0;
#else
    return fseeko(f, off_t(at), SEEK_SET) == 0;
#endif
}

namespace {

uint64_t FileLength(std::FILE* f) {
#ifdef _WIN32
    if (_fseeki64(f, 0, SEEK_END) != 0) return 0;
    const int64_t end = _ftelli64(f);
#else
    if (fseeko(f, 0, SEEK_END) != 0) return 0;
    const int64_t end = int64_t(ftello(f));
#endif
    return end > 0 ? uint64_t(end) : 0;
}

struct FileCloser {
    std::FILE* f;
    ~FileCloser() {
        if (f) std::fclose(f);
    }
};

}  // namespace

bool IsStreamedDataSize(uint64_t bytes, uint64_t frameBytes) {
    if (bytes == 0) return true;
    for (const uint64_t mark : {uint64_t(0x7FFFF000u), uint64_t(0xFFFFFFFFu)})
        if (bytes <= mark && mark - bytes < frameBytes) return true;
    return false;
}

bool ReadWavLayout(const std::string& path, AudioData* format, WavLayout* layout,
                   std::string* error) {
    FileCloser file{std::fopen(path.c_str(), "rb")};
    if (!file.f) {
        *error = std::strerror(errno);
        return false;
    }
    const uint64_t length = FileLength(file.f);
    uint8_t head[12];
    if (!SeekTo(file.f, 0) || std::fread(head, 1, 12, file.f) != 12 ||
        std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        *error = "not a WAV file";
        return false;
    }
    bool haveFormat = false;
    for (uint64_t at = 12; at + 8 <= length;) {
        uint8_t chunk[8];
        if (!SeekTo(file.f, at) || std::fread(chunk, 1, 8, file.f) != 8) break;
        const uint32_t size = Le32(chunk + 4);
        const uint64_t available = length - at - 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size > available || size > 4096) break;
            std::vector<uint8_t> body(size);
            if (std::fread(body.data(), 1, size, file.f) != size) break;
            if (!ParseFormat(body.data(), size, format, error)) return false;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                *error = "the data chunk comes before the format chunk";
                return false;
            }
            // A truncated file keeps the whole frames it has.
            const uint64_t bytes = size < available ? size : available;
            layout->dataOffset = at + 8;
            layout->frames = bytes / format->FrameBytes();
            layout->claimedFrames =
                IsStreamedDataSize(size, format->FrameBytes()) ? 0 : size / format->FrameBytes();
            return true;
        }
        at += 8 + uint64_t(size) + (size & 1);
    }
    *error = haveFormat ? "no data chunk" : "no format chunk";
    return false;
}

bool ReadWavFile(const std::string& path, AudioData* audio, std::string* error) {
    WavLayout layout;
    if (!ReadWavLayout(path, audio, &layout, error)) return false;
    const uint64_t bytes = layout.frames * audio->FrameBytes();
    if (bytes > SIZE_MAX) {
        *error = "too long to hold in memory";
        return false;
    }
    FileCloser file{std::fopen(path.c_str(), "rb")};
    audio->bytes.resize(size_t(bytes));
    if (!file.f || !SeekTo(file.f, layout.dataOffset) ||
        std::fread(audio->bytes.data(), 1, size_t(bytes), file.f) != size_t(bytes)) {
        audio->bytes.clear();
        *error = "cannot be read";
        return false;
    }
    return true;
}

AudioData ConvertAudio(const AudioData& audio, Encoding to) {
    AudioData out = audio;
    out.bytes.clear();
    out.encoding = to;
    if (to != audio.encoding) out.validBits = 0;
    const size_t count = audio.Frames() * audio.channels;
    std::vector<double> values(count);
    DecodeSamples(audio.encoding, audio.bytes.data(), count, values.data());
    out.bytes.resize(count * BytesPerSample(to));
    EncodeSamples(to, values.data(), count, out.bytes.data());
    return out;
}

size_t ConvertSamples(Encoding from, Encoding to, const uint8_t* in, size_t count,
                      std::vector<uint8_t>* out, int validBits) {
    std::vector<double> values(count);
    DecodeSamples(from, in, count, values.data());
    out->resize(count * BytesPerSample(to));
    EncodeSamples(to, values.data(), count, out->data(), validBits);
    if (to == Encoding::Float64) return 0;
    size_t clipped = 0;
    if (to == Encoding::Float32) {
        for (double v : values)
            clipped += std::fabs(v) > FLT_MAX ? 1 : 0;
        return clipped;
    }
    // What EncodeSamples clamps: values that round (halves away from zero) out of range.
    const int bits = validBits > 0 && validBits < IntegerBits(to) ? validBits : IntegerBits(to);
    const double scale = std::ldexp(1.0, bits - 1);
    for (double v : values)
        clipped += v * scale >= scale - 0.5 || v * scale <= -scale - 0.5 ? 1 : 0;
    return clipped;
}

namespace {

// RIFF, fmt (with fact for float and for every extensible record) and data headers in front of
// the samples.
uint64_t WavHeaderBytes(Encoding stored, bool extensible) {
    if (extensible) return 80;
    return stored == Encoding::Float32 || stored == Encoding::Float64 ? 58 : 44;
}

// What a streamed header claims: the largest whole frames under 2 GiB a 4 KiB page short, the
// length pipe-writing tools put there, so readers that take sizes as signed read on.
constexpr uint64_t kStreamDataBytes = 0x7FFFF000u;

}  // namespace

WavShape ShapeFor(const AudioData& input, Encoding stored) {
    WavShape shape;
    shape.extensible = input.extensible || input.channels > 2 || IntegerBits(stored) > 16;
    shape.channelMask = input.channelMask;
    if (stored == input.encoding) shape.validBits = input.validBits;
    return shape;
}

bool FitsPlainWav(Encoding stored, uint64_t dataBytes, bool extensible) {
    return WavHeaderBytes(stored, extensible) - 8 + dataBytes + (dataBytes & 1) <= 0xFFFFFFFFu;
}

void WavWriter::Reset(Encoding encoding, WORD channels, DWORD rate, Encoding stored,
                      const WavShape& shape) {
    Abandon();
    encoding_ = encoding;
    stored_ = stored;
    shape_ = shape;
    // Valid bits name part of an integer container; anything else has none to name.
    const int container = IntegerBits(stored);
    if (container < 24 || shape_.validBits >= container) shape_.validBits = 0;
    clipped_ = 0;
    channels_ = channels;
    rate_ = rate;
    dataBytes_ = 0;
    failed_ = false;
    error_.clear();
}

bool WavWriter::Extensible() const {
    return shape_.extensible || shape_.validBits != 0;
}

bool WavWriter::Open(const std::string& path, Encoding encoding, WORD channels, DWORD rate,
                     Encoding stored, const WavShape& shape) {
    Reset(encoding, channels, rate, stored, shape);
    path_ = path;
    temporary_ = path + ".partial";
    streaming_ = false;
    file_ = std::fopen(temporary_.c_str(), "wb");
    if (file_ == nullptr) return Fail(std::strerror(errno));
    return WriteHeader(0);
}

bool WavWriter::OpenStream(std::FILE* stream, Encoding encoding, WORD channels, DWORD rate,
                           Encoding stored, const WavShape& shape) {
    Reset(encoding, channels, rate, stored, shape);
    streaming_ = true;
    file_ = stream;
    const uint64_t align = channels * BytesPerSample(stored);
    return WriteHeader(align ? kStreamDataBytes / align * align : 0);
}

bool WavWriter::Fail(const std::string& why) {
    failed_ = true;
    error_ = why;
    return false;
}

bool WavWriter::WriteHeader(uint64_t dataBytes) {
    const WAVEFORMATEX f = StreamWaveFormat(stored_, channels_, rate_);
    const bool isFloat = f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT, extensible = Extensible();
    const uint32_t fmtBytes = extensible ? 40 : isFloat ? 18 : 16;
    const uint32_t data = uint32_t(dataBytes), pad = data & 1;
    std::vector<uint8_t> h;
    PutTag(h, "RIFF");
    Put32(h, uint32_t(WavHeaderBytes(stored_, extensible) - 8) + data + pad);
    PutTag(h, "WAVE");
    PutTag(h, "fmt ");
    Put32(h, fmtBytes);
    Put16(h, extensible ? WORD(0xFFFE) : f.wFormatTag);
    Put16(h, f.nChannels);
    Put32(h, f.nSamplesPerSec);
    Put32(h, f.nAvgBytesPerSec);
    Put16(h, f.nBlockAlign);
    Put16(h, f.wBitsPerSample);
    if (extensible) {
        Put16(h, 22);  // cbSize
        Put16(h, shape_.validBits ? shape_.validBits : f.wBitsPerSample);
        Put32(h, shape_.channelMask);
        Put16(h, f.wFormatTag);  // the sub-format GUID: the tag, then the shared tail
        Put16(h, 0);
        h.insert(h.end(), kSubFormatTail, kSubFormatTail + 12);
    } else if (isFloat) {
        Put16(h, 0);  // cbSize
    }
    if (extensible || isFloat) {
        PutTag(h, "fact");
        Put32(h, 4);
        Put32(h, data / f.nBlockAlign);
    }
    PutTag(h, "data");
    Put32(h, data);
    if (std::fwrite(h.data(), 1, h.size(), file_) != h.size()) return Fail(std::strerror(errno));
    return true;
}

bool WavWriter::Append(const void* data, size_t bytes) {
    if (file_ == nullptr || failed_) return false;
    if (stored_ != encoding_ || shape_.validBits != 0) {
        const size_t count = bytes / BytesPerSample(encoding_);
        clipped_ += ConvertSamples(encoding_, stored_, static_cast<const uint8_t*>(data), count,
                                   &converted_, shape_.validBits);
        data = converted_.data();
        bytes = converted_.size();
    }
    // The header's 32-bit sizes must hold the file: refuse to write one that would lie about it.
    // A stream's header claims no size of its own.
    if (!streaming_ && !FitsPlainWav(stored_, dataBytes_ + bytes, Extensible()))
        return Fail("past the 4 GiB a WAV file holds");
    if (std::fwrite(data, 1, bytes, file_) != bytes) return Fail(std::strerror(errno));
    dataBytes_ += bytes;
    return true;
}

bool WavWriter::Commit() {
    if (file_ == nullptr || failed_) return false;
    // A stream has no pad byte: its reader reads to the end and would take it for a sample.
    if (streaming_) {
        const bool ok = std::fflush(file_) == 0;
        file_ = nullptr;
        return ok || Fail(std::strerror(errno));
    }
    bool ok = true;
    if (dataBytes_ & 1) ok = std::fputc(0, file_) != EOF;
    ok = ok && std::fseek(file_, 0, SEEK_SET) == 0 && WriteHeader(dataBytes_);
    if (!ok && error_.empty()) error_ = std::strerror(errno);
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        error_ = std::strerror(errno);
    }
    file_ = nullptr;
    if (ok && !ReplaceFileWith(temporary_, path_)) {
        ok = false;
        error_ = "cannot be renamed into place";
    }
    if (!ok) std::remove(temporary_.c_str());
    temporary_.clear();
    return ok;
}

void WavWriter::Abandon() {
    if (file_ != nullptr && !streaming_) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) std::remove(temporary_.c_str());
    temporary_.clear();
}

bool WriteWavFile(const std::string& path, const AudioData& audio) {
    WavWriter writer;
    return writer.Open(path, audio.encoding, audio.channels, audio.rate, audio.encoding,
                       ShapeFor(audio, audio.encoding)) &&
           writer.Append(audio.bytes.data(), audio.bytes.size()) && writer.Commit();
}
