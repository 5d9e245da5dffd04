#include "page/PropertyPage.h"

#include <new>

#include "page/HelpFiles.h"
#include "resources/ResourceIds.h"

namespace {

INT_PTR CALLBACK IgnoreAll(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// The dialog's size in pixels, measured by creating it hidden.
bool MeasureDialog(HINSTANCE resources, int id, SIZE* size) {
    HWND probe =
        CreateDialogParamW(resources, MAKEINTRESOURCEW(id), GetDesktopWindow(), IgnoreAll, 0);
    if (probe == nullptr) return false;
    RECT r;
    GetWindowRect(probe, &r);
    DestroyWindow(probe);
    size->cx = r.right - r.left;
    size->cy = r.bottom - r.top;
    return true;
}

}  // namespace

HINSTANCE PageResources() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&PageResources), &module);
    return module;
}

IUnknown* ResonantFilterPage::Create(IUnknown* outer, HRESULT* result) {
    *result = S_OK;
    ResonantFilterPage* page =
        AdoptNewIdentity(new (std::nothrow) ResonantFilterPage(outer), result);
    return page != nullptr ? page->NonDelegatingUnknown() : nullptr;
}

ResonantFilterPage::ResonantFilterPage(IUnknown* outer) : ComIdentity(outer) {}

ResonantFilterPage::~ResonantFilterPage() {
    if (window_ != nullptr) DestroyWindow(window_);
    if (settings_ != nullptr) settings_->Release();
    if (site_ != nullptr) site_->Release();
}

// --- IUnknown ---

HRESULT ResonantFilterPage::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IPropertyPage))
        return AnswerFace(static_cast<IPropertyPage*>(this), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

// --- IPropertyPage ---

STDMETHODIMP ResonantFilterPage::SetPageSite(IPropertyPageSite* site) {
    if (site != nullptr && site_ == nullptr) {
        site_ = site;
        site_->AddRef();
        return S_OK;
    }
    if (site == nullptr && site_ != nullptr) {
        site_->Release();
        site_ = nullptr;
        return S_OK;
    }
    return E_UNEXPECTED;
}

STDMETHODIMP ResonantFilterPage::Activate(HWND parent, LPCRECT rect, BOOL) {
    if (rect == nullptr) return E_POINTER;
    if (!objectSet_ || window_ != nullptr) return E_UNEXPECTED;
    dialog_ = CreateDialogParamW(PageResources(), MAKEINTRESOURCEW(dialogId_), parent, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
    if (dialog_ == nullptr) return E_OUTOFMEMORY;
    OnActivate();
    Move(rect);
    return Show(SW_SHOWNORMAL);
}

STDMETHODIMP ResonantFilterPage::Deactivate() {
    if (window_ == nullptr) return E_UNEXPECTED;
    SetWindowLongW(window_, GWL_EXSTYLE,
                   GetWindowLongW(window_, GWL_EXSTYLE) & ~WS_EX_CONTROLPARENT);
    OnDeactivate();
    HWND window = window_;
    DestroyWindow(window);
    window_ = nullptr;
    dialog_ = nullptr;
    return S_OK;
}

STDMETHODIMP ResonantFilterPage::GetPageInfo(PROPPAGEINFO* info) {
    if (info == nullptr) return E_POINTER;
    const HINSTANCE resources = PageResources();
    const wchar_t* title = nullptr;
    const int length = LoadStringW(resources, UINT(titleId_), reinterpret_cast<LPWSTR>(&title), 0);
    auto* titleBlock = static_cast<LPOLESTR>(CoTaskMemAlloc(size_t(length + 1) * sizeof(WCHAR)));
    if (titleBlock == nullptr) return E_OUTOFMEMORY;
    auto* helpBlock = static_cast<LPOLESTR>(CoTaskMemAlloc(1040));
    if (helpBlock == nullptr) {
        CoTaskMemFree(titleBlock);
        return E_OUTOFMEMORY;
    }
    if (length > 0) CopyMemory(titleBlock, title, size_t(length) * sizeof(WCHAR));
    titleBlock[length] = 0;

    helpPaths_ = ResolveHelpPaths(resources, nullptr);
    lstrcpynW(helpBlock, helpPaths_.htmlHelp.c_str(), MAX_PATH);

    info->cb = sizeof *info;
    info->pszTitle = titleBlock;
    info->pszDocString = nullptr;
    info->pszHelpFile = helpBlock;
    info->dwHelpContext = 10;
    info->size = SIZE{300, 150};
    SIZE measured;
    if (MeasureDialog(resources, dialogId_, &measured)) info->size = measured;
    return S_OK;
}

STDMETHODIMP ResonantFilterPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count == 1) {
        if (objects == nullptr || objects[0] == nullptr) return E_POINTER;
        objectSet_ = TRUE;
        return OnConnect(objects[0]);
    }
    if (count == 0) {
        objectSet_ = FALSE;
        return OnDisconnect();
    }
    return E_UNEXPECTED;
}

