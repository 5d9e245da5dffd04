// The page's dialog: its message dispatch, and how each control becomes a call on the filter's
// settings and is refreshed from them.
#include <windowsx.h>

#include <iterator>

#include "page/AboutBox.h"
#include "page/HelpFiles.h"
#include "page/NumberText.h"
#include "page/PresetMenu.h"
#include "page/PropertyPage.h"
#include "page/controls/Taper.h"
#include "resources/ResourceIds.h"

namespace {

constexpr UINT_PTR kPollTimer = 0;
constexpr UINT kPollMs = 50;
constexpr UINT kBannerBitmapClicked = 0x0614;

// Slider messages.
constexpr UINT kSliderGetPos = 0x060A;
constexpr UINT kSliderGetMin = 0x060B;
constexpr UINT kSliderGetMax = 0x060C;
constexpr UINT kSliderSetMin = 0x060E;
constexpr UINT kSliderSetMax = 0x060F;
constexpr UINT kSliderSetPos = 0x0610;
constexpr UINT kSliderSetDefault = 0x0611;
constexpr int kScrollEnd = 8;

// Banner messages.
constexpr UINT kBannerClear = 0x0600;
constexpr UINT kBannerAddText = 0x0601;

enum Param { kFrequency, kResonance, kFilterType, kFilterOrder, kBypass, kWetDry };

// The settings interface's per-parameter methods, by parameter.
struct ParamMethods {
    HRESULT (STDMETHODCALLTYPE IFilterSettings::*get)(LONG*);
    HRESULT (STDMETHODCALLTYPE IFilterSettings::*put)(LONG);
    HRESULT (STDMETHODCALLTYPE IFilterSettings::*beginCapture)();
    HRESULT (STDMETHODCALLTYPE IFilterSettings::*endCapture)();
    HRESULT (STDMETHODCALLTYPE IFilterSettings::*isAutomated)();
};

#define RF_PARAM_METHODS(Name)                                                        \
    {                                                                                 \
        &IFilterSettings::GetScaled##Name, &IFilterSettings::PutScaled##Name,         \
            &IFilterSettings::BeginCapture##Name, &IFilterSettings::EndCapture##Name, \
            &IFilterSettings::IsAutomated##Name                                       \
    }

const ParamMethods kMethods[] = {
    RF_PARAM_METHODS(Frequency),   RF_PARAM_METHODS(Resonance), RF_PARAM_METHODS(FilterType),
    RF_PARAM_METHODS(FilterOrder), RF_PARAM_METHODS(Bypass),    RF_PARAM_METHODS(WetDry),
};

#undef RF_PARAM_METHODS

LONG GetScaled(IFilterSettings* s, Param p) {
    LONG v = 0;
    (s->*kMethods[p].get)(&v);
    return v;
}
void PutScaled(IFilterSettings* s, Param p, LONG v) {
    (s->*kMethods[p].put)(v);
}
bool IsAutomated(IFilterSettings* s, Param p) {
    return (s->*kMethods[p].isAutomated)() == S_OK;
}

// One slider, its edit box and its parameter.
struct ValueGroup {
    int slider, edit;
    Param param;
    int decimals;
    LONG min, max, byDefault;
};

constexpr ValueGroup kGroups[] = {
    {IDC_FREQUENCY_SLIDER, IDC_FREQUENCY_EDIT, kFrequency, 0, 20, 20000, 20000},
    {IDC_RESONANCE_SLIDER, IDC_RESONANCE_EDIT, kResonance, 1, 0, 1000, 0},
    {IDC_WETDRY_SLIDER, IDC_WETDRY_EDIT, kWetDry, 1, 0, 1000, 1000},
};

const ValueGroup* GroupOf(int id) {
    for (const ValueGroup& g : kGroups)
        if (id == g.slider || id == g.edit) return &g;
    return nullptr;
}

struct RadioChoice {
    int id;
    Param param;
    LONG value;
};

constexpr RadioChoice kRadios[] = {
    {IDC_TYPE_LOW, kFilterType, 0},      {IDC_TYPE_HIGH, kFilterType, 2},
    {IDC_TYPE_BAND, kFilterType, 1},     {IDC_ORDER_SECOND, kFilterOrder, 0},
    {IDC_ORDER_FOURTH, kFilterOrder, 1},
};

const RadioChoice* RadioOf(int id) {
    for (const RadioChoice& r : kRadios)
        if (id == r.id) return &r;
    return nullptr;
}

// Set on a radio button between its press and the click notice that closes the capture the
// press opened.
constexpr wchar_t kPressedProp[] = L"ResonantFilterPagePressed";

void SendRadioNotice(HWND button, WORD code) {
    HWND parent = GetParent(button);
    if (parent != nullptr)
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), code),
                     reinterpret_cast<LPARAM>(button));
}

