// Module-wide counts that DllCanUnloadNow reads: live COM objects and LockServer locks.
#pragma once

#include "platform/Platform.h"

// Every COM object the module hands out calls these from its constructor and destructor.
void ModuleObjectCreated();
void ModuleObjectDestroyed();

// Counts its owner from construction until it is wholly gone: as an object's first member it is
// destroyed last, after every other member, so the module is never unloaded under a destructor.
class ModuleObjectToken {
  public:
    ModuleObjectToken() { ModuleObjectCreated(); }
    ~ModuleObjectToken() { ModuleObjectDestroyed(); }
    ModuleObjectToken(const ModuleObjectToken&) = delete;
    ModuleObjectToken& operator=(const ModuleObjectToken&) = delete;
};

// Live objects (filters, enumerators, class factories) made by this module.
LONG ModuleObjectCount();

// IClassFactory::LockServer's lock count.
void ModuleLockServer(bool lock);
LONG ModuleLockCount();

// True when neither an object nor a lock keeps the module loaded.
bool ModuleCanUnload();
