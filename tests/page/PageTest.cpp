// The property page hosted as a property frame hosts it: a site of our own, a real filter
// from the DLL, and the page driven through real window messages.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "PageHost.h"
#include "support/RecordingCallback.h"

namespace {

TEST_F(PageHost, LifecycleFollowsTheFrameOrder) {
    RECT r{0, 0, 300, 150};
    EXPECT_EQ(E_UNEXPECTED, page->Activate(frame, &r, FALSE)) << "SetObjects comes first";
    EXPECT_EQ(E_UNEXPECTED, page->Show(SW_SHOW)) << "no window yet";
    IUnknown* none[] = {nullptr};
    EXPECT_EQ(E_POINTER, page->SetObjects(1, none));
    IUnknown* two[] = {filter, filter};
    EXPECT_EQ(E_UNEXPECTED, page->SetObjects(2, two));
    EXPECT_EQ(E_UNEXPECTED, page->SetPageSite(&site)) << "a site is held already";

    PROPPAGEINFO info{};
    ASSERT_EQ(S_OK, page->GetPageInfo(&info));
    EXPECT_EQ(info.cb, sizeof info);
    EXPECT_STREQ(info.pszTitle, L"Resonant Filter");
    EXPECT_EQ(info.dwHelpContext, 10u);
    EXPECT_NE(info.pszHelpFile, nullptr);
    EXPECT_GT(info.size.cx, 300) << "measured from dialog 102";
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszHelpFile);

    Open();
    EXPECT_EQ(E_POINTER, page->Activate(frame, nullptr, FALSE));
    EXPECT_EQ(E_UNEXPECTED, page->Activate(frame, &r, FALSE)) << "a second Activate";
    EXPECT_EQ(E_INVALIDARG, page->Show(SW_MINIMIZE));
    EXPECT_EQ(S_OK, page->Show(SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(S_OK, page->Show(SW_SHOWNORMAL));
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"20,000");
    EXPECT_EQ(Text(IDC_WETDRY_EDIT), L"100.0");
    EXPECT_EQ(S_FALSE, page->IsPageDirty());
    EXPECT_EQ(S_OK, page->Apply()) << "nothing is ever held back";
    SaveScreenshot(window, "page-default");

    // Reconnecting while the window exists shows the new filter's values.
    IBaseFilter* other = nullptr;
    ASSERT_EQ(S_OK, dll.Create(IID_IBaseFilter, &other));
    IFilterSettings* otherSettings = nullptr;
    other->QueryInterface(IID_IFilterSettings, reinterpret_cast<void**>(&otherSettings));
    otherSettings->PutScaledFrequency(1234);
    IUnknown* objects[] = {other};
    EXPECT_EQ(S_OK, page->SetObjects(1, objects));
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"1,234");
    EXPECT_EQ(S_OK, page->Deactivate());
    EXPECT_EQ(E_UNEXPECTED, page->Deactivate());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(S_OK, page->SetObjects(0, nullptr));
    EXPECT_EQ(E_UNEXPECTED, page->SetObjects(0, nullptr)) << "nothing left to disconnect";
    otherSettings->Release();
    EXPECT_EQ(0u, other->Release()) << "the page let go of the filter";
}

TEST_F(PageHost, SliderDragIsOneCaptureWithAValuePerMove) {
    Open();
    RecordingCallback recorder;
    IMediaParamsSetUICallback* ui = nullptr;
    ASSERT_EQ(S_OK,
              filter->QueryInterface(IID_IMediaParamsSetUICallback, reinterpret_cast<void**>(&ui)));
    ui->SetUICallback(&recorder);
    HWND slider = Item(IDC_RESONANCE_SLIDER);
    const LRESULT channel = SendMessageW(slider, kSliderChannel, 0, 0);
    const int start = HIWORD(channel);
    RECT client;
    GetClientRect(slider, &client);
    const int y = client.bottom / 2;
    // Resonance is 0: the thumb sits at the channel's start.
    SendMessageW(slider, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start, y));
    for (int dx : {20, 40, 60})
        SendMessageW(slider, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start + dx, y));
    SendMessageW(slider, WM_LBUTTONUP, 0, MAKELPARAM(start + 60, y));
    PumpMessages();
    ui->SetUICallback(nullptr);
    ui->Release();

    int begins = 0, ends = 0, changes = 0;
    for (const auto& call : recorder.calls) {
        begins += call.kind == 'B';
        ends += call.kind == 'E';
        changes += call.kind == 'C';
    }
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_GE(changes, 3) << "a value for each move";
    ASSERT_FALSE(recorder.calls.empty());
    EXPECT_EQ(recorder.calls.front().kind, 'B');
    EXPECT_EQ(recorder.calls.back().kind, 'E');
    EXPECT_GT(Value(1), 0.0f);
    EXPECT_EQ(LONG(Value(1) * 10 + 0.5f), SliderPos(IDC_RESONANCE_SLIDER));
}