LRESULT CALLBACK RadioProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_USERDATA));
    switch (message) {
        case WM_LBUTTONDOWN:
            SetPropW(button, kPressedProp, reinterpret_cast<HANDLE>(1));
            SendRadioNotice(button, RADIO_PRESS_CODE);
            break;
        case WM_MOUSELEAVE:
            // Only a leave after a press closes its capture: a leave on its own is no click and
            // must not change the setting.
            if (GetPropW(button, kPressedProp) != nullptr) SendRadioNotice(button, 0);
            break;
        case WM_LBUTTONUP: {
            const LRESULT result = CallWindowProcW(previous, button, message, wParam, lParam);
            // Released off the button: no click follows, so close the capture here.
            if (GetPropW(button, kPressedProp) != nullptr) SendRadioNotice(button, 0);
            return result;
        }
        case WM_NCDESTROY:
            RemovePropW(button, kPressedProp);
            break;
    }
    return CallWindowProcW(previous, button, message, wParam, lParam);
}

}  // namespace

// Every call may open the bracket; only the one that did is remembered, so the page closes
// what it opened and nothing a second page on the same filter holds.
void ResonantFilterPage::OpenCapture(int param) {
    if ((settings_->*kMethods[param].beginCapture)() == S_OK) openCaptures_ |= 1u << param;
}

void ResonantFilterPage::CloseCapture(int param) {
    (settings_->*kMethods[param].endCapture)();
    openCaptures_ &= ~(1u << param);
}

// A drag or press cut short by the page going away never sends its closing notice, and the
// host would otherwise wait for the end of a capture for ever.
void ResonantFilterPage::CloseOpenCaptures() {
    for (int param = 0; param < int(std::size(kMethods)); ++param)
        if (settings_ != nullptr && (openCaptures_ & (1u << param))) CloseCapture(param);
    openCaptures_ = 0;
}

void ResonantFilterPage::InitControls() {
    for (const ValueGroup& g : kGroups) {
        HWND slider = GetDlgItem(window_, g.slider);
        SendMessageW(slider, kSliderSetMin, FALSE, g.min);
        SendMessageW(slider, kSliderSetMax, FALSE, g.max);
        SendMessageW(slider, kSliderSetDefault, 0, g.byDefault);
    }
    SubclassRadios(true);
    SetTimer(window_, kPollTimer, kPollMs, nullptr);
    UpdateBanner();
}

void ResonantFilterPage::SubclassRadios(bool install) {
    for (const RadioChoice& r : kRadios) {
        HWND button = GetDlgItem(window_, r.id);
        if (button == nullptr) continue;
        if (install) {
            const LONG_PTR previous =
                SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RadioProc));
            SetWindowLongPtrW(button, GWLP_USERDATA, previous);
        } else {
            SetWindowLongPtrW(button, GWLP_WNDPROC, GetWindowLongPtrW(button, GWLP_USERDATA));
        }
    }
}

