#include "tools/resfilter/Pipeline.h"

bool BlockQueue::Push(std::vector<uint8_t>&& block) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return closed_ || blocks_.size() < depth_; });
    if (closed_) return false;
    blocks_.push_back(std::move(block));
    changed_.notify_all();
    return true;
}

bool BlockQueue::Pop(std::vector<uint8_t>* block) {
    std::unique_lock<std::mutex> hold(mutex_);
    changed_.wait(hold, [this] { return closed_ || !blocks_.empty(); });
    if (blocks_.empty()) return false;
    *block = std::move(blocks_.front());
    blocks_.pop_front();
    changed_.notify_all();
    return true;
}

void BlockQueue::Close() {
    std::lock_guard<std::mutex> hold(mutex_);
    closed_ = true;
    changed_.notify_all();
}

ReadAhead::ReadAhead(InputFile& in, uint32_t frames, Encoding to)
    : thread_([this, &in, frames, to] { Run(in, frames, to); }) {}

ReadAhead::~ReadAhead() {
    queue_.Close();  // a reader waiting for room gives up
    thread_.join();
}

void ReadAhead::Run(InputFile& in, uint32_t frames, Encoding to) {
    for (;;) {
        std::vector<uint8_t> chunk;
        if (!in.Read(frames, to, &chunk, &error_)) break;
        const bool end = chunk.empty();
        if (!queue_.Push(std::move(chunk)) || end) break;
    }
    queue_.Close();
}

bool ReadAhead::Next(std::vector<uint8_t>* chunk) {
    // Closed and drained: the end was queued as an empty chunk, so this is a failure or a Stop.
    return queue_.Pop(chunk);
}

WriteBehind::WriteBehind(OutputFile& writer, std::function<void()> onFailure)
    : thread_([this, &writer, onFailure] {
          std::vector<uint8_t> chunk;
          while (queue_.Pop(&chunk)) {
              if (!failed_ && !writer.Append(chunk.data(), chunk.size())) {
                  failed_ = true;
                  queue_.Close();  // the caller learns at its next Append
                  onFailure();
              }
          }
      }) {}

WriteBehind::~WriteBehind() {
    Finish();
}

bool WriteBehind::Append(std::vector<uint8_t>&& chunk) {
    return queue_.Push(std::move(chunk));
}

bool WriteBehind::Finish() {
    queue_.Close();
    if (thread_.joinable()) thread_.join();
    return !failed_;
}
