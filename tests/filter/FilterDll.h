// Loads ResonantFilter.dll from beside the test program and creates objects through its class
// factory, as a host does.
#pragma once

#include <gtest/gtest.h>

#include "platform/Platform.h"

#include <dshow.h>

#include "include/ResonantFilterApi.h"

// The DLL beside the running test program, loaded once more; nullptr when it is missing.
inline HMODULE LoadFilterDll() {
    WCHAR path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\' && path[n - 1] != L'/')
        --n;
    lstrcpyW(path + n, L"ResonantFilter.dll");
    return LoadLibraryW(path);
}

class FilterDll {
  public:
    FilterDll() {
        module_ = LoadFilterDll();
        if (module_) {
            getClassObject_ = reinterpret_cast<GetClassObjectFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
            canUnloadNow_ = reinterpret_cast<CanUnloadFn>(
                reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
        }
    }
    ~FilterDll() {
        if (module_) FreeLibrary(module_);
    }
    bool Loaded() const { return module_ && getClassObject_ && canUnloadNow_; }

    HRESULT Factory(IClassFactory** factory, REFCLSID clsid = CLSID_ResonantFilter) {
        return getClassObject_(clsid, IID_IClassFactory, reinterpret_cast<void**>(factory));
    }
    // A new filter, asked for `iid`.
    template <typename T>
    HRESULT Create(REFIID iid, T** out, IUnknown* outer = nullptr,
                   REFCLSID clsid = CLSID_ResonantFilter) {
        IClassFactory* factory = nullptr;
        HRESULT hr = Factory(&factory, clsid);
        if (FAILED(hr)) return hr;
        hr = factory->CreateInstance(outer, iid, reinterpret_cast<void**>(out));
        factory->Release();
        return hr;
    }
    HRESULT CanUnloadNow() { return canUnloadNow_(); }
    HMODULE Module() const { return module_; }

  private:
    using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using CanUnloadFn = HRESULT(WINAPI*)();
    HMODULE module_ = nullptr;
    GetClassObjectFn getClassObject_ = nullptr;
    CanUnloadFn canUnloadNow_ = nullptr;
};

inline ULONG RefCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

class FilterDllTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }
    void SetUp() override { ASSERT_TRUE(dll.Loaded()) << "ResonantFilter.dll not loadable"; }

    FilterDll dll;
};
