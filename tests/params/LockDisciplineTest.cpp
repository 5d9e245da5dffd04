// No call to the host's UI callback may happen while the store lock is held: the callback here
// calls back into the store, on its own thread and on another one, from inside every call.
#include <chrono>
#include <future>

#include "support/RecordingCallback.h"
#include "support/StoreFixture.h"

namespace {

class LockDisciplineTest : public StoreTest {
  protected:
    void TearDown() override {
        store.SetUICallback(nullptr);
        StoreTest::TearDown();
    }

    // From inside each callback, another thread must get through the store lock. If the lock
    // were held, it would block until the callback returned and the wait would run out.
    void ProbeFromAnotherThread() {
        callback.hook = [this](const RecordingCallback::Call&) {
            auto other = std::async(std::launch::async, [this] {
                MP_DATA values[kParamCount];
                store.GetAllParams(values);
                return store.IsAutomated(kParamFrequency);
            });
            const bool finished =
                other.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
            ++probes;
            if (!finished) ++blocked;
        };
        ASSERT_EQ(store.SetUICallback(&callback), S_OK);
    }

    RecordingCallback callback;
    int probes = 0;
    int blocked = 0;
};

TEST_F(LockDisciplineTest, EveryCallOutHappensWithTheLockReleased) {
    ProbeFromAnotherThread();
    MP_DATA values[kParamCount] = {1000, 10, 1, 0, 0, 50};
    ASSERT_EQ(store.SetAllParams(values), S_OK);
    ASSERT_EQ(store.PutScaled(kParamResonance, 700), S_OK);
    ASSERT_EQ(store.BeginCapture(kParamWetDry), S_OK);
    ASSERT_EQ(store.PutScaled(kParamWetDry, 10), S_OK);
    ASSERT_EQ(store.EndCapture(kParamWetDry), S_OK);
    EXPECT_EQ(probes, 18 + 3 + 3);
    EXPECT_EQ(blocked, 0) << "a callback was made while the store lock was held";
}

TEST_F(LockDisciplineTest, ACallbackMayChangeTheStoreFromItsOwnThread) {
    // The host answers a change by setting another parameter and reading the whole set.
    callback.hook = [this](const RecordingCallback::Call& c) {
        if (c.kind != 'C' || c.index != kParamResonance) return;
        EXPECT_EQ(store.SetParam(kParamFrequency, 2000.0f), S_OK);
        MP_DATA values[kParamCount];
        EXPECT_EQ(store.GetAllParams(values), S_OK);
        EXPECT_EQ(values[kParamResonance], 40.0f);
    };
    ASSERT_EQ(store.SetUICallback(&callback), S_OK);
    ASSERT_EQ(store.PutScaled(kParamResonance, 400), S_OK);
    MP_DATA frequency = 0;
    ASSERT_EQ(store.GetParam(kParamFrequency, &frequency), S_OK);
    EXPECT_EQ(frequency, 2000.0f);
}

TEST_F(LockDisciplineTest, ACallbackThatUnregistersItselfIsNotUsedAfterward) {
    callback.hook = [this](const RecordingCallback::Call&) { store.SetUICallback(nullptr); };
    ASSERT_EQ(store.SetUICallback(&callback), S_OK);
    ASSERT_EQ(store.PutScaled(kParamResonance, 300), S_OK);
    // The bracket in flight completes on the reference the store took for it.
    EXPECT_EQ(callback.Sequence(), "B1 C1 E1");
    EXPECT_EQ(callback.refs, 0);
    ASSERT_EQ(store.PutScaled(kParamResonance, 310), S_OK);
    EXPECT_EQ(callback.calls.size(), 3u);
}

}  // namespace
