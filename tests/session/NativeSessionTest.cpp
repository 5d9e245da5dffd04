// Thousands of seeded host sessions on the portable core, each checked step by step against the
// store model, and their output against the signal model along the automation.
// RF_SESSIONS asks for more (or fewer) sessions; RF_SESSION_SEED replays one seed and prints its
// steps with the values after each.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "NativeSessionRunner.h"
#include "SessionScript.h"

namespace {

constexpr uint64_t kRunSeed = 0x5E5510DE7E57ull;
constexpr uint64_t kDefaultSessions = 3000;
constexpr int kFailuresShown = 25;

std::string SeedText(uint64_t seed) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, seed);
    return text;
}

TEST(NativeSessions, HostSessionsKeepValuesClockAndAudioAsTheModelSays) {
    if (const char* one = std::getenv("RF_SESSION_SEED")) {
        const uint64_t seed = std::strtoull(one, nullptr, 0);
        const std::string failure = RunNativeSession(GenerateSession(seed), true);
        EXPECT_TRUE(failure.empty()) << "seed " << SeedText(seed) << ": " << failure;
        return;
    }
    const char* asked = std::getenv("RF_SESSIONS");
    const uint64_t sessions = asked ? std::strtoull(asked, nullptr, 0) : kDefaultSessions;
    uint64_t failing = 0;
    std::map<std::string, int> byCheck;
    SignalCoverage compared;
    for (uint64_t n = 0; n < sessions; ++n) {
        const uint64_t seed = SessionSeed(kRunSeed, n);
        const std::string failure = RunNativeSession(GenerateSession(seed), false, &compared);
        if (failure.empty()) continue;
        ++failing;
        // The word after the step names the check, for the summary.
        const size_t what = failure.find("): ") + 3;
        ++byCheck[failure.substr(what, failure.find(':', what) - what)];
        if (failing <= kFailuresShown) {
            ADD_FAILURE() << "seed " << SeedText(seed) << ", " << failure
                          << "\n  replay: RF_SESSION_SEED=" << SeedText(seed);
        }
    }
    std::string summary;
    for (const auto& check : byCheck)
        summary += "\n  " + std::to_string(check.second) + " x " + check.first;
    EXPECT_EQ(failing, 0u) << failing << " of " << sessions << " sessions failed:" << summary;
    std::printf("%" PRIu64 " of %" PRIu64 " buffers (%" PRIu64
                " frames) compared with the signal model, %" PRIu64
                " of them under ramps; the model took up the core's state %" PRIu64 " times\n",
                compared.buffers, compared.filtered, compared.frames, compared.ramped,
                compared.adopted);
    // A model that stops following the core would pass everything by comparing nothing; about
    // thirteen buffers a session are compared, one of them under ramps.
    if (sessions >= 100) {
        EXPECT_GE(compared.buffers, 11 * sessions) << "too few buffers compared";
        EXPECT_GE(compared.ramped, sessions / 2) << "too few buffers compared under ramps";
    }
}

// Failing seeds are exchanged between the native run and the one through the DLL, so a seed must
// mean the same steps in both builds.
TEST(SessionScript, ASeedGivesTheSameStepsInEveryBuild) {
    uint64_t digest = 0;
    for (uint64_t n = 0; n < 16; ++n)
        digest = digest * 31 + SessionDigest(GenerateSession(SessionSeed(kRunSeed, n)));
    EXPECT_EQ(digest, 0xd815fcfb104275fcull) << SeedText(digest);
}

}  // namespace
