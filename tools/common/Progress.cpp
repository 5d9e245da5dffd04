#include "tools/common/Progress.h"

#include <cstdio>

#include "tools/common/System.h"

Progress::Progress(const char* tool, bool wanted, uint64_t total)
    : tool_(tool),
      shown_(wanted && StderrIsTerminal()),
      total_(total),
      last_(std::chrono::steady_clock::now()) {}

void Progress::Update(uint64_t done) {
    if (!shown_ || total_ == 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(250)) return;
    last_ = now;
    std::fprintf(stderr, "\r%s: %3u %%", tool_, unsigned(done * 100 / total_));
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::Finish() {
    if (drawn_) std::fprintf(stderr, "\r%s: 100 %%\n", tool_);
    drawn_ = false;
}
