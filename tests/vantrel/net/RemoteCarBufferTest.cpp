// The buffer of another car's states: drawn behind, blended, carried on
// when states are late, then held as lagging.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "net/RemoteCarBuffer.h"
#include "race/FixedTick.h"

namespace {

// A car going 30 m/s along +y; its state at tick `tick`.
Protocol::CarState Along(std::uint32_t tick) {
    Protocol::CarState state;
    state.tick = tick;
    state.sample.positionM = vmath::vec3<float>(0.0f, static_cast<float>(30.0 * tick * FixedTick::TickS), 0.0f);
    state.sample.speedMs = 30.0f;
    return state;
}

double TrueY(double senderS) { return 30.0 * senderS; }

}  // namespace

TEST(RemoteCarBufferTest, ShowsTheCarBehindTheSenderBetweenItsStatesThenCarriesItOnThenHoldsIt) {
    RemoteCarBuffer buffer;
    RemoteCarBuffer::Shown shown;
    EXPECT_FALSE(buffer.At(0.0, shown)) << "nothing before the first state";
    // 30 states a second for two seconds, each 50 ms on the way.
    const double latencyS = 0.05;
    for (std::uint32_t tick = 0; tick <= 240; tick += 4) buffer.Push(Along(tick), tick * FixedTick::TickS + latencyS);
    EXPECT_NEAR(buffer.GetOffsetS(), -latencyS, 1e-9);
    const double lastArrivalS = 240 * FixedTick::TickS + latencyS;
    // Shown DelayS behind the sender's clock: blended, on the true path.
    ASSERT_TRUE(buffer.At(lastArrivalS, shown));
    EXPECT_NEAR(shown.senderS, 2.0 - RemoteCarBuffer::DelayS, 1e-6);
    EXPECT_NEAR(shown.sample.positionM.y, TrueY(shown.senderS), 1e-3);
    EXPECT_NEAR(shown.velocityMs.y, 30.0f, 1e-3f);
    EXPECT_FALSE(shown.lagging);
    EXPECT_EQ(shown.aheadS, 0.0);
    // No state comes: carried on at its speed up to MaxExtrapolationS past the last...
    ASSERT_TRUE(buffer.At(lastArrivalS + 0.3, shown));
    EXPECT_NEAR(shown.sample.positionM.y, TrueY(shown.senderS), 1e-3);
    EXPECT_NEAR(shown.aheadS, 0.3 - RemoteCarBuffer::DelayS, 1e-6);
    EXPECT_FALSE(shown.lagging);
    // ...then held there, lagging, however long it waits.
    ASSERT_TRUE(buffer.At(lastArrivalS + 5.0, shown));
    EXPECT_TRUE(shown.lagging);
    EXPECT_NEAR(shown.sample.positionM.y, TrueY(2.0 + RemoteCarBuffer::MaxExtrapolationS), 1e-3);
    EXPECT_EQ(shown.velocityMs.y, 0.0f);
    // States again: it comes back from its mark.
    buffer.Push(Along(960), 960 * FixedTick::TickS + latencyS);
    buffer.Push(Along(964), 964 * FixedTick::TickS + latencyS);
    ASSERT_TRUE(buffer.At(964 * FixedTick::TickS + latencyS + 0.05, shown));
    EXPECT_FALSE(shown.lagging);
}

TEST(RemoteCarBufferTest, JitteredReorderedAndLostStatesStillGiveTheTruePath) {
    RemoteCarBuffer buffer;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> jitter(-0.02, 0.02), unit(0.0, 1.0);
    RemoteCarBuffer::Shown shown;
    double worstM = 0.0;
    std::vector<std::pair<double, Protocol::CarState>> onTheWay;
    for (std::uint32_t tick = 0; tick <= 1200; ++tick) {
        const double nowS = tick * FixedTick::TickS;
        if (tick % 4 == 0 && unit(random) >= 0.05) onTheWay.push_back({nowS + 0.1 + jitter(random), Along(tick)});
        // What has arrived, in the order it arrives: a later one may overtake.
        for (auto it = onTheWay.begin(); it != onTheWay.end();)
            if (it->first <= nowS) {
                buffer.Push(it->second, nowS);
                it = onTheWay.erase(it);
            } else {
                ++it;
            }
        if (tick > 120 && buffer.At(nowS, shown)) {
            EXPECT_FALSE(shown.lagging) << tick;
            worstM = std::max(worstM, std::fabs(shown.sample.positionM.y - TrueY(shown.senderS)));
        }
    }
    EXPECT_LT(worstM, 0.05);
    // A state older than the newest kept changes nothing.
    const std::size_t kept = buffer.GetCount();
    buffer.Push(Along(4), 10.0);
    EXPECT_EQ(buffer.GetCount(), kept);
}
