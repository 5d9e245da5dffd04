// The settings, presets and direct-processing faces, through the DLL.
#include <cmath>
#include <vector>

#include "FilterDll.h"
#include "platform/NullOwner.h"
#include "stream/StreamDriver.h"

namespace {

class FilterFacesTest : public FilterDllTest {
  protected:
    void SetUp() override {
        FilterDllTest::SetUp();
        ASSERT_EQ(dll.Create(IID_IFilterSettings, &settings), S_OK);
    }
    void TearDown() override {
        if (settings) {
            EXPECT_EQ(settings->Release(), 0u);
        }
    }
    template <typename T>
    T* Face(REFIID iid) {
        T* face = nullptr;
        EXPECT_EQ(settings->QueryInterface(iid, reinterpret_cast<void**>(&face)), S_OK);
        return face;
    }

    IFilterSettings* settings = nullptr;
};

TEST_F(FilterFacesTest, ANewFilterHoldsTheDefaultPresetAndNoFormat) {
    float v[6];
    ASSERT_EQ(settings->GetAllParams(v), S_OK);
    const float expected[6] = {20000, 0, 0, 0, 0, 100};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(v[i], expected[i]) << i;
    WAVEFORMATEX format;
    EXPECT_EQ(settings->GetWaveFormat(&format), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(settings->GetAllParams(nullptr), E_POINTER);
}

TEST_F(FilterFacesTest, ScaledPutsAreClampedAndAlwaysSucceed) {
    LONG hz = 0;
    EXPECT_EQ(settings->PutScaledFrequency(5), S_OK);
    ASSERT_EQ(settings->GetScaledFrequency(&hz), S_OK);
    EXPECT_EQ(hz, 20);
    EXPECT_EQ(settings->PutScaledFrequency(99999), S_OK);
    ASSERT_EQ(settings->GetScaledFrequency(&hz), S_OK);
    EXPECT_EQ(hz, 20000);
    EXPECT_EQ(settings->PutScaledFrequency(20000), S_OK) << "unchanged is still S_OK";
    EXPECT_EQ(settings->BeginCaptureWetDry(), S_OK);
    EXPECT_EQ(settings->BeginCaptureWetDry(), S_FALSE);
    EXPECT_EQ(settings->EndCaptureWetDry(), S_OK);
    EXPECT_EQ(settings->EndCaptureWetDry(), S_OK);
    EXPECT_EQ(settings->IsAutomatedWetDry(), S_FALSE);
}

// Windows of our own; WM_COMMAND notices are posted to this thread's queue.
HWND MakeWindow() {
    // Message-only windows need no display, so the test runs headless.
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr, nullptr,
                           nullptr);
}

std::vector<WPARAM> Notices(HWND window) {
    std::vector<WPARAM> seen;
    MSG msg;
    while (PeekMessageW(&msg, window, WM_COMMAND, WM_COMMAND, PM_REMOVE))
        seen.push_back(msg.wParam);
    return seen;
}

TEST_F(FilterFacesTest, NoticesReachTheRegisteredWindowsAndDeadOnesAreDropped) {
    HWND a = MakeWindow(), b = MakeWindow(), c = MakeWindow();
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(settings->RegisterNotifyWindow(a, 700), S_OK);
    EXPECT_EQ(settings->RegisterNotifyWindow(a, 701), S_OK) << "same window, same slot";
    EXPECT_EQ(settings->RegisterNotifyWindow(b, 702), S_OK);
    EXPECT_EQ(settings->RegisterNotifyWindow(c, 703), E_OUTOFMEMORY);

    IMediaParams* params = Face<IMediaParams>(IID_IMediaParams);
    ASSERT_EQ(params->SetParam(1, 50.0f), S_OK);
    EXPECT_EQ(Notices(a), (std::vector<WPARAM>{MAKEWPARAM(701, 0)}));
    EXPECT_EQ(Notices(b), (std::vector<WPARAM>{MAKEWPARAM(702, 0)}));

    IFilterPresets* presets = Face<IFilterPresets>(IID_IFilterPresets);
    DestroyWindow(b);
    ASSERT_EQ(presets->ApplyPreset(13), S_OK);
    EXPECT_EQ(Notices(a), (std::vector<WPARAM>{MAKEWPARAM(701, 100)}));
    EXPECT_EQ(settings->RegisterNotifyWindow(c, 703), S_OK) << "the dead window's slot is free";
    EXPECT_EQ(settings->RegisterNotifyWindow(a, 0), S_OK);
    ASSERT_EQ(params->SetParam(1, 60.0f), S_OK);
    EXPECT_TRUE(Notices(a).empty());
    EXPECT_EQ(Notices(c).size(), 1u);
    presets->Release();
    params->Release();
    DestroyWindow(a);
    DestroyWindow(c);
}

TEST_F(FilterFacesTest, PresetsAreListedAndApplied) {
    IFilterPresets* presets = Face<IFilterPresets>(IID_IFilterPresets);
    LONG count = 0;
    ASSERT_EQ(presets->GetPresetCount(&count), S_OK);
    EXPECT_EQ(count, 18);
    WCHAR name[64];
    ASSERT_EQ(presets->GetPresetName(13, name, 64), S_OK);
    EXPECT_STREQ(name, L"PipSqueaking");
    EXPECT_EQ(presets->GetPresetName(18, name, 64), E_INVALIDARG);
    EXPECT_EQ(presets->GetPresetName(0, nullptr, 64), E_POINTER);
    EXPECT_EQ(presets->ApplyPreset(-1), E_INVALIDARG);
    ASSERT_EQ(presets->ApplyPreset(13), S_OK);
    float v[6];
    ASSERT_EQ(settings->GetAllParams(v), S_OK);
    const float pip[6] = {6000, 100, 2, 1, 0, 100};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(v[i], pip[i]) << i;
    presets->Release();
}

TEST_F(FilterFacesTest, DirectProcessingMatchesTheCoreAndFollowsItsStates) {
    IDirectProcess* direct = Face<IDirectProcess>(IID_IDirectProcess);
    EXPECT_EQ(direct->Init(0, 44100), E_INVALIDARG);
    EXPECT_EQ(direct->Init(2, 0), E_INVALIDARG);
    const float v[6] = {900, 70, 1, 1, 0, 80};
    ASSERT_EQ(settings->SetAllParams(v), S_OK);
    ASSERT_EQ(direct->Init(2, 48000), S_OK);
    std::vector<float> drain(16);
    UINT frames = 8;
    EXPECT_EQ(direct->Drain(drain.data(), &frames), S_FALSE);
    EXPECT_EQ(frames, 0u);

    std::vector<float> viaDll(2 * 3000);
    for (size_t i = 0; i < viaDll.size(); ++i)
        viaDll[i] = float(std::sin(i * 0.37) * 0.4);
    std::vector<float> viaCore = viaDll;
    for (UINT at = 0; at < 3000; at += 750) {
        ASSERT_EQ(direct->Process(viaDll.data() + 2 * at, 750, 0), S_OK);
    }
    // The same core, linked into this program, fed the same way.
    NullOwner owner;
    HRESULT hr = E_FAIL;
    FilterDsp dsp(&owner, &hr);
    ASSERT_EQ(hr, S_OK);
    dsp.Store().SetAllParams(v);
    StreamDriver core(dsp);
    ASSERT_EQ(core.Init(2, 48000), S_OK);
    for (UINT at = 0; at < 3000; at += 750)
        core.Process(viaCore.data() + 2 * at, 750, 0);
    EXPECT_EQ(viaDll, viaCore);

    EXPECT_EQ(direct->HasPendingChange(), S_FALSE);
    EXPECT_EQ(direct->Refresh(FALSE, 0, 0), S_FALSE);
    ASSERT_EQ(settings->PutScaledResonance(100), S_OK);
    EXPECT_EQ(direct->HasPendingChange(), S_OK);
    EXPECT_EQ(direct->Refresh(TRUE, 0, 0), S_OK);
    EXPECT_EQ(direct->Stop(), S_OK);
    direct->Release();
}

}  // namespace
