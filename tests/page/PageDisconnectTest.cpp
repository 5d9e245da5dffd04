// What a page leaves behind when the frame takes its object away or closes it in the middle of
// an interaction: no call on a released filter, and no capture bracket left open.
#include "PageHost.h"
#include "support/RecordingCallback.h"

namespace {

// The object a frame hands over, standing in front of the filter; it notes every call that
// reaches it once the page has been told to let go.
class ObjectSpy : public IUnknown {
  public:
    explicit ObjectSpy(IUnknown* target) : target_(target) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!Reached()) return target_->QueryInterface(iid, out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // The test owns the spy; the page is meant to hold no reference of its own.
    STDMETHODIMP_(ULONG) AddRef() override {
        Reached();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        Reached();
        return 1;
    }

    bool gone = false;
    int callsAfterGone = 0;

  private:
    bool Reached() {
        if (gone) ++callsAfterGone;
        return gone;
    }
    IUnknown* target_;
};

// Ends the next popup menu once it shows, or gives up after two seconds.
int menuTicks = 0;
void CALLBACK EndMenuWhenShown(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = FindWindowW(L"#32768", nullptr);
    if ((menu == nullptr || !IsWindowVisible(menu)) && ++menuTicks < 100) return;
    KillTimer(nullptr, timer);
    EndMenu();
}

TEST_F(PageHost, ADisconnectedPageLeavesTheReleasedFilterAlone) {
    ObjectSpy spy(filter);
    IUnknown* objects[] = {&spy};
    ASSERT_EQ(S_OK, page->SetObjects(1, objects));
    RECT r{0, 0, 540, 220};
    ASSERT_EQ(S_OK, page->Activate(frame, &r, FALSE));
    window = GetWindow(frame, GW_CHILD);
    PumpMessages();
    ASSERT_EQ(S_OK, page->SetObjects(0, nullptr));
    spy.gone = true;
    settings->Release();
    settings = nullptr;
    params->Release();
    params = nullptr;
    EXPECT_EQ(0u, filter->Release()) << "the page still holds the filter";
    filter = nullptr;

    menuTicks = 0;
    SetTimer(nullptr, 0, 20, EndMenuWhenShown);
    POINT at{20, 40};
    ClientToScreen(window, &at);
    SendMessageW(window, WM_CONTEXTMENU, WPARAM(window), MAKELPARAM(at.x, at.y));
    for (const UINT command : {40500u, 40512u, UINT(ID_PAGE_NOTIFY), UINT(IDC_TYPE_HIGH)})
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    SetFocus(Item(IDC_FREQUENCY_SLIDER));
    Key(Item(IDC_FREQUENCY_SLIDER), VK_NEXT);
    SendMessageW(Item(IDC_ORDER_FOURTH), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessageW(Item(IDC_ORDER_FOURTH), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    SendMessageW(window, WM_TIMER, 0, 0);
    PumpMessages();
    EXPECT_EQ(spy.callsAfterGone, 0);
}

// A capture the page opened is closed when the page goes mid-drag or mid-press, so the host
// sees every bracket end; a drag that goes on after disconnection reaches nothing.
TEST_F(PageHost, APageThatGoesMidInteractionClosesItsCapture) {
    RecordingCallback recorder;
    IMediaParamsSetUICallback* ui = nullptr;
    filter->QueryInterface(IID_IMediaParamsSetUICallback, reinterpret_cast<void**>(&ui));
    ui->SetUICallback(&recorder);
    auto count = [&](char kind) {
        int n = 0;
        for (const auto& call : recorder.calls)
            n += call.kind == kind;
        return n;
    };
    auto expectClosed = [&](const char* how) {
        EXPECT_EQ(count('B'), 1) << how << ": " << recorder.Sequence();
        EXPECT_EQ(count('E'), 1) << how << ": " << recorder.Sequence();
        EXPECT_TRUE(!recorder.calls.empty() && recorder.calls.back().kind == 'E') << how;
        recorder.calls.clear();
    };
    HWND slider = nullptr;
    int y = 0, start = 0;
    auto pressThumb = [&] {
        settings->PutScaledResonance(0);  // the thumb at the channel's start
        Open();
        recorder.calls.clear();
        slider = Item(IDC_RESONANCE_SLIDER);
        RECT client;
        GetClientRect(slider, &client);
        y = client.bottom / 2;
        start = HIWORD(SendMessageW(slider, kSliderChannel, 0, 0));
        SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start, y));
        SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start + 30, y));
        PumpMessages();
        EXPECT_EQ(count('E'), 0) << "the drag holds its capture open";
    };

    pressThumb();
    page->Deactivate();
    PumpMessages();
    expectClosed("destroyed mid-drag");

    pressThumb();
    page->SetObjects(0, nullptr);
    expectClosed("disconnected mid-drag");
    SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start + 60, y));
    SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(start + 60, y));
    PumpMessages();
    EXPECT_EQ(recorder.Sequence(), "") << "the rest of the drag reached the filter";
    page->Deactivate();

    Open();
    HWND high = Item(IDC_TYPE_HIGH);
    SendMessageW(high, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PumpMessages();
    page->Deactivate();
    PumpMessages();
    expectClosed("destroyed mid-press");

    ui->SetUICallback(nullptr);
    ui->Release();
}

}  // namespace
