// The lobby's rules without the network: who may join, who may be ready,
// and when the countdown runs.
#include <gtest/gtest.h>

#include "net/Lobby.h"

namespace {

constexpr std::uint32_t KestrelSum = 0x1234ABCDu;

Lobby::Settings Settings(unsigned maxPlayers = 4, std::string password = "") {
    Lobby::Settings s;
    s.serverName = "Test";
    s.maxPlayers = maxPlayers;
    s.password = std::move(password);
    s.gameVersion = "0.1";
    s.choice.track = {"KestrelPass", false, KestrelSum};
    return s;
}

Protocol::Hello Hello(const std::string& name, std::uint32_t checksum = KestrelSum) {
    return {Protocol::Version, "0.1", name, "NissanSkyline", "", {"KestrelPass", false, checksum}};
}

std::uint8_t Join(Lobby& lobby, const Protocol::Hello& hello) {
    std::uint8_t id = 255;
    std::string refusal;
    EXPECT_TRUE(lobby.Join(hello, id, refusal)) << refusal;
    return id;
}

}  // namespace

TEST(LobbyTest, RefusalsSayWhyInOneLine) {
    Lobby lobby(Settings(2, "pw"));
    std::uint8_t id = 0;
    std::string refusal;
    Protocol::Hello other = Hello("Ann");
    other.protocolVersion = Protocol::Version + 1;
    other.gameVersion = "0.2";
    other.password = "pw";
    EXPECT_FALSE(lobby.Join(other, id, refusal));
    EXPECT_EQ(refusal, "The server runs version 0.1, this game 0.2");
    Protocol::Hello wrong = Hello("Ann");
    wrong.password = "PW";
    EXPECT_FALSE(lobby.Join(wrong, id, refusal));
    EXPECT_EQ(refusal, "Wrong password");
    Protocol::Hello right = Hello("Ann");
    right.password = "pw";
    Join(lobby, right);
    Join(lobby, right);
    EXPECT_FALSE(lobby.Join(right, id, refusal));
    EXPECT_EQ(refusal, "Server is full (2 / 2)");
    EXPECT_EQ(lobby.GetPlayers().size(), 2u);
}

TEST(LobbyTest, PlayersGetFreeIdsAndNamesOfTheirOwn) {
    Lobby lobby(Settings(8));
    EXPECT_EQ(Join(lobby, Hello("Ann")), 0);
    EXPECT_EQ(Join(lobby, Hello("Ann")), 1);
    EXPECT_EQ(Join(lobby, Hello("Ann")), 2);
    // A name at the limit is cut to make room for its number.
    EXPECT_EQ(Join(lobby, Hello("abcdefghijklmnopqrstuvwx")), 3);
    EXPECT_EQ(Join(lobby, Hello("abcdefghijklmnopqrstuvwx")), 4);
    const Protocol::LobbyState state = lobby.GetState();
    ASSERT_EQ(state.players.size(), 5u);
    EXPECT_EQ(state.players[1].name, "Ann (2)");
    EXPECT_EQ(state.players[2].name, "Ann (3)");
    EXPECT_EQ(state.players[4].name, "abcdefghijklmnopqrst (2)");
    EXPECT_TRUE(Protocol::IsValidName(state.players[4].name));
    // A freed id is given again, and the lobby stays in id order.
    lobby.Leave(1);
    lobby.Leave(1);  // no longer there: ignored
    EXPECT_EQ(Join(lobby, Hello("Bob")), 1);
    EXPECT_EQ(lobby.GetState().players[1].name, "Bob");
}

