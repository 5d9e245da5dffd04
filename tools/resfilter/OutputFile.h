// The output file: its type from its extension (or --file-type), its samples from the stream or
// --bits and --encoding. WAV that fits in 4 GiB, and WAV to a pipe, is written by WavWriter, so
// resfilter and rfhost write the same bytes; everything else goes through libsndfile, WAV past
// 4 GiB as RF64.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

#include "tools/common/ToolOptions.h"
#include "tools/common/WavFile.h"

struct OutputPlan {
    std::string type;  // wav, w64, rf64, aiff, caf, flac or au
    int format = 0;    // libsndfile's major and sub-format
    Encoding stored = Encoding::Pcm16;
    WavShape shape;          // the input's record, as WavWriter writes it
    bool wavWriter = false;  // WavWriter writes it
    bool toStdout = false;
};

// Decides the output for a stream of `stream`'s format from an input of `input`, about
// `frames` frames long (0 when unknown). False with one line for what libsndfile cannot write.
bool PlanOutput(const ToolOptions& options, const AudioData& input, const AudioData& stream,
                uint64_t frames, OutputPlan* plan, std::string* error);

// Written under a temporary name and renamed into place by Commit, as WavWriter does; stdout is
// written as it goes. Abandon removes the temporary file.
class OutputFile {
  public:
    OutputFile() = default;
    ~OutputFile() { Abandon(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Open(const std::string& path, const OutputPlan& plan, const AudioData& stream);
    // Whole frames of the stream's encoding.
    bool Append(const uint8_t* data, size_t bytes);
    bool Commit();
    void Abandon();
    // Samples the conversion to the file's samples clipped.
    uint64_t Clipped() const { return plan_.wavWriter ? wav_.Clipped() : clipped_; }
    // Why the last Open, Append or Commit failed.
    const std::string& Error() const { return error_; }
    // Open failed because no file can be made at the path (no such folder, no permission).
    bool Refused() const { return refused_; }

  private:
    OutputPlan plan_;
    Encoding stream_ = Encoding::Pcm16;
    WavWriter wav_;
    SNDFILE* file_ = nullptr;
    std::string path_, temporary_, error_;
    std::vector<uint8_t> converted_;
    std::vector<int> ints_;
    uint64_t clipped_ = 0;
    bool refused_ = false;
};
