// WAV files in and out, without any library, so the Windows host and the native tool read and
// write exactly the same bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/common/AudioFormat.h"

struct AudioData {
    Encoding encoding = Encoding::Pcm16;
    WORD channels = 0;
    DWORD rate = 0;
    // What an extensible format record adds: the PCM bits that carry the signal (0: the whole
    // container) and the speakers (0: none named). Kept so the output says what the input said.
    WORD validBits = 0;
    DWORD channelMask = 0;
    bool extensible = false;
    std::vector<uint8_t> bytes;  // interleaved little-endian samples, whole frames

    size_t FrameBytes() const { return channels * BytesPerSample(encoding); }
    size_t Frames() const { return FrameBytes() ? bytes.size() / FrameBytes() : 0; }
};

// Where a WAV file's samples are: whole frames from dataOffset on.
struct WavLayout {
    uint64_t dataOffset = 0;
    uint64_t frames = 0;         // those the file holds
    uint64_t claimedFrames = 0;  // those its data chunk's size claims; 0 when it claims none
};

// Whether a data chunk's size is one that writers which cannot seek back leave in the header
// (0, or whole frames just under 2 GiB less a page, or under 4 GiB): no claim about the length.
bool IsStreamedDataSize(uint64_t bytes, uint64_t frameBytes);

// The format and sample layout of a WAV file as ReadWavFile takes it, reading only the chunk
// headers and the format: for a file that goes to the graph as it is.
bool ReadWavLayout(const std::string& path, AudioData* format, WavLayout* layout,
                   std::string* error);

// Why a WAV file holding an S/PDIF bitstream is refused: the reason ReadWavLayout gives.
extern const char kBitstreamRefusal[];

// Reads a RIFF WAVE file of PCM (8, 16, 24, 32 bits, 16 up to the container valid in 24 and 32) or
// IEEE float (32, 64 bits), 1 to 32 channels, plain or extensible with any channel mask: the
// formats the filter takes. S/PDIF bitstreams and other tags are refused. On failure returns false
// with a one-line reason in *error.
bool ReadWavFile(const std::string& path, AudioData* audio, std::string* error);

// Converts audio to another encoding through DecodeSamples and EncodeSamples.
AudioData ConvertAudio(const AudioData& audio, Encoding to);

// Converts `count` samples as ConvertAudio does, returning how many the conversion clipped: values
// beyond an integer's range (or its `validBits`, when fewer), or beyond a 32-bit float's.
size_t ConvertSamples(Encoding from, Encoding to, const uint8_t* in, size_t count,
                      std::vector<uint8_t>* out, int validBits = 0);

// Whether `dataBytes` of `stored` samples fit a plain WAV file: its 32-bit RIFF size holds the
// header's chunks and the pad byte as well as the samples. A longer file has to be RF64.
bool FitsPlainWav(Encoding stored, uint64_t dataBytes, bool extensible = false);

// Moves to a byte position with 64-bit offsets, in both widths' builds.
bool SeekTo(std::FILE* f, uint64_t at);

// How a file's format record is written: extensible when the input's was, or when the platform
// asks for one (more than 2 channels, or PCM of more than 16 bits), with the input's channel mask
// and valid bits; plain otherwise. The valid bits hold only while the samples keep the input's
// container; a conversion to other samples writes them whole.
struct WavShape {
    bool extensible = false;
    DWORD channelMask = 0;
    WORD validBits = 0;  // 0: the container's
};
WavShape ShapeFor(const AudioData& input, Encoding stored);

// Writes a WAV file of a stream encoding under a temporary name and gives it its real name only
// when Commit succeeds, so a failed run never leaves a half-written file behind.
class WavWriter {
  public:
    WavWriter() = default;
    ~WavWriter() { Abandon(); }
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Appended samples are in `encoding`; the file holds them in `stored`, 24-bit PCM included.
    // With fewer valid bits than the container, the samples written are rounded to them and
    // their unused low bits are zero, as the format record promises.
    bool Open(const std::string& path, Encoding encoding, WORD channels, DWORD rate,
              Encoding stored, const WavShape& shape = WavShape());
    bool Open(const std::string& path, Encoding encoding, WORD channels, DWORD rate) {
        return Open(path, encoding, channels, rate, encoding);
    }
    // Writes front to back into `stream` (a pipe), which stays open: the header's sizes cannot
    // be known, so they say "as long as can be" as other streaming writers do, and readers of
    // pipes read to the end.
    bool OpenStream(std::FILE* stream, Encoding encoding, WORD channels, DWORD rate,
                    Encoding stored, const WavShape& shape = WavShape());
    bool Append(const void* data, size_t bytes);
    // Completes the header and renames the file into place; a stream is flushed.
    bool Commit();
    // Removes the temporary file; nothing is left at the real name.
    void Abandon();
    uint64_t DataBytes() const { return dataBytes_; }
    // Samples the conversion to the stored encoding clipped.
    uint64_t Clipped() const { return clipped_; }
    // Why the last Open, Append or Commit failed.
    const std::string& Error() const { return error_; }

  private:
    void Reset(Encoding encoding, WORD channels, DWORD rate, Encoding stored,
               const WavShape& shape);
    bool Extensible() const;
    bool WriteHeader(uint64_t dataBytes);
    bool Fail(const std::string& why);

    std::FILE* file_ = nullptr;
    std::string path_, temporary_;
    Encoding encoding_ = Encoding::Pcm16, stored_ = Encoding::Pcm16;
    WavShape shape_;
    std::vector<uint8_t> converted_;
    uint64_t clipped_ = 0;
    WORD channels_ = 0;
    DWORD rate_ = 0;
    uint64_t dataBytes_ = 0;
    bool failed_ = false;
    bool streaming_ = false;
    std::string error_;
};

// Writes a whole file at once, in the shape its format asks for.
bool WriteWavFile(const std::string& path, const AudioData& audio);
