// C hosts call by slot, through vtable structs written apart from the C++ classes the DLL
// implements: a slot out of place there would call the wrong method of every filter.
#include <gtest/gtest.h>

#include <initguid.h>

#include "SlotCalls.h"

namespace {

// Each method answers its own slot number (IUnknown's take 0 to 2).
#define RF_SLOT(n, Method, ...)                              \
    HRESULT STDMETHODCALLTYPE Method(__VA_ARGS__) override { \
        return n;                                            \
    }
#define RF_UNKNOWN_SLOTS                                                \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { \
        return 0;                                                       \
    }                                                                   \
    ULONG STDMETHODCALLTYPE AddRef() override {                         \
        return 1;                                                       \
    }                                                                   \
    ULONG STDMETHODCALLTYPE Release() override {                        \
        return 2;                                                       \
    }
#define RF_SCALED_SLOTS(n, Name)          \
    RF_SLOT(n, GetScaled##Name, LONG*)    \
    RF_SLOT(n + 1, PutScaled##Name, LONG) \
    RF_SLOT(n + 2, BeginCapture##Name)    \
    RF_SLOT(n + 3, EndCapture##Name)      \
    RF_SLOT(n + 4, IsAutomated##Name)

struct SlotSettings : IFilterSettings {
    RF_UNKNOWN_SLOTS
    RF_SLOT(3, GetAllParams, float*)
    RF_SLOT(4, SetAllParams, const float*)
    RF_SLOT(5, GetWaveFormat, WAVEFORMATEX*)
    RF_SLOT(6, RegisterNotifyWindow, HWND, UINT)
    RF_SCALED_SLOTS(7, Frequency)
    RF_SCALED_SLOTS(12, Resonance)
    RF_SCALED_SLOTS(17, FilterType)
    RF_SCALED_SLOTS(22, FilterOrder)
    RF_SCALED_SLOTS(27, Bypass)
    RF_SCALED_SLOTS(32, WetDry)
};

struct SlotPresets : IFilterPresets {
    RF_UNKNOWN_SLOTS
    RF_SLOT(3, GetPresetCount, LONG*)
    RF_SLOT(4, GetPresetName, LONG, WCHAR*, LONG)
    RF_SLOT(5, ApplyPreset, LONG)
};

struct SlotDirect : IDirectProcess {
    RF_UNKNOWN_SLOTS
    RF_SLOT(3, Init, UINT, UINT)
    RF_SLOT(4, Process, float*, UINT, UINT)
    RF_SLOT(5, Drain, float*, UINT*)
    RF_SLOT(6, Stop)
    RF_SLOT(7, HasPendingChange)
    RF_SLOT(8, Refresh, BOOL, DWORD, DWORD)
};

template <size_t N>
void ExpectSlotOrder(const long (&answers)[N], const char* face) {
    for (size_t i = 0; i < N; ++i)
        EXPECT_EQ(answers[i], long(i)) << face << " call " << i;
}

TEST(CHosts, ReachTheSlotEachMethodNames) {
    SlotSettings settings;
    SlotPresets presets;
    SlotDirect direct;
    SlotAnswers answers{};
    CallEverySlot(&settings, &presets, &direct, &answers);
    ExpectSlotOrder(answers.settings, "IFilterSettings");
    ExpectSlotOrder(answers.presets, "IFilterPresets");
    ExpectSlotOrder(answers.direct, "IDirectProcess");
}

TEST(CppHosts, FindTheDeclaredIdentifierThroughUuidof) {
    EXPECT_TRUE(IsEqualGUID(__uuidof(IFilterSettings), IID_IFilterSettings));
    EXPECT_TRUE(IsEqualGUID(__uuidof(IFilterPresets), IID_IFilterPresets));
    EXPECT_TRUE(IsEqualGUID(__uuidof(IDirectProcess), IID_IDirectProcess));
}

}  // namespace
