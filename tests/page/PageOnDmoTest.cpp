// The page on the DMO: the DMO names the same page, and its controls set and follow the DMO's
// values and presets as they do the filter's.
#include "PageHost.h"

namespace {

using PageOnDmo = FilterDllTest;

TEST_F(PageOnDmo, ThePageSetsAndFollowsTheDmo) {
    IUnknown* dmo = nullptr;
    ASSERT_EQ(dll.Create(IID_IUnknown, &dmo, nullptr, CLSID_ResonantFilterDmo), S_OK);
    ISpecifyPropertyPages* specify = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&specify)),
              S_OK);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    specify->Release();
    ASSERT_EQ(pages.cElems, 1u);
    const CLSID pageClass = pages.pElems[0];
    CoTaskMemFree(pages.pElems);
    EXPECT_TRUE(IsEqualGUID(pageClass, CLSID_ResonantFilterPage));

    IPropertyPage* page = nullptr;
    ASSERT_EQ(dll.Create(IID_IPropertyPage, &page, nullptr, pageClass), S_OK);
    FakeSite site;
    HWND frame = CreateWindowExW(0, L"Static", L"Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60,
                                 560, 260, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(page->SetPageSite(&site), S_OK);
    ASSERT_EQ(page->SetObjects(1, &dmo), S_OK);
    RECT r{0, 0, 540, 220};
    ASSERT_EQ(page->Activate(frame, &r, FALSE), S_OK);
    HWND window = GetWindow(frame, GW_CHILD);
    ASSERT_NE(window, nullptr);
    PumpMessages();

    IMediaParams* params = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)), S_OK);
    SendMessageW(GetDlgItem(window, IDC_ORDER_FOURTH), BM_CLICK, 0, 0);
    PumpMessages();
    MP_DATA order = 0;
    params->GetParam(3, &order);
    EXPECT_EQ(order, 1.0f) << "the page set the DMO's Filter Order";

    IFilterPresets* presets = nullptr;
    ASSERT_EQ(dmo->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets)), S_OK);
    presets->ApplyPreset(9);  // Light Chime: 900 Hz
    presets->Release();
    PumpMessages();
    wchar_t text[16] = {};
    GetWindowTextW(GetDlgItem(window, IDC_FREQUENCY_EDIT), text, 16);
    EXPECT_STREQ(text, L"900") << "the page follows the DMO's preset";

    params->Release();
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->SetPageSite(nullptr);
    EXPECT_EQ(page->Release(), 0u);
    DestroyWindow(frame);
    EXPECT_EQ(dmo->Release(), 0u);
    EXPECT_EQ(site.refs, 0);
}

}  // namespace
