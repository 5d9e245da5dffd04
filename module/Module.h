// What the module's entry points share: the factory table and the module instance.
#pragma once

#include "framework/ClassFactory.h"

// Row 0 the filter, row 1 its property page; registration walks them in this order.
extern const FactoryEntry kFactories[];
extern const size_t kFactoryCount;

// The DLL's own instance, recorded at process attach; null before and after.
HINSTANCE ModuleInstance();
