#include "ParamTablePrinter.h"

#include <cstdio>
#include <string>

namespace {

std::string Narrow(const WCHAR* text) {
    std::string s;
    for (; *text; ++text)
        s += *text < 128 ? char(*text) : '?';
    return s;
}

const char* TypeName(MP_TYPE type) {
    switch (type) {
        case MPT_INT:
            return "int";
        case MPT_FLOAT:
            return "float";
        case MPT_BOOL:
            return "bool";
        case MPT_ENUM:
            return "enum";
        default:
            return "?";
    }
}

// The value names that follow the label and unit in a parameter's text block.
std::string ValueNames(IMediaParamInfo* info, DWORD index) {
    WCHAR* text = nullptr;
    if (FAILED(info->GetParamText(index, &text))) return "(no text)";
    const WCHAR* p = text;
    for (int skip = 0; skip < 2; ++skip) {
        while (*p)
            ++p;
        ++p;
    }
    std::string names;
    for (; *p; p += std::char_traits<WCHAR>::length(p) + 1) {
        if (!names.empty()) names += ", ";
        names += Narrow(p);
    }
    CoTaskMemFree(text);
    return names;
}

std::string Number(MP_DATA value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", double(value));
    return text;
}

}  // namespace

void PrintParamTable(IMediaParamInfo* info) {
    DWORD count = 0;
    info->GetParamCount(&count);
    std::printf("%-5s %-13s %-4s %-5s %-4s %8s %8s %8s  %s\n", "index", "label", "unit", "type",
                "caps", "min", "max", "neutral", "values");
    for (DWORD i = 0; i < count; ++i) {
        MP_PARAMINFO p;
        if (FAILED(info->GetParamInfo(i, &p))) continue;
        std::printf("%-5u %-13s %-4s %-5s 0x%-2X %8s %8s %8s  %s\n", unsigned(i),
                    Narrow(p.szLabel).c_str(), Narrow(p.szUnitText).c_str(), TypeName(p.mpType),
                    unsigned(p.mopCaps), Number(p.mpdMinValue).c_str(),
                    Number(p.mpdMaxValue).c_str(), Number(p.mpdNeutralValue).c_str(),
                    ValueNames(info, i).c_str());
    }
}