TEST_F(PageHost, KeysStepTheFrequencySlider) {
    Open();
    params->SetParam(0, 1000.0f);  // the host's change: the page hears of it and follows
    PumpMessages();
    HWND slider = Item(IDC_FREQUENCY_SLIDER);
    SetFocus(slider);
    Key(slider, VK_NEXT);
    EXPECT_FLOAT_EQ(Value(0), 1010.0f) << "Page Down raises by 10 Hz";
    Key(slider, VK_PRIOR);
    EXPECT_FLOAT_EQ(Value(0), 1000.0f);
    Key(slider, VK_NEXT, true);
    EXPECT_FLOAT_EQ(Value(0), 1100.0f) << "Ctrl: 100 Hz";
    Key(slider, VK_RIGHT);
    EXPECT_FLOAT_EQ(Value(0), 1101.0f);
    Key(slider, VK_END);
    EXPECT_FLOAT_EQ(Value(0), 20000.0f);
    Key(slider, VK_HOME);
    EXPECT_FLOAT_EQ(Value(0), 20.0f);
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"20");
}

TEST_F(PageHost, EditBoxesCommitOnlyWhenLeft) {
    Open();
    SetFocus(Item(IDC_FREQUENCY_EDIT));
    SetWindowTextW(Item(IDC_FREQUENCY_EDIT), L"25000");
    PumpMessages();
    EXPECT_FLOAT_EQ(Value(0), 20000.0f);
    settings->PutScaledFrequency(500);  // typing alone changed nothing: the filter still rules
    SetWindowTextW(Item(IDC_FREQUENCY_EDIT), L"25000");
    PumpMessages();
    EXPECT_FLOAT_EQ(Value(0), 500.0f) << "nothing before the box loses focus";
    SetFocus(Item(IDC_TYPE_LOW));
    PumpMessages();
    EXPECT_FLOAT_EQ(Value(0), 20000.0f);
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"20,000");
    EXPECT_EQ(SliderPos(IDC_FREQUENCY_SLIDER), 20000);

    TypeAndLeave(IDC_WETDRY_EDIT, L"-3");
    EXPECT_EQ(Text(IDC_WETDRY_EDIT), L"0.0");
    EXPECT_FLOAT_EQ(Value(5), 0.0f);
    TypeAndLeave(IDC_RESONANCE_EDIT, L"12.34");
    EXPECT_EQ(Text(IDC_RESONANCE_EDIT), L"12.3");
    EXPECT_EQ(SliderPos(IDC_RESONANCE_SLIDER), 123);
}

TEST_F(PageHost, RadioButtonsSetTypeAndOrder) {
    Open();
    RecordingCallback recorder;
    IMediaParamsSetUICallback* ui = nullptr;
    filter->QueryInterface(IID_IMediaParamsSetUICallback, reinterpret_cast<void**>(&ui));
    ui->SetUICallback(&recorder);
    HWND high = Item(IDC_TYPE_HIGH);
    RECT r;
    GetClientRect(high, &r);
    const LPARAM inside = MAKELPARAM(r.right / 2, r.bottom / 2);
    SendMessageW(high, WM_LBUTTONDOWN, MK_LBUTTON, inside);
    PumpMessages();
    EXPECT_FLOAT_EQ(Value(2), 2.0f) << "the press sets the value";
    ASSERT_FALSE(recorder.calls.empty());
    EXPECT_EQ(recorder.calls.front().kind, 'B');
    SendMessageW(high, WM_LBUTTONUP, 0, inside);
    PumpMessages();
    ASSERT_FALSE(recorder.calls.empty());
    EXPECT_EQ(recorder.calls.back().kind, 'E') << "the click closes the capture";
    EXPECT_EQ(BST_CHECKED, SendMessageW(high, BM_GETCHECK, 0, 0));

    // A leave without a press is no click: nothing changes.
    const size_t before = recorder.calls.size();
    SendMessageW(Item(IDC_TYPE_BAND), WM_MOUSELEAVE, 0, 0);
    PumpMessages();
    EXPECT_EQ(recorder.calls.size(), before);
    EXPECT_FLOAT_EQ(Value(2), 2.0f);

    SendMessageW(Item(IDC_ORDER_FOURTH), BM_CLICK, 0, 0);
    PumpMessages();
    EXPECT_FLOAT_EQ(Value(3), 1.0f);
    ui->SetUICallback(nullptr);
    ui->Release();
}

