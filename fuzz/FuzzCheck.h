// What every fuzz target shares: an invariant check that names what failed before it stops, and
// a reader that turns the input into values without ever running past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// libFuzzer keeps the input that trapped; the message says which invariant it broke.
inline void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant failed: %s\n", what);
    std::fflush(stderr);
    __builtin_trap();
}

class FuzzReader {
  public:
    FuzzReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return pos_ >= size_; }
    size_t Left() const { return size_ - pos_; }
    const uint8_t* Here() const { return data_ + pos_; }
    void Skip(size_t n) { pos_ += n < Left() ? n : Left(); }
    // Past the end the missing bytes read as zero.
    template <typename T>
    T Take() {
        T value{};
        const size_t n = sizeof(T) < Left() ? sizeof(T) : Left();
        std::memcpy(&value, data_ + pos_, n);
        pos_ += n;
        return value;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};
