// A property frame of our own around the DLL's page: a site, a real filter from the DLL, a
// frame window, and the page driven through real window messages.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "filter/FilterDll.h"
#include "resources/ResourceIds.h"
#include "support/win32/Screenshot.h"

class FakeSite : public IPropertyPageSite {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPageSite)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(--refs); }
    STDMETHODIMP OnStatusChange(DWORD) override { return S_OK; }
    STDMETHODIMP GetLocaleID(LCID* locale) override {
        *locale = LOCALE_USER_DEFAULT;
        return S_OK;
    }
    STDMETHODIMP GetPageContainer(IUnknown** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP TranslateAccelerator(MSG*) override { return S_FALSE; }
    LONG refs = 0;
};

// Slider messages.
constexpr UINT kSliderGetPos = 0x060A;
constexpr UINT kSliderChannel = 0x061E;

class PageHost : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(S_OK, dll.Create(IID_IBaseFilter, &filter));
        filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params));
        filter->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings));
        ASSERT_EQ(S_OK, dll.Create(IID_IPropertyPage, &page, nullptr, CLSID_ResonantFilterPage));
        frame = CreateWindowExW(0, L"Static", L"Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60,
                                560, 260, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(frame, nullptr);
        ASSERT_EQ(S_OK, page->SetPageSite(&site));
    }
    void TearDown() override {
        if (page != nullptr) {
            page->Deactivate();
            page->SetObjects(0, nullptr);
            page->SetPageSite(nullptr);
            EXPECT_EQ(0u, page->Release());
        }
        if (frame != nullptr) DestroyWindow(frame);
        if (settings != nullptr) settings->Release();
        if (params != nullptr) params->Release();
        if (filter != nullptr) {
            EXPECT_EQ(0u, filter->Release());
        }
        EXPECT_EQ(0, site.refs);
    }

    // SetObjects and Activate as a frame does; the page window afterwards.
    void Open() {
        IUnknown* objects[] = {filter};
        ASSERT_EQ(S_OK, page->SetObjects(1, objects));
        RECT r{0, 0, 540, 220};
        ASSERT_EQ(S_OK, page->Activate(frame, &r, FALSE));
        window = GetWindow(frame, GW_CHILD);
        ASSERT_NE(window, nullptr);
        PumpMessages();
    }

    HWND Item(int id) { return GetDlgItem(window, id); }
    std::wstring Text(int id) {
        wchar_t text[64] = {};
        GetWindowTextW(Item(id), text, 64);
        return text;
    }
    LONG SliderPos(int id) { return LONG(SendMessageW(Item(id), kSliderGetPos, 0, 0)); }
    float Value(DWORD index) {
        MP_DATA v = 0;
        params->GetParam(index, &v);
        return v;
    }
    // A key press and release on a focused control, with Ctrl held or not.
    void Key(HWND control, UINT key, bool ctrl = false) {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(keys);
        SendMessageW(control, WM_KEYDOWN, key, 1);
        SendMessageW(control, WM_KEYUP, key, 0xC0000001);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        PumpMessages();
    }
    // Leaves an edit box the way Tab does: focus moves on, and the box hears of it.
    void TypeAndLeave(int id, const wchar_t* text) {
        SetFocus(Item(id));
        SetWindowTextW(Item(id), text);
        SetFocus(Item(IDC_TYPE_LOW));
        PumpMessages();
    }

    IBaseFilter* filter = nullptr;
    IMediaParams* params = nullptr;
    IFilterSettings* settings = nullptr;
    IPropertyPage* page = nullptr;
    FakeSite site;
    HWND frame = nullptr;
    HWND window = nullptr;
};
