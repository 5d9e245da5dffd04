// Any file libsndfile reads, as samples of the encoding it holds, a block at a time so that a
// file of any length streams in constant memory.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

#include "tools/common/WavFile.h"

// Integer PCM keeps its exact values (8, 16, 24 and 32 bits); float files stay float;
// compressed encodings come out as 16-bit PCM when their source was at most 16-bit integer
// audio, and as 32-bit float otherwise.
class InputFile {
  public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool Open(const std::string& path, std::string* error);
    // The file's own encoding, channels and rate, with no samples.
    const AudioData& Format() const { return format_; }
    // The length the file claims; only a guide, since a damaged file may hold fewer frames.
    uint64_t ClaimedFrames() const { return claimed_; }
    // Up to `frames` more frames converted to `to` as ConvertAudio would; *bytes is empty at the
    // end. False with a reason when the file cannot be read.
    bool Read(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes, std::string* error);

  private:
    bool ReadDirect(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes);

    SNDFILE* file_ = nullptr;
    int subformat_ = 0;
    AudioData format_;
    uint64_t claimed_ = 0;
    double scale_ = 1.0;
    std::vector<double> values_;
    AudioData native_;
};
