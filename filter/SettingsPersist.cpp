// IPersistStream: the six settings as one fixed record in the host's project stream.
#include "SettingsFaces.h"

#include "params/SettingsRecord.h"

namespace {

// A stream may deliver fewer bytes than asked and still answer success; that is a failure
// here, so a half-read record never replaces the settings.
HRESULT ReadExactly(IStream* stream, BYTE* into, ULONG size) {
    ULONG got = 0;
    const HRESULT hr = stream->Read(into, size, &got);
    if (FAILED(hr)) return hr;
    return got == size ? hr : E_FAIL;
}

// Likewise a short write: the host must not believe the project holds the settings.
HRESULT WriteExactly(IStream* stream, const BYTE* from, ULONG size) {
    ULONG put = 0;
    const HRESULT hr = stream->Write(from, size, &put);
    if (FAILED(hr)) return hr;
    return put == size ? hr : STG_E_MEDIUMFULL;
}

}  // namespace

STDMETHODIMP SettingsFaces::IsDirty() {
    return settingsDirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP SettingsFaces::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    BYTE header[kSettingsHeaderBytes];
    HRESULT hr = ReadExactly(stream, header, kSettingsHeaderBytes);
    if (FAILED(hr)) return hr;
    SettingsHeader layout;
    if (FAILED(ParseSettingsHeader(header, &layout))) return E_FAIL;

    BYTE bytes[kSettingsValueBytesMax];
    hr = ReadExactly(stream, bytes, layout.valueBytes);
    if (SUCCEEDED(hr)) {
        MP_DATA values[kParamCount];
        DecodeSettingsValues(layout, bytes, values);
        SetAllParams(values);
    }
    // Also after a failed value read, so an open page shows what the filter really holds.
    NotifyWindows(100);
    return hr;
}

STDMETHODIMP SettingsFaces::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    // Cleared before the values are read, so a change made while writing leaves the filter
    // dirty instead of being forgotten.
    const bool wasDirty = settingsDirty_.exchange(false);
    MP_DATA values[kParamCount];
    dsp_.Store().GetAllParams(values);
    BYTE record[kSettingsRecordBytes];
    EncodeSettingsRecord(values, record);

    HRESULT hr = WriteExactly(stream, record, kSettingsHeaderBytes);
    if (SUCCEEDED(hr)) {
        hr = WriteExactly(stream, record + kSettingsHeaderBytes,
                          kSettingsRecordBytes - kSettingsHeaderBytes);
    }
    if (FAILED(hr)) {
        if (wasDirty) settingsDirty_ = true;
        return hr;
    }
    if (!clearDirty) settingsDirty_ = true;
    return S_OK;
}

STDMETHODIMP SettingsFaces::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = kSettingsRecordBytes;
    return S_OK;
}
