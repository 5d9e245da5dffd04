// ResonantFilterPage: the filter's property page. Every edit goes to the filter at once through
// IFilterSettings; the page holds no unapplied state, so Apply has nothing to do.
//
// Threads: the host's interface thread, which owns the page window. The filter's notices
// arrive as posted messages.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include "framework/ComIdentity.h"
#include "include/ResonantFilterApi.h"
#include "page/HelpFiles.h"

class ResonantFilterPage : public ComIdentity, public IPropertyPage {
  public:
    // The factory's create function: the non-delegating unknown with one reference.
    static IUnknown* Create(IUnknown* outer, HRESULT* result);

    // IUnknown: the owner's.
    RF_OUTER_UNKNOWN_FACE

    // IPropertyPage, in slot order.
    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT rect) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR helpDir) override;
    STDMETHODIMP TranslateAccelerator(MSG* message) override;

    // Page hooks, in slot order after IPropertyPage's.
    virtual HRESULT OnConnect(IUnknown* object);
    virtual HRESULT OnDisconnect();
    virtual HRESULT OnActivate();
    virtual HRESULT OnDeactivate();
    virtual HRESULT OnApplyChanges();
    virtual INT_PTR OnReceiveMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    virtual void InitControls();
    // Brings the controls in line with the filter; FALSE when not connected or no window.
    virtual BOOL UpdateControls(int changedId, BOOL forceSlider);

  private:
    explicit ResonantFilterPage(IUnknown* outer);
    ~ResonantFilterPage() override;
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    // The page's own handling of control messages (PageControls.cpp).
    void OnSlider(HWND slider, int code);
    void OnCommand(int id, int code, HWND control);
    void PollAutomation();
    void DropQueuedNotices();
    void UpdateBanner();
    void SubclassRadios(bool install);
    void ShowAbout();
    // Capture brackets on the filter, by parameter index; the page closes those it left open.
    void OpenCapture(int param);
    void CloseCapture(int param);
    void CloseOpenCaptures();

    IPropertyPageSite* site_ = nullptr;
    HWND window_ = nullptr;
    HWND dialog_ = nullptr;
    BOOL dirty_ = FALSE;
    int titleId_ = 1;
    int dialogId_ = 102;
    BOOL objectSet_ = FALSE;
    IFilterSettings* settings_ = nullptr;
    IUnknown* object_ = nullptr;  // no reference of its own, so null whenever not connected
    unsigned openCaptures_ = 0;   // bit per parameter whose capture this page opened
    // The help files GetPageInfo found. Per page: pages on other threads find their own.
    HelpPaths helpPaths_;
};

// The module whose resources the page uses: the one its code lives in.
HINSTANCE PageResources();
