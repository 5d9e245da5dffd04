#include "tools/resfilter/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/common/System.h"

namespace {

struct FileType {
    const char* name;
    int major;
    bool pipe;  // writes front to back, never seeking back to a header
};

constexpr FileType kTypes[] = {
    {"wav", SF_FORMAT_WAV, true},    {"w64", SF_FORMAT_W64, false}, {"rf64", SF_FORMAT_RF64, false},
    {"aiff", SF_FORMAT_AIFF, false}, {"caf", SF_FORMAT_CAF, false}, {"flac", SF_FORMAT_FLAC, true},
    {"au", SF_FORMAT_AU, true},
};

int SubFormat(Encoding stored, SampleKind kind, int major) {
    switch (stored) {
        case Encoding::Pcm8:
            if (kind == SampleKind::AsInput)  // the container's own 8-bit kind
                return major == SF_FORMAT_WAV || major == SF_FORMAT_W64 || major == SF_FORMAT_RF64
                           ? SF_FORMAT_PCM_U8
                           : SF_FORMAT_PCM_S8;
            return kind == SampleKind::Unsigned ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_S8;
        case Encoding::Pcm16:
            return SF_FORMAT_PCM_16;
        case Encoding::Pcm24:
            return SF_FORMAT_PCM_24;
        case Encoding::Pcm32:
            return SF_FORMAT_PCM_32;
        case Encoding::Float32:
            return SF_FORMAT_FLOAT;
        default:
            return SF_FORMAT_DOUBLE;
    }
}

const char* KindText(int subformat) {
    switch (subformat) {
        case SF_FORMAT_PCM_U8:
            return "unsigned 8-bit";
        case SF_FORMAT_PCM_S8:
            return "signed 8-bit";
        case SF_FORMAT_PCM_16:
            return "16-bit";
        case SF_FORMAT_PCM_24:
            return "24-bit";
        case SF_FORMAT_PCM_32:
            return "32-bit integer";
        case SF_FORMAT_FLOAT:
            return "32-bit float";
        default:
            return "64-bit float";
    }
}

// The system's reason when there is one (libsndfile names some write failures after its
// decoder), else libsndfile's, without its closing full stop, to go inside a longer line.
std::string LibraryError(SNDFILE* file) {
    if (errno != 0) return std::strerror(errno);
    std::string text = sf_strerror(file);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

bool PlanOutput(const ToolOptions& o, const AudioData& input, const AudioData& stream,
                uint64_t frames, OutputPlan* plan, std::string* error) {
    plan->toStdout = o.output == "-";
    plan->type = o.fileType;
    if (plan->type.empty() && !plan->toStdout) plan->type = FileExtension(o.output);
    if (plan->type.empty()) plan->type = "wav";
    const FileType* type = nullptr;
    for (const FileType& t : kTypes)
        if (plan->type == t.name) type = &t;
    if (type == nullptr) {
        *error = o.output + ": cannot write ." + plan->type +
                 " files (wav, w64, rf64, flac, aiff, caf or au)";
        return false;
    }
    if (plan->toStdout && !type->pipe) {
        *error =
            "- cannot take " + plan->type + ", which seeks back to its header: use wav, flac or au";
        return false;
    }
    plan->stored = StoredEncodingFor(o, input.encoding);
    plan->shape = ShapeFor(input, plan->stored);
    const int sub = SubFormat(plan->stored, o.kind, type->major);
    plan->format = type->major | sub;
    SF_INFO info{};
    info.format = plan->format;
    info.channels = stream.channels;
    info.samplerate = int(stream.rate);
    if (!sf_format_check(&info)) {
        *error = o.output + ": " + plan->type + " cannot hold " + KindText(sub) +
                 " samples (choose others with --bits and --encoding)";
        return false;
    }
    const uint64_t bytes = frames * stream.channels * BytesPerSample(plan->stored);
    // A pipe takes WAV with the sizes left open, as other streaming writers send it.
    plan->wavWriter = type->major == SF_FORMAT_WAV &&
                      (plan->toStdout ||
                       (frames != 0 && FitsPlainWav(plan->stored, bytes, plan->shape.extensible)));
    // Past 4 GiB, or of a length not known in advance, WAV is written as RF64, which libsndfile
    // turns back into plain WAV at the end if it fits after all.
    if (type->major == SF_FORMAT_WAV && !plan->wavWriter) plan->format = SF_FORMAT_RF64 | sub;
    return true;
}

bool OutputFile::Open(const std::string& path, const OutputPlan& plan, const AudioData& stream) {
    Abandon();
    plan_ = plan;
    stream_ = stream.encoding;
    clipped_ = 0;
    error_.clear();
    refused_ = false;
    if (!plan.toStdout) {
        // A place that takes no file at all is a bad OUTPUT; any failure after this is a write's.
        std::FILE* probe = std::fopen((path + ".partial").c_str(), "wb");
        if (probe == nullptr) {
            error_ = std::strerror(errno);
            refused_ = true;
            return false;
        }
        std::fclose(probe);
    }
    if (plan.wavWriter) {
        const bool ok = plan.toStdout ? wav_.OpenStream(stdout, stream.encoding, stream.channels,
                                                        stream.rate, plan.stored, plan.shape)
                                      : wav_.Open(path, stream.encoding, stream.channels,
                                                  stream.rate, plan.stored, plan.shape);
        if (!ok) error_ = wav_.Error();
        return ok;
    }
    SF_INFO info{};
    info.format = plan.format;
    info.channels = stream.channels;
    info.samplerate = int(stream.rate);
    path_ = path;
    temporary_ = plan.toStdout ? path : path + ".partial";
    errno = 0;
    file_ = sf_open(temporary_.c_str(), SFM_WRITE, &info);
    if (file_ == nullptr) {
        error_ = LibraryError(nullptr);
        // Some types write their header at open, and a failed open may leave the file.
        if (!plan.toStdout) std::remove(temporary_.c_str());
        temporary_.clear();
        return false;
    }
    if ((plan.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64)
        sf_command(file_, SFC_RF64_AUTO_DOWNGRADE, nullptr, plan.type == "wav");
    return true;
}

bool OutputFile::Append(const uint8_t* data, size_t bytes) {
    if (plan_.wavWriter) {
        if (wav_.Append(data, bytes)) return true;
        error_ = wav_.Error();
        return false;
    }
    if (file_ == nullptr) return false;
    size_t count = bytes / BytesPerSample(stream_);
    if (plan_.stored != stream_) {
        clipped_ += ConvertSamples(stream_, plan_.stored, data, count, &converted_);
        data = converted_.data();
    }
    sf_count_t written = 0;
    errno = 0;
    if (plan_.stored == Encoding::Float32 || plan_.stored == Encoding::Float64) {
        // Little-endian floats, as the stream holds them, in a vector's own (aligned) storage;
        // libsndfile does not scale float to float.
        written =
            plan_.stored == Encoding::Float32
                ? sf_write_float(file_, reinterpret_cast<const float*>(data), sf_count_t(count))
                : sf_write_double(file_, reinterpret_cast<const double*>(data), sf_count_t(count));
    } else {
        // Integers at the top of an int, which libsndfile shifts down to the file's width exactly.
        const size_t width = BytesPerSample(plan_.stored);
        ints_.resize(count);
        for (size_t i = 0; i < count; ++i, data += width) {
            uint32_t u = 0;
            for (size_t b = 0; b < width; ++b)
                u |= uint32_t(data[b]) << (8 * (4 - width + b));
            if (width == 1) u ^= 0x80000000u;  // 8-bit PCM is offset binary
            ints_[i] = int(u);
        }
        written = sf_write_int(file_, ints_.data(), sf_count_t(count));
    }
    if (written == sf_count_t(count)) return true;
    error_ = LibraryError(file_);
    return false;
}

bool OutputFile::Commit() {
    if (plan_.wavWriter) {
        if (wav_.Commit()) return true;
        error_ = wav_.Error();
        return false;
    }
    if (file_ == nullptr) return false;
    errno = 0;
    bool ok = sf_error(file_) == SF_ERR_NO_ERROR;
    if (!ok) error_ = LibraryError(file_);
    const int closed = sf_close(file_);
    if (closed != 0 && ok) {
        ok = false;
        error_ = errno != 0 ? std::strerror(errno) : sf_error_number(closed);
    }
    file_ = nullptr;
    if (!plan_.toStdout) {
        if (ok && !ReplaceFileWith(temporary_, path_)) {
            ok = false;
            error_ = "cannot be renamed into place";
        }
        if (!ok) std::remove(temporary_.c_str());
    }
    temporary_.clear();
    return ok;
}

void OutputFile::Abandon() {
    wav_.Abandon();
    if (file_ != nullptr) sf_close(file_);
    file_ = nullptr;
    if (!temporary_.empty() && !plan_.toStdout) std::remove(temporary_.c_str());
    temporary_.clear();
}
