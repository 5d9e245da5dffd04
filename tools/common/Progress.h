// A progress line on stderr for long runs, shown only when stderr is a terminal.
#pragma once

#include <chrono>
#include <cstdint>

class Progress {
  public:
    Progress(const char* tool, bool wanted, uint64_t total);
    void Update(uint64_t done);
    void Finish();

  private:
    const char* tool_;
    bool shown_;
    uint64_t total_;
    std::chrono::steady_clock::time_point last_;
    bool drawn_ = false;
};
