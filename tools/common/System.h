// The few operating-system services the tools need, one implementation per build.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
// Renames from to to, replacing a file already there.
bool ReplaceFileWith(const std::string& from, const std::string& to);
bool FileExists(const std::string& path);
// Waits up to timeoutMs for a file to appear.
bool WaitForFile(const std::string& path, int timeoutMs);
bool StderrIsTerminal();
// Runs gnuplot on a script file; false when it cannot be started or fails.
bool RunGnuplot(const std::string& script, std::string* error);
// A file's name as the gnuplot that RunGnuplot starts must be given it.
std::string PathForGnuplot(const std::string& path);
// A name for a scratch file beside `near`.
std::string ScratchName(const std::string& near, const char* suffix);
