// The filter's entry in the filter mapper, for the module's factory table.
#pragma once

#include "framework/InPlaceFilter.h"

extern const FilterSetup kResonantFilterSetup;
