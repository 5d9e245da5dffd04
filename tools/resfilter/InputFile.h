// Any file libsndfile reads, as samples of the encoding it holds.
#pragma once

#include <string>

#include "tools/common/WavFile.h"

// Integer PCM keeps its exact values (8, 16, 24 and 32 bits); float files stay float;
// compressed encodings come out as 16-bit PCM when their source was at most 16-bit integer
// audio, and as 32-bit float otherwise.
bool ReadInputFile(const std::string& path, AudioData* audio, std::string* error);
