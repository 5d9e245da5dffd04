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
    // The length the file claims, tail included; only a guide, since a damaged file may hold
    // fewer frames. 0 when unknown, as for a pipe.
    uint64_t ClaimedFrames() const { return claimed_ ? claimed_ + tail_ : 0; }
    // Scales every sample by `gain` before it is converted to the stream's encoding.
    void SetGain(double gain) { gain_ = gain; }
    // Adds this many frames of silence after the file's last.
    void SetTail(uint64_t frames) { tail_ = tailLeft_ = frames; }
    // Samples the gain pushed out of the stream encoding's range, clipped there.
    uint64_t Clipped() const { return clipped_; }
    // Up to `frames` more frames converted to `to` as ConvertAudio would; *bytes is empty at the
    // end. A file that fails, or ends before the frames its header claims, gives the frames it
    // had, then false with a reason naming both counts.
    bool Read(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes, std::string* error);

  private:
    void ReadDirect(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes);
    void ReadFile(uint32_t frames, Encoding to, std::vector<uint8_t>* bytes);
    // After each libsndfile read: false, with failure_ set, once the file has failed.
    bool ReadOk();
    // What the header claims, for the check at the end.
    void FindExpected(const std::string& path, int major);

    SNDFILE* file_ = nullptr;
    int subformat_ = 0;
    AudioData format_;
    uint64_t claimed_ = 0;
    double scale_ = 1.0;
    double gain_ = 1.0;
    uint64_t tail_ = 0, tailLeft_ = 0, clipped_ = 0;
    uint64_t expected_ = 0;  // 0: the header claims no length
    uint64_t read_ = 0;      // from the file, the tail not included
    std::string failure_;
    bool ended_ = false;
    std::vector<double> values_;
    AudioData native_;
};
