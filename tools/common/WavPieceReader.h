// A WAV file's samples a piece at a time, in the encoding the stream wants, so a run over a file
// of any length holds only one bounded chunk of it. Frame positions are 64-bit and count from
// the start of the data chunk, so files past 4 GiB work in the 32-bit build too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/WavFile.h"

class WavPieceReader {
  public:
    static constexpr size_t kDefaultChunkBytes = size_t(1) << 20;

    // chunkBytes bounds the file bytes held at once; a chunk holds at least one frame.
    explicit WavPieceReader(size_t chunkBytes = kDefaultChunkBytes) : chunkBytes_(chunkBytes) {}
    ~WavPieceReader() { Close(); }
    WavPieceReader(const WavPieceReader&) = delete;
    WavPieceReader& operator=(const WavPieceReader&) = delete;

    // Reads the header as ReadWavLayout does; pieces then come out in the file's own encoding.
    bool Open(const std::string& path, std::string* error);
    void Close();
    // The encoding Read delivers, converted sample by sample exactly as ConvertAudio does.
    void SetStreamEncoding(Encoding e) { stream_ = e; }

    // The file's format, without samples.
    const AudioData& FileFormat() const { return format_; }
    // The stream's format, without samples.
    AudioData StreamFormat() const;
    uint64_t Frames() const { return layout_.frames; }
    size_t StreamFrameBytes() const { return format_.channels * BytesPerSample(stream_); }

    // Frames [first, first + count) in the stream encoding into `out`, which holds count x
    // StreamFrameBytes(). False past the end, or when the file cannot be read.
    bool Read(uint64_t first, size_t count, uint8_t* out);

    // File bytes held now: never more than the chunk bound, or one frame. Conversion adds a
    // fixed scratch of 32 KiB.
    size_t HeldBytes() const { return chunk_.capacity(); }

  private:
    bool Load(uint64_t first);
    size_t ChunkFrames() const;

    size_t chunkBytes_;
    std::FILE* file_ = nullptr;
    AudioData format_;
    WavLayout layout_;
    Encoding stream_ = Encoding::Pcm16;
    std::vector<uint8_t> chunk_;  // file bytes of frames [chunkFirst_, + chunkFrames_)
    uint64_t chunkFirst_ = 0;
    size_t chunkFrames_ = 0;
    std::vector<double> scratch_;
};
