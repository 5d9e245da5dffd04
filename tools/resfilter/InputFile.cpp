#include "tools/resfilter/InputFile.h"

#include <sndfile.h>

#include <vector>

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

}  // namespace

bool ReadInputFile(const std::string& path, AudioData* audio, std::string* error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        *error = sf_strerror(nullptr);
        return false;
    }
    const Encoding e = NativeEncoding(info.format);
    const bool integer = e != Encoding::Float32 && e != Encoding::Float64;
    // Unnormalised integers are the file's own values, exact in a double.
    if (integer) sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    audio->encoding = e;
    audio->channels = WORD(info.channels);
    audio->rate = DWORD(info.samplerate);
    audio->bytes.clear();
    std::vector<double> block(size_t(4096) * size_t(info.channels));
    std::vector<uint8_t> encoded(block.size() * BytesPerSample(e));
    const double scale = integer ? 1.0 / double(int64_t(1) << (Bits(e) - 1)) : 1.0;
    sf_count_t got;
    while ((got = sf_readf_double(file, block.data(), 4096)) > 0) {
        const size_t count = size_t(got) * size_t(info.channels);
        for (size_t i = 0; i < count; ++i)
            block[i] *= scale;
        EncodeSamples(e, block.data(), count, encoded.data());
        audio->bytes.insert(audio->bytes.end(), encoded.begin(),
                            encoded.begin() + ptrdiff_t(count * BytesPerSample(e)));
    }
    const int status = sf_error(file);
    sf_close(file);
    if (status != SF_ERR_NO_ERROR) {
        *error = sf_error_number(status);
        return false;
    }
    return true;
}
