// The values inside the tools' options: numbers, the parameters' value words and envelopes.
#pragma once

#include <string>
#include <vector>

#include "tools/common/ToolOptions.h"

// A whole string as a finite number.
bool ParseNumber(const std::string& text, double* out);
// "a, b or c".
std::string ListText(const std::vector<std::string>& words);
// A word of the parameter's (low|band|high, 2|4, on|off), or a number in its range; `what`
// names the value in the reason for a refusal.
bool ParseValue(DWORD index, const std::string& text, const std::string& what, MP_DATA* out,
                std::string* error);
// PARAM:START:END:FROM:TO[:CURVE].
bool ParseEnvelope(const std::string& text, EnvelopeOption* e, std::string* error);
