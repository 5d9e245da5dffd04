// Reading and writing on threads of their own, so that decoding the input and writing the
// output overlap with filtering instead of adding to it. Blocks pass in order through bounded
// queues: memory stays a few chunks whatever the file's length.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/resfilter/InputFile.h"
#include "tools/resfilter/OutputFile.h"

// A bounded first-in first-out queue of byte blocks between two threads.
class BlockQueue {
  public:
    explicit BlockQueue(size_t depth) : depth_(depth) {}
    // Waits while full; false once the queue is closed (the block is dropped).
    bool Push(std::vector<uint8_t>&& block);
    // Waits while empty; false once closed and drained.
    bool Pop(std::vector<uint8_t>* block);
    // No more pushes; wakes every waiter.
    void Close();

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> blocks_;
    size_t depth_;
    bool closed_ = false;
};

// Reads chunks of `frames` frames from `in`, converted to `to`, ahead of the caller.
class ReadAhead {
  public:
    ReadAhead(InputFile& in, uint32_t frames, Encoding to);
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;
    // The next chunk; empty at the end. False when the file failed (see Error) or after Stop.
    bool Next(std::vector<uint8_t>* chunk);
    // Why the file failed; read only when Next returned false without a Stop.
    const std::string& Error() const { return error_; }
    // Wakes the caller waiting in Next, which returns false, even while the thread is blocked
    // reading: a failure elsewhere need not wait for input that may never come.
    void Stop() { queue_.Close(); }

  private:
    void Run(InputFile& in, uint32_t frames, Encoding to);

    BlockQueue queue_{3};
    std::string error_;  // written before the queue closes, read after
    std::thread thread_;
};

// Appends chunks to `writer` behind the caller; `onFailure` runs on the writing thread when a
// write fails.
class WriteBehind {
  public:
    WriteBehind(OutputFile& writer, std::function<void()> onFailure);
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;
    // False once a write has failed.
    bool Append(std::vector<uint8_t>&& chunk);
    // Waits for every chunk to be written; false if any write failed.
    bool Finish();

  private:
    BlockQueue queue_{3};
    bool failed_ = false;  // written by the thread, read after it is joined
    std::thread thread_;
};
