#include "tools/host/HostFilter.h"

#include <dmodshow.h>
#include <dmoreg.h>

#include <cstdio>

#include "tools/common/System.h"

namespace {

template <class T>
void SafeRelease(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

template <class T>
HRESULT Face(IUnknown* object, REFIID iid, T** out) {
    return object->QueryInterface(iid, reinterpret_cast<void**>(out));
}

}  // namespace

std::string HresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

HostFilter::~HostFilter() {
    SafeRelease(persist_);
    SafeRelease(direct_);
    SafeRelease(settings_);
    SafeRelease(presets_);
    SafeRelease(info_);
    SafeRelease(params_);
    SafeRelease(filter_);
    SafeRelease(transform_);
}

HRESULT HostFilter::Create(std::string* error) {
    HRESULT hr = CoCreateInstance(CLSID_ResonantFilter, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IBaseFilter, reinterpret_cast<void**>(&filter_));
    if (hr == REGDB_E_CLASSNOTREG) {
        *error = "the filter is not registered: run regsvr32 ResonantFilter.dll first";
        return hr;
    }
    if (FAILED(hr)) {
        *error = "cannot create the filter (" + HresultText(hr) + ")";
        return hr;
    }
    return QueryFaces(filter_, true, "the filter", error);
}

HRESULT HostFilter::CreateDmo(std::string* error) {
    HRESULT hr = CoCreateInstance(CLSID_DMOWrapperFilter, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IBaseFilter, reinterpret_cast<void**>(&filter_));
    if (FAILED(hr)) {
        *error = "cannot create the DMO Wrapper filter (" + HresultText(hr) + ")";
        return hr;
    }
    IDMOWrapperFilter* wrapper = nullptr;
    hr = Face(filter_, IID_IDMOWrapperFilter, &wrapper);
    if (SUCCEEDED(hr)) hr = wrapper->Init(CLSID_ResonantFilterDmo, DMOCATEGORY_AUDIO_EFFECT);
    SafeRelease(wrapper);
    if (hr == REGDB_E_CLASSNOTREG) {
        *error = "the DMO is not registered: run regsvr32 ResonantFilter.dll first";
        return hr;
    }
    if (FAILED(hr)) {
        *error = "the DMO Wrapper filter cannot load the DMO (" + HresultText(hr) + ")";
        return hr;
    }
    return QueryFaces(filter_, false, "the DMO", error);
}

HRESULT HostFilter::CreateMft(std::string* error) {
    HRESULT hr = CoCreateInstance(CLSID_ResonantFilterDmo, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IMFTransform, reinterpret_cast<void**>(&transform_));
    if (hr == REGDB_E_CLASSNOTREG) {
        *error = "the MFT is not registered: run regsvr32 ResonantFilter.dll first";
        return hr;
    }
    if (FAILED(hr)) {
        *error = "cannot create the MFT (" + HresultText(hr) + ")";
        return hr;
    }
    return QueryFaces(transform_, false, "the MFT", error);
}

HRESULT HostFilter::QueryFaces(IUnknown* object, bool direct, const char* what,
                               std::string* error) {
    HRESULT hr = Face(object, IID_IMediaParams, &params_);
    if (SUCCEEDED(hr)) hr = Face(object, IID_IMediaParamInfo, &info_);
    if (SUCCEEDED(hr)) hr = Face(object, IID_IFilterPresets, &presets_);
    if (SUCCEEDED(hr)) hr = Face(object, IID_IFilterSettings, &settings_);
    if (SUCCEEDED(hr) && direct) hr = Face(object, IID_IDirectProcess, &direct_);
    if (SUCCEEDED(hr)) hr = Face(object, IID_IPersistStream, &persist_);
    if (FAILED(hr)) *error = std::string("cannot create ") + what + " (" + HresultText(hr) + ")";
    return hr;
}

std::string HostFilter::ServerPath() const {
    // The module holding the object's interface table is the server that made it. The parameter
    // face, since in the wrapper only the aggregated DMO is ours.
    HMODULE module = nullptr;
    WCHAR wide[MAX_PATH] = {};
    char path[3 * MAX_PATH] = {};
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            *reinterpret_cast<LPCWSTR*>(params_), &module) ||
        GetModuleFileNameW(module, wide, MAX_PATH) == 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, path, sizeof path, nullptr, nullptr) == 0)
        return "?";
    return path;
}

std::vector<std::string> HostFilter::PresetNames() {
    std::vector<std::string> names;
    LONG count = 0;
    presets_->GetPresetCount(&count);
    for (LONG i = 0; i < count; ++i) {
        WCHAR name[128] = {};
        presets_->GetPresetName(i, name, 128);
        std::string narrow;
        for (const WCHAR* c = name; *c; ++c)
            narrow += *c < 128 ? char(*c) : '?';
        names.push_back(narrow);
    }
    return names;
}

bool HostFilter::Apply(const ToolOptions& o, int preset, std::string* error) {
    if (!o.loadSettings.empty() && !LoadSettings(o.loadSettings, error)) return false;
    HRESULT hr = preset >= 0 ? presets_->ApplyPreset(preset) : S_OK;
    for (DWORD i = 0; SUCCEEDED(hr) && i < kParamCount; ++i)
        if (o.hasValue[i]) hr = params_->SetParam(i, o.value[i]);
    if (FAILED(hr)) {
        *error = "the filter refused a setting (" + HresultText(hr) + ")";
        return false;
    }
    for (const EnvelopeOption& e : o.envelopes) {
        MP_ENVELOPE_SEGMENT segment = e.segment;
        hr = params_->AddEnvelope(e.param, 1, &segment);
        if (FAILED(hr)) {
            *error = "an envelope was refused (" + HresultText(hr) + ")";
            return false;
        }
    }
    return true;
}

bool HostFilter::LoadSettings(const std::string& path, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, &bytes, error)) {
        *error = path + ": " + *error;
        return false;
    }
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(hr)) hr = stream->Write(bytes.data(), ULONG(bytes.size()), nullptr);
    const LARGE_INTEGER zero{};
    if (SUCCEEDED(hr)) hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr)) hr = persist_->Load(stream);
    SafeRelease(stream);
    if (FAILED(hr))
        *error = path + ": not a settings record of this filter (" + HresultText(hr) + ")";
    return SUCCEEDED(hr);
}

bool HostFilter::SaveSettings(const std::string& path, std::string* error) {
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(hr)) hr = persist_->Save(stream, TRUE);
    HGLOBAL memory = nullptr;
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream, &memory);
    STATSTG stat{};
    if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
    bool written = false;
    if (SUCCEEDED(hr)) {
        const void* data = GlobalLock(memory);
        const std::string temporary = path + ".partial";
        std::FILE* f = std::fopen(temporary.c_str(), "wb");
        const size_t size = size_t(stat.cbSize.QuadPart);
        written = f != nullptr && std::fwrite(data, 1, size, f) == size;
        if (f != nullptr) written = std::fclose(f) == 0 && written;
        written = written && ReplaceFileWith(temporary, path);
        if (!written) std::remove(temporary.c_str());
        GlobalUnlock(memory);
    }
    SafeRelease(stream);
    if (FAILED(hr))
        *error = "the filter could not save its settings (" + HresultText(hr) + ")";
    else if (!written)
        *error = path + ": cannot be written";
    return SUCCEEDED(hr) && written;
}
