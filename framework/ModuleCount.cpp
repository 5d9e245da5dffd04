#include "framework/ModuleCount.h"

namespace {
LONG objects = 0;
LONG locks = 0;
}  // namespace

void ModuleObjectCreated() {
    InterlockedIncrement(&objects);
}
void ModuleObjectDestroyed() {
    InterlockedDecrement(&objects);
}
LONG ModuleObjectCount() {
    return InterlockedCompareExchange(&objects, 0, 0);
}

void ModuleLockServer(bool lock) {
    if (lock) {
        InterlockedIncrement(&locks);
    } else {
        InterlockedDecrement(&locks);
    }
}

LONG ModuleLockCount() {
    return InterlockedCompareExchange(&locks, 0, 0);
}

bool ModuleCanUnload() {
    return ModuleObjectCount() == 0 && ModuleLockCount() == 0;
}
