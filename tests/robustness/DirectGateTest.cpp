// The direct float-buffer path and the pins share one driver: while the pins may stream, every
// direct call is refused and touches nothing. Under TSan any overlap of the two is reported.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/NullOwner.h"
#include "stream/DirectGate.h"
#include "stream/WaveFormatCheck.h"

namespace {

struct GatedFilter {
    GatedFilter() { EXPECT_EQ(created, S_OK); }
    NullOwner owner;
    HRESULT created = E_FAIL;
    FilterDsp dsp{&owner, &created};
    StreamDriver driver{dsp};
    DirectGate gate{driver};
};

TEST(DirectGate, DirectCallsAreRefusedWhileThePinsMayStream) {
    GatedFilter f;
    ASSERT_EQ(f.gate.Init(2, 44100), S_OK);
    EXPECT_TRUE(f.gate.PinsStarting()) << "the open direct session is ended";
    std::vector<float> buffer(64, 0.25f);
    UINT frames = 32;
    EXPECT_EQ(f.gate.Init(1, 48000), VFW_E_WRONG_STATE);
    EXPECT_EQ(f.gate.Process(buffer.data(), 32, 0), VFW_E_WRONG_STATE);
    EXPECT_EQ(f.gate.Drain(buffer.data(), &frames), VFW_E_WRONG_STATE);
    EXPECT_EQ(f.gate.Stop(), VFW_E_WRONG_STATE);
    EXPECT_EQ(f.gate.HasPendingChange(), VFW_E_WRONG_STATE);
    EXPECT_EQ(f.gate.Refresh(TRUE), VFW_E_WRONG_STATE);
    EXPECT_EQ(buffer, std::vector<float>(64, 0.25f));
    EXPECT_EQ(f.driver.Format().nChannels, 2) << "a refused Init stored its format";
    f.gate.PinsStopped();
    EXPECT_FALSE(f.gate.PinsStarting()) << "no session was open any more";
    f.gate.PinsStopped();
    EXPECT_EQ(f.gate.Init(1, 48000), S_OK);
    EXPECT_EQ(f.gate.Process(buffer.data(), 32, 0), S_OK);
}

TEST(DirectGate, AHostHammeringTheDirectPathNeverMeetsTheStreamingPins) {
    GatedFilter f;
    const WAVEFORMATEX pcm = MakeStoredFormat(WAVE_FORMAT_PCM, 2, 44100, 16);
    std::atomic<bool> done{false};
    std::atomic<long> refused{0}, served{0};
    std::thread host([&] {
        std::vector<float> buffer(2 * 300, 0.1f);
        while (!done) {
            const HRESULT results[] = {f.gate.Init(2, 48000), f.gate.Process(buffer.data(), 300, 0),
                                       f.gate.Refresh(FALSE), f.gate.Stop()};
            for (HRESULT hr : results) {
                ASSERT_TRUE(hr == S_OK || hr == S_FALSE || hr == VFW_E_WRONG_STATE) << hr;
                ++(hr == VFW_E_WRONG_STATE ? refused : served);
            }
        }
    });
    std::vector<short> samples(2 * 5000, 1200);
    for (int round = 0; round < 300; ++round) {
        f.gate.PinsStarting();
        f.driver.StoreFormat(pcm);
        ASSERT_EQ(f.driver.StartStreaming(), S_OK);
        DWORD n = 0;
        for (int b = 0; b < 4; ++b)
            ASSERT_EQ(f.driver.RunBuffer(samples.data(), 5000, kBlockContinue, &n), S_OK);
        f.driver.StopStreaming();
        f.gate.PinsStopped();
        std::this_thread::yield();
    }
    done = true;
    host.join();
    EXPECT_GT(refused.load() + served.load(), 0);
}

}  // namespace
