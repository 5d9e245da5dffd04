#include "Memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "Platform.h"

namespace platform {
namespace {

std::atomic<int> failCountdown{-1};

// True when an injected failure is due now.
bool InjectedFailure() {
    int current = failCountdown.load(std::memory_order_relaxed);
    while (current >= 0) {
        if (failCountdown.compare_exchange_weak(current, current - 1)) return current == 0;
    }
    return false;
}

}  // namespace

void FailAllocationAfter(int count) {
    failCountdown.store(count < 0 ? -1 : count);
}

#ifdef _WIN32
void* AllocZeroed(size_t bytes) {
    if (InjectedFailure()) return nullptr;
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes ? bytes : 1);
}
void* Reallocate(void* block, size_t bytes) {
    if (InjectedFailure()) return nullptr;
    if (!block) return AllocZeroed(bytes);
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, bytes ? bytes : 1);
}
void Free(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}
void* TaskAlloc(size_t bytes) {
    return InjectedFailure() ? nullptr : CoTaskMemAlloc(bytes);
}
void TaskFree(void* block) {
    CoTaskMemFree(block);
}
#else
void* AllocZeroed(size_t bytes) {
    if (InjectedFailure()) return nullptr;
    return std::calloc(1, bytes ? bytes : 1);
}
void* Reallocate(void* block, size_t bytes) {
    if (InjectedFailure()) return nullptr;
    return std::realloc(block, bytes ? bytes : 1);
}
void Free(void* block) {
    std::free(block);
}
void* TaskAlloc(size_t bytes) {
    return InjectedFailure() ? nullptr : CoTaskMemAlloc(bytes);
}
void TaskFree(void* block) {
    CoTaskMemFree(block);
}
#endif

}  // namespace platform

#ifndef _WIN32
void* CoTaskMemAlloc(SIZE_T bytes) {
    return std::malloc(bytes ? bytes : 1);
}
void CoTaskMemFree(void* block) {
    std::free(block);
}
#endif
