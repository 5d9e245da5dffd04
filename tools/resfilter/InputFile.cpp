#include "tools/resfilter/InputFile.h"

#include <cstdio>
#include <cstring>

namespace {

Encoding NativeEncoding(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return Encoding::Pcm8;
        case SF_FORMAT_PCM_24:
            return Encoding::Pcm24;
        case SF_FORMAT_PCM_32:
            return Encoding::Pcm32;
        case SF_FORMAT_FLOAT:
            return Encoding::Float32;
        case SF_FORMAT_DOUBLE:
            return Encoding::Float64;
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
            return Encoding::Float32;
        default:
            return Encoding::Pcm16;
    }
}

int Bits(Encoding e) {
    return int(8 * BytesPerSample(e));
}

// 16-bit and 32-bit integer files read straight into the stream's samples when the stream
// keeps their encoding: the same values as the round trip through doubles, with no conversion.
// Little-endian hosts only, where the samples in memory are the file's byte order.
bool DirectReadable(Encoding to, Encoding native, int subformat, double gain) {
    const uint16_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1 && gain == 1.0 && to == native &&
           ((to == Encoding::Pcm16 && subformat == SF_FORMAT_PCM_16) ||
            (to == Encoding::Pcm32 && subformat == SF_FORMAT_PCM_32));
}

}  // namespace

InputFile::~InputFile() {
    if (file_ != nullptr) sf_close(file_);
}

bool InputFile::Open(const std::string& path, std::string* error) {
    if (path != "-") {
        // A bitstream in a WAV file is not audio to filter, whatever libsndfile makes of it.
        AudioData header;
        WavLayout layout;
        if (!ReadWavLayout(path, &header, &layout, error) && *error == kBitstreamRefusal)
            return false;
        error->clear();
    }
    SF_INFO info{};
    file_ = sf_open(path.c_str(), SFM_READ, &info);
    if (file_ == nullptr) {
        *error = sf_strerror(nullptr);
        // libsndfile's FLAC decoder needs to seek, and from a pipe only says it lost sync.
        if (path == "-" && error->find("flac") != std::string::npos)
            *error = "FLAC cannot be read from a pipe: give the file's name";
        return false;
    }
    const Encoding e = NativeEncoding(info.format);
    subformat_ = info.format & SF_FORMAT_SUBMASK;
    const bool integer = e != Encoding::Float32 && e != Encoding::Float64;
    // Unnormalised integers are the file's own values, exact in a double.
    if (integer) sf_command(file_, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    scale_ = integer ? 1.0 / double(int64_t(1) << (Bits(e) - 1)) : 1.0;
    format_.encoding = native_.encoding = e;
    format_.channels = native_.channels = WORD(info.channels);
    format_.rate = native_.rate = DWORD(info.samplerate);
    // A pipe's length is unknown, and libsndfile says so with the largest count it has.
    claimed_ = info.frames > 0 && info.frames < (sf_count_t(1) << 48) ? uint64_t(info.frames) : 0;
    const int major = info.format & SF_FORMAT_TYPEMASK;
    // libsndfile reads no samples of a CAF from a pipe, and loses the last ones of an RF64.
    if (path == "-" && (major == SF_FORMAT_CAF || major == SF_FORMAT_RF64)) {
        *error = std::string(major == SF_FORMAT_CAF ? "CAF" : "RF64") +
                 " cannot be read from a pipe: give the file's name";
        return false;
    }
    FindExpected(path, major);
    return true;
}

void InputFile::FindExpected(const std::string& path, int major) {
    expected_ = claimed_;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) return;
    const size_t frameBytes = format_.channels * BytesPerSample(format_.encoding);
    AudioData header;
    WavLayout layout;
    std::string ignored;
    if (path == "-") {
        // A WAV streamed into a pipe has sizes its writer could not know.
        if (IsStreamedDataSize(claimed_ * frameBytes, frameBytes)) claimed_ = expected_ = 0;
    } else if (ReadWavLayout(path, &header, &layout, &ignored)) {
        // libsndfile cuts a WAV's length to the file's, so a truncated file would pass
        // unnoticed: the data chunk's own size is the claim.
        expected_ = layout.claimedFrames;
        // It also reads past the extensible record's valid bits and channel mask, which the
        // stream and the output keep.
        if (header.encoding == format_.encoding && header.channels == format_.channels) {
            format_.validBits = header.validBits;
            format_.channelMask = header.channelMask;
            format_.extensible = header.extensible;
        }
    }
}