BOOL ResonantFilterPage::UpdateControls(int changedId, BOOL forceSlider) {
    if (settings_ == nullptr || window_ == nullptr) return FALSE;
    if (changedId == ID_PAGE_NOTIFY) changedId = 0;
    for (const ValueGroup& g : kGroups) {
        if (changedId != 0 && changedId != g.slider && changedId != g.edit) continue;
        const LONG value = GetScaled(settings_, g.param);
        // A slider the user holds is left where it is; only its text follows.
        if (changedId == 0 || changedId == g.edit || forceSlider)
            SendMessageW(GetDlgItem(window_, g.slider), kSliderSetPos, TRUE, value);
        SetDlgItemTextW(window_, g.edit,
                        FormatScaled(value, g.decimals, PageNumberLocale()).c_str());
    }
    if (changedId == 0 || (changedId >= IDC_TYPE_LOW && changedId <= IDC_TYPE_HIGH)) {
        const LONG type = GetScaled(settings_, kFilterType);
        CheckRadioButton(window_, IDC_TYPE_LOW, IDC_TYPE_HIGH,
                         type == 1   ? IDC_TYPE_BAND
                         : type == 2 ? IDC_TYPE_HIGH
                                     : IDC_TYPE_LOW);
    }
    if (changedId == 0 || changedId == IDC_ORDER_SECOND || changedId == IDC_ORDER_FOURTH) {
        const LONG order = GetScaled(settings_, kFilterOrder);
        CheckRadioButton(window_, IDC_ORDER_SECOND, IDC_ORDER_FOURTH,
                         order == 1 ? IDC_ORDER_FOURTH : IDC_ORDER_SECOND);
    }
    return TRUE;
}

void ResonantFilterPage::OnSlider(HWND slider, int code) {
    const int id = GetDlgCtrlID(slider);
    const ValueGroup* g = GroupOf(id);
    if (g != nullptr && id == g->slider) {
        const LONG position = LONG(SendMessageW(slider, kSliderGetPos, 0, 0));
        const LONG min = LONG(SendMessageW(slider, kSliderGetMin, 0, 0));
        const LONG max = LONG(SendMessageW(slider, kSliderGetMax, 0, 0));
        const bool ctrl = GetKeyState(VK_CONTROL) < 0;
        const LONG next = SliderStep(code, position, min, max, 1, 10, false, ctrl);
        SendMessageW(slider, kSliderSetPos, TRUE, next);
        OpenCapture(g->param);
        PutScaled(settings_, g->param, next);
        if (code == kScrollEnd) CloseCapture(g->param);
    }
    UpdateControls(id, FALSE);
}

void ResonantFilterPage::OnCommand(int id, int code, HWND control) {
    if (const ValueGroup* g = GroupOf(id); g != nullptr && id == g->edit) {
        if (code != EN_KILLFOCUS) return;  // typing commits nothing until the box is left
        wchar_t text[40] = {};
        GetWindowTextW(control, text, 40);
        PutScaled(settings_, g->param, ParseScaled(text, g->decimals == 1, PageNumberLocale()));
        UpdateControls(id, FALSE);
        return;
    }
    if (const RadioChoice* r = RadioOf(id)) {
        if (code != 0 && code != RADIO_PRESS_CODE) return;
        OpenCapture(r->param);
        PutScaled(settings_, r->param, r->value);
        if (code != RADIO_PRESS_CODE) {
            CloseCapture(r->param);
            RemovePropW(GetDlgItem(window_, id), kPressedProp);
        }
        UpdateControls(id, FALSE);
        return;
    }
    if (id >= ID_PRESET_FIRST && id <= ID_PRESET_LAST) {
        if (ApplyPresetCommand(object_, UINT(id))) UpdateControls(0, FALSE);
        return;
    }
    switch (id) {
        case ID_HELP:
            Help(nullptr);
            UpdateControls(ID_HELP, FALSE);
            break;
        case ID_ABOUT:
            ShowAbout();
            UpdateBanner();
            UpdateControls(ID_ABOUT, FALSE);
            break;
        case ID_PAGE_NOTIFY:
            DropQueuedNotices();
            UpdateControls(0, FALSE);
            break;
    }
}