TEST(LobbyTest, OnlyThoseWithTheServersTrackMayBeReady) {
    Lobby lobby(Settings());
    const std::uint8_t ann = Join(lobby, Hello("Ann"));
    const std::uint8_t missing = Join(lobby, Hello("Bob", 0));
    const std::uint8_t other = Join(lobby, Hello("Cy", KestrelSum + 1));
    std::string refusal;
    EXPECT_TRUE(lobby.SetReady(ann, true, refusal));
    for (const std::uint8_t id : {missing, other}) {
        refusal.clear();
        EXPECT_FALSE(lobby.SetReady(id, true, refusal));
        EXPECT_EQ(refusal, "Missing track KestrelPass (or another version of it)");
    }
    // The reversed way is another centre line: a report of the forward one does not do.
    Lobby reversed(Settings());
    Protocol::RaceChoice choice = reversed.GetChoice();
    choice.track.reverse = true;
    ASSERT_TRUE(reversed.SetChoice(choice));
    const std::uint8_t dan = Join(reversed, Hello("Dan"));
    EXPECT_FALSE(reversed.SetReady(dan, true, refusal));
    reversed.ReportTrack(dan, {"KestrelPass", true, KestrelSum});
    EXPECT_TRUE(reversed.SetReady(dan, true, refusal));
    // A report that no longer matches takes the mark away.
    reversed.ReportTrack(dan, {"KestrelPass", true, 5});
    EXPECT_FALSE(reversed.FindPlayer(dan)->ready);
    EXPECT_FALSE(reversed.GetState().players[0].trackOk);
}

TEST(LobbyTest, CountdownRunsOnceAllAreReadyAndStopsWhenOneIsNot) {
    Lobby lobby(Settings());
    const std::uint8_t ann = Join(lobby, Hello("Ann"));
    const std::uint8_t bob = Join(lobby, Hello("Bob"));
    std::string refusal;
    lobby.SetReady(ann, true, refusal);
    lobby.Step(10.0);
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Lobby) << "Bob is not ready";
    lobby.SetReady(bob, true, refusal);
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Countdown);
    EXPECT_DOUBLE_EQ(lobby.GetCountdownLeftS(), Lobby::CountdownS);
    lobby.Step(1.0);
    // One who joins now waits for the next race and holds nothing up.
    const std::uint8_t cy = Join(lobby, Hello("Cy"));
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Countdown);
    EXPECT_FALSE(lobby.FindPlayer(cy)->inRace);
    // Bob takes his mark back: called off, and Cy is in the next race.
    const std::uint64_t before = lobby.GetRevision();
    lobby.SetReady(bob, false, refusal);
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Lobby);
    EXPECT_GT(lobby.GetRevision(), before);
    EXPECT_TRUE(lobby.FindPlayer(cy)->inRace);
    lobby.SetReady(bob, true, refusal);
    lobby.SetReady(cy, true, refusal);
    ASSERT_EQ(lobby.GetPhase(), Protocol::Phase::Countdown);
    // Nothing can change the race while it counts down.
    EXPECT_FALSE(lobby.SetChoice(lobby.GetChoice()));
    lobby.Step(Lobby::CountdownS - 0.01);
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Countdown);
    lobby.Step(0.02);
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Racing);
    EXPECT_FALSE(lobby.SetReady(bob, true, refusal)) << "no mark during a race";
    lobby.EndRace();
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Lobby);
    for (const Lobby::Player& p : lobby.GetPlayers()) EXPECT_FALSE(p.ready) << p.name;
}

TEST(LobbyTest, TheLastReadyPlayerLeavingStartsOrStopsTheCountdown) {
    Lobby lobby(Settings());
    const std::uint8_t ann = Join(lobby, Hello("Ann"));
    const std::uint8_t bob = Join(lobby, Hello("Bob", 0));
    std::string refusal;
    lobby.SetReady(ann, true, refusal);
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Lobby);
    lobby.Leave(bob);  // the one not ready goes: the rest are all ready
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Countdown);
    lobby.Leave(ann);  // nobody left to race
    EXPECT_EQ(lobby.GetPhase(), Protocol::Phase::Lobby);
    // A new choice clears every mark.
    const std::uint8_t cy = Join(lobby, Hello("Cy"));
    const std::uint8_t dan = Join(lobby, Hello("Dan"));
    lobby.SetReady(cy, true, refusal);
    Protocol::RaceChoice choice = lobby.GetChoice();
    choice.mode = Protocol::Mode::TimeTrial;
    ASSERT_TRUE(lobby.SetChoice(choice));
    EXPECT_FALSE(lobby.FindPlayer(cy)->ready);
    EXPECT_FALSE(lobby.FindPlayer(dan)->ready);
}