bool InputFile::ReadOk() {
    const int status = sf_error(file_);
    if (status == SF_ERR_NO_ERROR) return true;
    failure_ = sf_error_number(status);
    if (!failure_.empty() && failure_.back() == '.') failure_.pop_back();
    return false;
}

void InputFile::ReadDirect(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes) {
    const size_t frameBytes = format_.channels * BytesPerSample(to);
    bytes->resize(size_t(frames) * frameBytes);
    size_t got = 0;
    while (got < frames) {
        uint8_t* at = bytes->data() + got * frameBytes;
        const sf_count_t want = sf_count_t(frames - got);
        const sf_count_t n = to == Encoding::Pcm16
                                 ? sf_readf_short(file_, reinterpret_cast<short*>(at), want)
                                 : sf_readf_int(file_, reinterpret_cast<int*>(at), want);
        if (n > 0) got += size_t(n);
        if (n <= 0 || !ReadOk()) break;
    }
    bytes->resize(got * frameBytes);
}

bool InputFile::Read(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes,
                     std::string* error) {
    bytes->clear();
    if (!failure_.empty()) {
        *error = failure_;
        return false;
    }
    if (!ended_) {
        if (DirectReadable(to, native_.encoding, subformat_, gain_))
            ReadDirect(frames, to, bytes);
        else
            ReadFile(frames, to, bytes);
    }
    const size_t frameBytes = format_.channels * BytesPerSample(to);
    const uint64_t got = bytes->size() / frameBytes;
    if (!ended_) read_ += got;
    if (got == frames) return true;
    // Only the end gives fewer frames than asked; the tail follows it.
    ended_ = true;
    if (failure_.empty() && read_ < expected_) failure_ = "the file ends early";
    if (!failure_.empty()) {
        // The frames before the fault still go out; the next call reports it.
        char counts[96];
        if (expected_ != 0)
            std::snprintf(counts, sizeof counts, ": %llu of the %llu frames its header claims",
                          (unsigned long long)read_, (unsigned long long)expected_);
        else
            std::snprintf(counts, sizeof counts, ": %llu frames", (unsigned long long)read_);
        failure_ += std::string(counts) + " were read";
        return true;
    }
    const uint64_t silent = frames - got < tailLeft_ ? frames - got : tailLeft_;
    tailLeft_ -= silent;
    std::vector<double> zeros(size_t(silent) * format_.channels, 0.0);
    bytes->resize(bytes->size() + zeros.size() * BytesPerSample(to));
    EncodeSamples(to, zeros.data(), zeros.size(), bytes->data() + got * frameBytes);
    return true;
}

void InputFile::ReadFile(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes) {
    const size_t channels = format_.channels;
    values_.resize(size_t(frames) * channels);
    // libsndfile may hand back fewer frames than asked before the end; only 0 means the end.
    size_t got = 0;
    while (got < frames) {
        const sf_count_t n =
            sf_readf_double(file_, values_.data() + got * channels, sf_count_t(frames - got));
        if (n > 0) got += size_t(n);
        if (n <= 0 || !ReadOk()) break;
    }
    // The same two steps as reading the whole file and converting it, so the bits match.
    const size_t count = got * channels;
    for (size_t i = 0; i < count; ++i)
        values_[i] *= scale_;
    if (gain_ != 1.0) {
        // Straight to the stream's encoding, so a 24-bit file keeps its bits in a pcm32 stream.
        for (size_t i = 0; i < count; ++i)
            values_[i] *= gain_;
        clipped_ += ConvertSamples(Encoding::Float64, to,
                                   reinterpret_cast<const uint8_t*>(values_.data()), count, bytes);
        return;
    }
    native_.bytes.resize(count * BytesPerSample(native_.encoding));
    EncodeSamples(native_.encoding, values_.data(), count, native_.bytes.data());
    if (to == native_.encoding)
        bytes->swap(native_.bytes);
    else
        *bytes = std::move(ConvertAudio(native_, to).bytes);
}
