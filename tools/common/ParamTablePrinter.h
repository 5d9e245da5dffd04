// The parameter table as a host reads it through IMediaParamInfo, printed one row per parameter.
#pragma once

#include "platform/Platform.h"

void PrintParamTable(IMediaParamInfo* info);
