// The filter as an editor holds it: created through COM from its registration, and driven only
// through its public interfaces. Or the DMO inside the platform's DMO Wrapper filter, reached
// through the wrapper's own QueryInterface, as a DirectShow application holds it. Or the DMO's
// class as a Media Foundation transform, its other faces reached from the transform.
#pragma once

#include "platform/Platform.h"

#include <dshow.h>
#include <mftransform.h>

#include <string>
#include <vector>

#include "include/ResonantFilterApi.h"
#include "tools/common/ToolOptions.h"

class HostFilter {
  public:
    HostFilter() = default;
    ~HostFilter();
    HostFilter(const HostFilter&) = delete;
    HostFilter& operator=(const HostFilter&) = delete;

    // CoCreateInstance and the interfaces the host uses; a message for the user on failure.
    HRESULT Create(std::string* error);
    // The wrapper after Init with the DMO; it has no direct interface.
    HRESULT CreateDmo(std::string* error);
    // The DMO's class through its IMFTransform; it is no filter and has no direct interface.
    HRESULT CreateMft(std::string* error);

    std::vector<std::string> PresetNames();
    // The options' settings, in order: stored settings, preset, values, envelopes.
    bool Apply(const ToolOptions& options, int preset, std::string* error);
    bool LoadSettings(const std::string& path, std::string* error);
    bool SaveSettings(const std::string& path, std::string* error);

    // The file of the DLL the filter's code came from, as the registration led COM to it.
    std::string ServerPath() const;

    IBaseFilter* Filter() { return filter_; }
    IMFTransform* Transform() { return transform_; }
    IFilterSettings* Settings() { return settings_; }
    IDirectProcess* Direct() { return direct_; }
    IMediaParamInfo* Info() { return info_; }

  private:
    // The faces the host uses; `what` names the object in a failure message.
    HRESULT QueryFaces(IUnknown* object, bool direct, const char* what, std::string* error);

    IBaseFilter* filter_ = nullptr;
    IMFTransform* transform_ = nullptr;
    IMediaParams* params_ = nullptr;
    IMediaParamInfo* info_ = nullptr;
    IFilterPresets* presets_ = nullptr;
    IFilterSettings* settings_ = nullptr;
    IDirectProcess* direct_ = nullptr;
    IPersistStream* persist_ = nullptr;
};

std::string HresultText(HRESULT hr);
