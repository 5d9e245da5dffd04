#include "tools/common/WavPieceReader.h"

#include <cerrno>
#include <cstring>

namespace {

// Conversion goes through doubles this many samples at a time.
constexpr size_t kScratchSamples = 4096;

}  // namespace

bool WavPieceReader::Open(const std::string& path, std::string* error) {
    Close();
    format_ = AudioData();
    layout_ = WavLayout();
    if (!ReadWavLayout(path, &format_, &layout_, error)) return false;
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        *error = std::strerror(errno);
        return false;
    }
    stream_ = format_.encoding;
    return true;
}

void WavPieceReader::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    chunk_.clear();
    chunk_.shrink_to_fit();
    scratch_.clear();
    scratch_.shrink_to_fit();
    chunkFrames_ = 0;
}

AudioData WavPieceReader::StreamFormat() const {
    AudioData f = format_;
    f.encoding = stream_;
    if (stream_ != format_.encoding) f.validBits = 0;  // they belong to the file's container
    return f;
}

size_t WavPieceReader::ChunkFrames() const {
    const size_t frame = format_.FrameBytes();
    return frame == 0 || chunkBytes_ < frame ? 1 : chunkBytes_ / frame;
}

bool WavPieceReader::Load(uint64_t first) {
    const uint64_t left = layout_.frames - first;
    const size_t frames = left < ChunkFrames() ? size_t(left) : ChunkFrames();
    const size_t bytes = frames * format_.FrameBytes();
    chunk_.resize(bytes);
    chunkFrames_ = 0;
    if (!SeekTo(file_, layout_.dataOffset + first * format_.FrameBytes()) ||
        std::fread(chunk_.data(), 1, bytes, file_) != bytes)
        return false;
    chunkFirst_ = first;
    chunkFrames_ = frames;
    return true;
}

bool WavPieceReader::Read(uint64_t first, size_t count, uint8_t* out) {
    if (file_ == nullptr || first > layout_.frames || count > layout_.frames - first) return false;
    const size_t inFrame = format_.FrameBytes(), outFrame = StreamFrameBytes();
    for (uint64_t at = first, end = first + count; at < end;) {
        if (at < chunkFirst_ || at >= chunkFirst_ + chunkFrames_) {
            if (!Load(at)) return false;
        }
        const uint64_t available = chunkFirst_ + chunkFrames_ - at;
        const size_t frames = size_t(end - at < available ? end - at : available);
        const uint8_t* in = chunk_.data() + size_t(at - chunkFirst_) * inFrame;
        if (stream_ == format_.encoding) {
            std::memcpy(out, in, frames * inFrame);
        } else {
            scratch_.resize(kScratchSamples);
            const size_t samples = frames * format_.channels;
            const size_t inBytes = BytesPerSample(format_.encoding);
            const size_t outBytes = BytesPerSample(stream_);
            for (size_t done = 0; done < samples;) {
                const size_t n =
                    samples - done < kScratchSamples ? samples - done : kScratchSamples;
                DecodeSamples(format_.encoding, in + done * inBytes, n, scratch_.data());
                EncodeSamples(stream_, scratch_.data(), n, out + done * outBytes);
                done += n;
            }
        }
        out += frames * outFrame;
        at += frames;
    }
    return true;
}