// The refresh reads the filter's values as they are when it runs, so the filter's notices queued
// behind this one would only repeat it. A host writing values from another thread faster than
// the controls repaint would otherwise leave the page working through a backlog for seconds.
void ResonantFilterPage::DropQueuedNotices() {
    MSG queued;
    while (PeekMessageW(&queued, window_, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) &&
           LOWORD(queued.wParam) == ID_PAGE_NOTIFY && queued.lParam == 0)
        PeekMessageW(&queued, window_, WM_COMMAND, WM_COMMAND, PM_REMOVE);
}

void ResonantFilterPage::PollAutomation() {
    if (settings_ == nullptr) return;
    for (const ValueGroup& g : kGroups) {
        const bool driven = IsAutomated(settings_, g.param);
        if (driven) UpdateControls(g.slider, TRUE);
        EnableWindow(GetDlgItem(window_, g.edit), !driven);
    }
    if (IsAutomated(settings_, kFilterType)) UpdateControls(IDC_TYPE_LOW, TRUE);
    if (IsAutomated(settings_, kFilterOrder)) UpdateControls(IDC_ORDER_SECOND, TRUE);
}

void ResonantFilterPage::UpdateBanner() {
    HWND banner = GetDlgItem(window_, IDC_PAGE_BANNER);
    if (banner == nullptr) return;
    SendMessageW(banner, kBannerClear, 0, 0);
    wchar_t about[64] = L"About";
    LoadStringW(PageResources(), IDS_BANNER_ABOUT, about, 64);
    SendMessageW(banner, kBannerAddText, MAKEWPARAM(ID_ABOUT, FALSE),
                 reinterpret_cast<LPARAM>(about));
    SendMessageW(banner, kBannerAddText, MAKEWPARAM(ID_HELP, TRUE), reinterpret_cast<LPARAM>(L"?"));
    // The full name and its (empty) edition, without the brand prefix.
    std::wstring title = std::wstring(L"Veltrin Resonant Filter") + L" " + L"";
    const std::wstring brand = L"Veltrin ";
    if (title.size() >= brand.size() &&
        CompareStringOrdinal(title.c_str(), int(brand.size()), brand.c_str(), int(brand.size()),
                             TRUE) == CSTR_EQUAL)
        title.erase(0, brand.size());
    SetWindowTextW(banner, title.c_str());
}

void ResonantFilterPage::ShowAbout() {
    RunAboutBox(PageResources(), window_);
}

INT_PTR ResonantFilterPage::OnReceiveMessage(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            if (settings_ != nullptr) settings_->RegisterNotifyWindow(window, ID_PAGE_NOTIFY);
            InitControls();
            UpdateControls(0, FALSE);
            return TRUE;
        case WM_DESTROY:
            CloseOpenCaptures();
            if (settings_ != nullptr) settings_->RegisterNotifyWindow(window_, 0);
            SubclassRadios(false);
            KillTimer(window_, kPollTimer);
            CloseContextHelp(window_, helpPaths_.contextHelp);
            window_ = nullptr;
            return 0;
        case WM_TIMER:
            PollAutomation();
            return 0;
        case WM_HELP: {
            const auto* help = reinterpret_cast<const HELPINFO*>(lParam);
            if (help != nullptr) ShowContextPopup(window, helpPaths_.contextHelp, help->iCtrlId);
            return TRUE;
        }
        case WM_CONTEXTMENU:
            ShowPageMenu(window, object_, PageResources(), GET_X_LPARAM(lParam),
                         GET_Y_LPARAM(lParam));
            return 0;
        // Controls still send notices while they are destroyed after the page window: they
        // would open captures that nothing closes, so only a live, connected page acts on them.
        case WM_COMMAND:
            if (settings_ != nullptr && window_ != nullptr)
                OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_HSCROLL:
            if (settings_ != nullptr && window_ != nullptr && lParam != 0)
                OnSlider(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
            return TRUE;
        case kBannerBitmapClicked:
            ShowAbout();
            return 0;
        default:
            return 0;
    }
}
