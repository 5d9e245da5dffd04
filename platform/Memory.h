// Heap and task-allocator access for the core. The module's own blocks are zero-filled; blocks
// handed to callers come from the COM task allocator.
#pragma once

#include <cstddef>

namespace platform {

void* AllocZeroed(size_t bytes);
// Grows or shrinks a block from AllocZeroed; null on failure, leaving the old block intact.
void* Reallocate(void* block, size_t bytes);
void Free(void* block);

void* TaskAlloc(size_t bytes);
void TaskFree(void* block);

// Fault injection for tests: the allocation after the next `count` succeeds fails once
// (count 0 makes the very next one fail). Negative disarms it.
void FailAllocationAfter(int count);

}  // namespace platform