TEST_F(PageHost, FollowsTheHostAndPresets) {
    Open();
    params->SetParam(0, 440.0f);
    PumpMessages();
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"440");
    EXPECT_EQ(SliderPos(IDC_FREQUENCY_SLIDER), 440);

    IFilterPresets* presets = nullptr;
    filter->QueryInterface(IID_IFilterPresets, reinterpret_cast<void**>(&presets));
    presets->ApplyPreset(9);  // Light Chime: 900 Hz, 75 %
    presets->Release();
    PumpMessages();
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"900");
    EXPECT_EQ(Text(IDC_RESONANCE_EDIT), L"75.0");

    // The menu's PipSqueaking item, as the menu sends it.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(40512, 0), 0);
    PumpMessages();
    EXPECT_EQ(BST_CHECKED, SendMessageW(Item(IDC_TYPE_HIGH), BM_GETCHECK, 0, 0));
    EXPECT_EQ(BST_CHECKED, SendMessageW(Item(IDC_ORDER_FOURTH), BM_GETCHECK, 0, 0));
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"6,000");
    SaveScreenshot(window, "page-after-preset");

    // Bypass has no control: nothing on the page moves.
    params->SetParam(4, 1.0f);
    PumpMessages();
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"6,000");
}

// A burst of the filter's notices, as a host writing from another thread raises them, is one
// refresh showing the last values; a command of another kind behind them is still delivered.
TEST_F(PageHost, ABurstOfNoticesIsOneRefresh) {
    Open();
    for (int k = 1; k <= 200; ++k)
        params->SetParam(0, float(100 + k));
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_TYPE_BAND, 0), 0);
    MSG first;
    ASSERT_TRUE(PeekMessageW(&first, window, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    ASSERT_EQ(LOWORD(first.wParam), ID_PAGE_NOTIFY);
    DispatchMessageW(&first);
    EXPECT_EQ(Text(IDC_FREQUENCY_EDIT), L"300");
    MSG next;
    ASSERT_TRUE(PeekMessageW(&next, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        << "the command behind the notices was dropped too";
    EXPECT_EQ(LOWORD(next.wParam), IDC_TYPE_BAND);
    EXPECT_FALSE(PeekMessageW(&next, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
}

TEST_F(PageHost, AnEnvelopeDrivesTheControlsWhileStreaming) {
    Open();
    MP_ENVELOPE_SEGMENT sweep{};
    sweep.rtStart = 0;
    sweep.rtEnd = 600000000;  // a minute
    sweep.valStart = 20;
    sweep.valEnd = 20000;
    sweep.iCurve = MP_CURVE_LINEAR;
    ASSERT_EQ(S_OK, params->AddEnvelope(0, 1, &sweep));
    IDirectProcess* direct = nullptr;
    filter->QueryInterface(IID_IDirectProcess, reinterpret_cast<void**>(&direct));
    ASSERT_EQ(S_OK, direct->Init(1, 48000));
    std::atomic<bool> run{true};
    // Ten seconds of stream time every real second, so the sweep visibly moves.
    std::thread streaming([&] {
        std::vector<float> block(4800);
        while (run) {
            direct->Process(block.data(), UINT(block.size()), 0);
            Sleep(10);
        }
    });
    auto pumpFor = [](DWORD ms) {
        const DWORD begin = GetTickCount();
        while (GetTickCount() - begin < ms) {
            PumpMessages();
            Sleep(5);
        }
    };
    pumpFor(150);
    EXPECT_FALSE(IsWindowEnabled(Item(IDC_FREQUENCY_EDIT))) << "driven: no typing";
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_RESONANCE_EDIT)));
    const LONG first = SliderPos(IDC_FREQUENCY_SLIDER);
    pumpFor(300);
    const LONG later = SliderPos(IDC_FREQUENCY_SLIDER);
    EXPECT_GT(later, first) << "the slider follows the sweep";
    EXPECT_GT(first, 20);
    SaveScreenshot(window, "page-during-automation");
    run = false;
    streaming.join();
    direct->Stop();
    pumpFor(150);
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_FREQUENCY_EDIT))) << "enabled again once not driven";
    direct->Release();
}

}  // namespace