STDMETHODIMP ResonantFilterPage::Show(UINT command) {
    if (window_ == nullptr) return E_UNEXPECTED;
    if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW) return E_INVALIDARG;
    ShowWindow(window_, int(command));
    InvalidateRect(window_, nullptr, TRUE);
    return S_OK;
}

STDMETHODIMP ResonantFilterPage::Move(LPCRECT rect) {
    if (rect == nullptr) return E_POINTER;
    if (window_ == nullptr) return E_UNEXPECTED;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
}

STDMETHODIMP ResonantFilterPage::IsPageDirty() {
    return dirty_ ? S_OK : S_FALSE;
}

STDMETHODIMP ResonantFilterPage::Apply() {
    if (!objectSet_ || site_ == nullptr) return E_UNEXPECTED;
    if (!dirty_) return S_OK;
    OnApplyChanges();
    dirty_ = FALSE;
    return S_OK;
}

STDMETHODIMP ResonantFilterPage::Help(LPCOLESTR) {
    return ShowHtmlHelp(helpPaths_.htmlHelp, GetDesktopWindow()) ? S_OK : E_UNEXPECTED;
}

STDMETHODIMP ResonantFilterPage::TranslateAccelerator(MSG*) {
    return E_NOTIMPL;
}

// --- hooks ---

HRESULT ResonantFilterPage::OnConnect(IUnknown* object) {
    if (object == nullptr) return E_POINTER;
    if (settings_ != nullptr) OnDisconnect();
    if (FAILED(object->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&settings_)))) {
        settings_ = nullptr;
        return E_NOINTERFACE;
    }
    object_ = object;
    if (window_ != nullptr) {
        settings_->RegisterNotifyWindow(window_, ID_PAGE_NOTIFY);
        UpdateControls(0, FALSE);
    }
    return S_OK;
}

HRESULT ResonantFilterPage::OnDisconnect() {
    if (settings_ == nullptr) return E_UNEXPECTED;
    CloseOpenCaptures();
    if (window_ != nullptr) settings_->RegisterNotifyWindow(window_, 0);
    settings_->Release();
    settings_ = nullptr;
    // The host may release the object as soon as this returns: the menu must not reach it.
    object_ = nullptr;
    return S_OK;
}

HRESULT ResonantFilterPage::OnActivate() {
    SetWindowLongW(window_, GWL_EXSTYLE,
                   GetWindowLongW(window_, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
    return S_OK;
}

HRESULT ResonantFilterPage::OnDeactivate() {
    SetWindowLongW(window_, GWL_EXSTYLE,
                   GetWindowLongW(window_, GWL_EXSTYLE) & ~WS_EX_CONTROLPARENT);
    return S_OK;
}

HRESULT ResonantFilterPage::OnApplyChanges() {
    return S_OK;
}

INT_PTR CALLBACK ResonantFilterPage::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
    auto* page = reinterpret_cast<ResonantFilterPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (page == nullptr) return FALSE;
    return page->OnReceiveMessage(window, message, wParam, lParam);
}
