// Prints the parameter table the way a host reads it: through IMediaParamInfo only.
#include <cstdio>
#include <string>

#include "params/MediaParamStore.h"

namespace {

// A stand-in for the filter object that owns the store's faces.
class Owner : public IUnknown {
  public:
    Owner() : store(this, &result) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        return store.QueryFace(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT result = E_FAIL;
    MediaParamStore store;
};

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

}  // namespace

int main() {
    Owner owner;
    if (FAILED(owner.result)) {
        std::fprintf(stderr, "rf-paraminfo: the parameter store could not be created\n");
        return 1;
    }
    IMediaParamInfo* info = nullptr;
    if (FAILED(owner.QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(&info)))) {
        std::fprintf(stderr, "rf-paraminfo: no IMediaParamInfo\n");
        return 1;
    }
    DWORD count = 0;
    info->GetParamCount(&count);
    std::printf("%-5s %-13s %-4s %-5s %-4s %8s %8s %8s  %s\n", "index", "label", "unit", "type",
                "caps", "min", "max", "neutral", "values");
    for (DWORD i = 0; i < count; ++i) {
        MP_PARAMINFO p;
        if (FAILED(info->GetParamInfo(i, &p))) continue;
        std::printf("%-5u %-13s %-4s %-5s 0x%-2X %8g %8g %8g  %s\n", unsigned(i),
                    Narrow(p.szLabel).c_str(), Narrow(p.szUnitText).c_str(), TypeName(p.mpType),
                    unsigned(p.mopCaps), double(p.mpdMinValue), double(p.mpdMaxValue),
                    double(p.mpdNeutralValue), ValueNames(info, i).c_str());
    }
    info->Release();
    return 0;
}
