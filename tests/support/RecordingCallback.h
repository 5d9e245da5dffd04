// A host UI callback that records every call, and can run a hook from inside each one.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

class RecordingCallback : public IMediaParamsUICallback {
  public:
    struct Call {
        char kind;  // 'B' begin capture, 'C' changed, 'E' end capture
        DWORD count;
        DWORD index;
        MP_DATA value;
    };

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMediaParamsUICallback)) {
            *object = this;
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }

    HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD* indices, DWORD count) override {
        return Record('B', indices, count, nullptr);
    }
    HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD* indices, DWORD count, MP_DATA* values) override {
        return Record('C', indices, count, values);
    }
    HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD* indices, DWORD count) override {
        return Record('E', indices, count, nullptr);
    }

    // The calls as a compact string such as "B0 C0 E0", for order checks.
    std::string Sequence() const {
        std::string s;
        for (const Call& c : calls) {
            if (!s.empty()) s += ' ';
            s += c.kind;
            s += std::to_string(c.index);
        }
        return s;
    }

    long refs = 0;
    std::vector<Call> calls;
    std::function<void(const Call&)> hook;

  private:
    HRESULT Record(char kind, DWORD* indices, DWORD count, MP_DATA* values) {
        Call c{kind, count, indices ? indices[0] : 0xFFFFFFFFu, values ? values[0] : -1.0f};
        calls.push_back(c);
        if (hook) hook(c);
        return S_OK;
    }
};
