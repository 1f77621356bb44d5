// A server and its clients in one process, over loopback (127.0.0.1 only):
// joining, the lobby each sees, ready marks, the countdown and the stop.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "net/GameServer.h"
#include "net/NetClient.h"
#include "net/ServerSearch.h"

namespace {

constexpr std::uint32_t KestrelSum = 0x5EEDF00Du;

Lobby::Settings Settings(unsigned maxPlayers = 8, std::string password = "") {
    Lobby::Settings s;
    s.serverName = "Loopback";
    s.maxPlayers = maxPlayers;
    s.password = std::move(password);
    s.gameVersion = "0.1";
    s.choice.track = {"KestrelPass", false, KestrelSum};
    s.choice.opponents = 2;
    return s;
}

/// A client's track: KestrelPass forward with `checksum`, nothing else.
NetClient::TrackLookup Has(std::uint32_t checksum) {
    return [checksum](const std::string& key, bool reverse) {
        return key == "KestrelPass" && !reverse ? checksum : 0u;
    };
}

class LoopbackTest : public ::testing::Test {
protected:
    void StartServer(Lobby::Settings lobby) {
        GameServer::Settings settings;
        settings.address = "127.0.0.1";
        settings.port = 0;
        settings.lobby = std::move(lobby);
        server = std::make_unique<GameServer>(settings);
        ASSERT_TRUE(server->Start());
        ASSERT_NE(server->GetPort(), 0);
    }

    void Join(NetClient& client, const std::string& name, std::uint32_t checksum, const std::string& password = "") {
        ASSERT_TRUE(client.Connect("127.0.0.1", server->GetPort(), {name, "NissanSkyline", password, "0.1"},
                                   Has(checksum)));
    }

    /// Ticks the server and services the clients until `done`, for at most
    /// `seconds` and a bounded number of rounds.
    bool PumpUntil(const std::function<bool()>& done, std::initializer_list<NetClient*> clients,
                   double seconds = 5.0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (int round = 0; round < 20000 && std::chrono::steady_clock::now() < deadline; ++round) {
            if (server) server->Tick(GameServer::TickS, 1);
            bool waited = server != nullptr;
            for (NetClient* c : clients) {
                c->Service(waited ? 0 : 1);
                waited = true;
            }
            if (done()) return true;
        }
        return false;
    }

    static bool InLobbyWith(const NetClient& c, std::size_t players) {
        return c.GetState() == NetClient::State::InLobby && c.GetLobby().players.size() == players;
    }

    std::unique_ptr<GameServer> server;
};

}  // namespace

TEST_F(LoopbackTest, PlayersSeeEachOtherAndOneWithAnotherTrackCannotBeReady) {
    StartServer(Settings());
    NetClient ann, bob;
    Join(ann, "Ann", KestrelSum);
    Join(bob, "Bob", KestrelSum + 1);  // another version of the track
    // Both in, the server has both tracks' reports, and both have been told.
    ASSERT_TRUE(PumpUntil([&] {
        const Lobby& lobby = server->GetLobby();
        const bool reported = lobby.GetPlayers().size() == 2 && !lobby.GetPlayers()[1].track.key.empty() &&
                              !lobby.GetPlayers()[0].track.key.empty();
        return reported && InLobbyWith(ann, 2) && InLobbyWith(bob, 2) && ann.GetLobby().players[0].trackOk &&
               bob.GetLobby().players[0].trackOk;
    }, {&ann, &bob}));
    // Both see both, with their cars, and which of them has the track.
    for (const NetClient* c : {&ann, &bob}) {
        const auto& players = c->GetLobby().players;
        EXPECT_EQ(players[0].name, "Ann");
        EXPECT_EQ(players[1].name, "Bob");
        EXPECT_EQ(players[1].car, "NissanSkyline");
        EXPECT_TRUE(players[0].trackOk);
        EXPECT_FALSE(players[1].trackOk);
        EXPECT_EQ(c->GetChoice().track.key, "KestrelPass");
        EXPECT_EQ(c->GetChoice().opponents, 2);
        EXPECT_EQ(c->GetServerName(), "Loopback");
    }
    EXPECT_NE(ann.GetPlayerId(), bob.GetPlayerId());

    ASSERT_TRUE(bob.SetReady(true));
    std::vector<std::string> notices;
    ASSERT_TRUE(PumpUntil([&] {
        for (std::string& n : bob.TakeNotices()) notices.push_back(n);
        return !notices.empty();
    }, {&ann, &bob}));
    EXPECT_EQ(notices, std::vector<std::string>{"Missing track KestrelPass (or another version of it)"});

    // Ann ready, Bob not: no countdown; Bob leaves, and Ann alone is all ready.
    ASSERT_TRUE(ann.SetReady(true));
    ASSERT_TRUE(PumpUntil([&] { return ann.GetLobby().players[0].ready; }, {&ann, &bob}));
    EXPECT_EQ(ann.GetCountdownCount(), 0u);
    EXPECT_FALSE(bob.GetLobby().players[1].ready);
    const std::uint8_t bobId = bob.GetPlayerId();
    bob.Disconnect();
    std::vector<Protocol::PlayerLeft> left;
    ASSERT_TRUE(PumpUntil([&] {
        for (const auto& l : ann.TakeLeft()) left.push_back(l);
        return !left.empty() && ann.GetCountdownCount() == 1;
    }, {&ann}));
    EXPECT_EQ(left[0].playerId, bobId);
    EXPECT_EQ(left[0].reason, Protocol::LeaveReason::Left) << "on purpose, not timed out";
    EXPECT_EQ(ann.GetLastCountdownMs(), 4000);
    EXPECT_EQ(server->GetLobby().GetPlayers().size(), 1u);
}

TEST_F(LoopbackTest, AllReadyStartsTheCountdownForEveryone) {
    StartServer(Settings());
    NetClient ann, bob;
    Join(ann, "Ann", KestrelSum);
    Join(bob, "Ann", KestrelSum);  // the same name: the server tells them apart
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(ann, 2) && InLobbyWith(bob, 2); }, {&ann, &bob}));
    EXPECT_EQ(bob.GetLobby().players[1].name, "Ann (2)");
    ann.SetReady(true);
    bob.SetReady(true);
    ASSERT_TRUE(PumpUntil([&] { return ann.GetCountdownCount() == 1 && bob.GetCountdownCount() == 1; }, {&ann, &bob}));
    EXPECT_EQ(bob.GetLastCountdownMs(), 4000);
    EXPECT_TRUE(ann.TakeNotices().empty());
}

TEST_F(LoopbackTest, WrongPasswordAndFullServerAreRefusedWithOneLine) {
    StartServer(Settings(2, "letmein"));
    NetClient wrong;
    Join(wrong, "Eve", KestrelSum, "guess");
    ASSERT_TRUE(PumpUntil([&] { return wrong.GetState() == NetClient::State::Refused; }, {&wrong}));
    EXPECT_EQ(wrong.GetLine(), "Wrong password");

    NetClient a, b, third;
    Join(a, "A", KestrelSum, "letmein");
    Join(b, "B", KestrelSum, "letmein");
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(a, 2) && InLobbyWith(b, 2); }, {&a, &b}));
    Join(third, "C", KestrelSum, "letmein");
    ASSERT_TRUE(PumpUntil([&] { return third.GetState() == NetClient::State::Refused; }, {&a, &b, &third}));
    EXPECT_EQ(third.GetLine(), "Server is full (2 / 2)");
    // The refused one does not show in the lobby.
    EXPECT_EQ(a.GetLobby().players.size(), 2u);
}

TEST_F(LoopbackTest, StopTellsEveryClientServerStopped) {
    StartServer(Settings());
    NetClient ann, bob;
    Join(ann, "Ann", KestrelSum);
    Join(bob, "Bob", 0);
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(ann, 2) && InLobbyWith(bob, 2); }, {&ann, &bob}));
    // The clients go on servicing their links while the server waits for them to close.
    std::atomic<bool> done{false};
    std::thread clients([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done && std::chrono::steady_clock::now() < deadline) {
            ann.Service(2);
            bob.Service(2);
        }
    });
    const auto start = std::chrono::steady_clock::now();
    server->Stop();
    const double stopS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    done = true;
    clients.join();
    // Both links closed cleanly, before the stop would have cut them off.
    EXPECT_LT(stopS, GameServer::StopWaitMs / 1000.0 * 0.9);
    EXPECT_EQ(ann.GetState(), NetClient::State::Stopped);
    EXPECT_EQ(ann.GetLine(), "Server stopped");
    EXPECT_EQ(bob.GetLine(), "Server stopped");
}

TEST_F(LoopbackTest, NoServerThereOrALostOneEndsInOneLine) {
    StartServer(Settings());
    NetClient joined;
    Join(joined, "Ann", KestrelSum);
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(joined, 1); }, {&joined}));
    // The server's machine goes away without a word; its port is then one
    // nobody listens on.
    const std::uint16_t port = server->GetPort();
    server.reset();
    NetClient lonely;
    ASSERT_TRUE(lonely.Connect("127.0.0.1", port, {"Bob", "NissanSkyline", "", "0.1"}, Has(KestrelSum)));
    // ENet gives up after the silence timeout and its own retries: a few seconds.
    ASSERT_TRUE(PumpUntil([&] {
        return lonely.GetState() == NetClient::State::Lost && joined.GetState() == NetClient::State::Lost;
    }, {&lonely, &joined}, 20.0));
    EXPECT_EQ(lonely.GetLine(), "No server answers at 127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(joined.GetLine(), "Lost the connection to the server");
    NetClient badName;
    EXPECT_FALSE(badName.Connect("127.0.0.1", port, {"", "NissanSkyline", "", "0.1"}, Has(0)));
    EXPECT_EQ(badName.GetState(), NetClient::State::Lost);
}

TEST_F(LoopbackTest, SearchFindsTheServerAndItsLobby) {
    Lobby::Settings lobby = Settings(6, "pw");
    GameServer::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.discoveryPort = 0;  // the system's pick: no other test's server answers here
    settings.lobby = lobby;
    server = std::make_unique<GameServer>(settings);
    ASSERT_TRUE(server->Start());
    ASSERT_NE(server->GetDiscoveryPort(), 0);
    NetClient ann;
    Join(ann, "Ann", KestrelSum, "pw");
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(ann, 1); }, {&ann}));

    ServerSearch search;
    ASSERT_TRUE(search.StartAt("127.0.0.1", server->GetDiscoveryPort()));
    ASSERT_TRUE(PumpUntil([&] {
        search.Poll(0);
        return !search.GetFound().empty();
    }, {&ann}));
    const ServerSearch::Found& found = search.GetFound()[0];
    EXPECT_EQ(found.address, "127.0.0.1");
    EXPECT_EQ(found.info.port, server->GetPort());
    EXPECT_EQ(found.info.name, "Loopback");
    EXPECT_EQ(found.info.players, 1);
    EXPECT_EQ(found.info.maxPlayers, 6);
    EXPECT_TRUE(found.info.password);
    EXPECT_EQ(found.info.choice.track.key, "KestrelPass");
    EXPECT_EQ(found.info.gameVersion, "0.1");
}

TEST_F(LoopbackTest, SearchAnswersAreFewAndNeverLargerThanTheQuestion) {
    GameServer::Settings settings;
    settings.address = "127.0.0.1";
    settings.port = 0;
    settings.discoveryPort = 0;
    settings.lobby = Settings();
    server = std::make_unique<GameServer>(settings);
    ASSERT_TRUE(server->Start());
    // A flood of questions from one socket, some of them garbage: answered
    // at the rate, the garbage not at all.
    const int s = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(s, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server->GetDiscoveryPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::vector<std::uint8_t> question = Discovery::EncodeRequest(77);
    std::vector<std::uint8_t> shortQuestion(question.begin(), question.begin() + 20);
    for (int i = 0; i < 100; ++i) {
        const std::vector<std::uint8_t>& q = i % 2 ? question : shortQuestion;
        sendto(s, q.data(), q.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    // Well within a second of the server's clock.
    for (int i = 0; i < 10; ++i) server->Tick(GameServer::TickS, 1);
    unsigned answers = 0;
    std::uint8_t buffer[1024];
    for (ssize_t got; (got = recv(s, buffer, sizeof buffer, 0)) > 0;) {
        ++answers;
        EXPECT_LE(static_cast<std::size_t>(got), question.size());
        Discovery::ServerInfo info;
        EXPECT_TRUE(Discovery::DecodeAnswer(buffer, static_cast<std::size_t>(got), 77, info));
        EXPECT_FALSE(Discovery::DecodeAnswer(buffer, static_cast<std::size_t>(got), 78, info)) << "another search's";
    }
    close(s);
    EXPECT_EQ(answers, DiscoveryResponder::MaxAnswersPerS);
}

TEST_F(LoopbackTest, AnotherVersionIsRefusedInWordsAndASilentLinkIsClosed) {
    StartServer(Settings());
    NetHost future, silent;
    ASSERT_TRUE(future.Connect("127.0.0.1", server->GetPort(), Protocol::MaxMessageBytes));
    ASSERT_TRUE(silent.Connect("127.0.0.1", server->GetPort(), Protocol::MaxMessageBytes));
    struct Seen {
        bool up = false, closed = false;
        std::vector<std::string> lines;
    } futureSeen, silentSeen;
    const auto take = [](NetHost& host, Seen& seen) {
        NetHost::Event event;
        while (host.Service(event, 0)) {
            seen.up = seen.up || event.type == NetHost::Event::Type::Connected;
            seen.closed = seen.closed || event.type == NetHost::Event::Type::Disconnected;
            Protocol::Message m;
            std::string problem;
            if (event.type == NetHost::Event::Type::Received &&
                Protocol::Decode(event.data.data(), event.data.size(), m, problem) &&
                std::holds_alternative<Protocol::Refused>(m))
                seen.lines.push_back(std::get<Protocol::Refused>(m).line);
        }
    };
    const auto pump = [&](const std::function<bool()>& done) {
        return PumpUntil([&] {
            take(future, futureSeen);
            take(silent, silentSeen);
            return done();
        }, {});
    };
    ASSERT_TRUE(pump([&] { return futureSeen.up && silentSeen.up; }));
    // A later version's hello, whose rest this version cannot read.
    future.Send(0, NetHost::Reliable, {static_cast<std::uint8_t>(Protocol::Type::Hello), Protocol::Version + 1, 0, 3,
                                       '0', '.', '2', 0xFF, 0xFE});
    ASSERT_TRUE(pump([&] { return futureSeen.closed; }));
    EXPECT_EQ(futureSeen.lines, std::vector<std::string>{"The server runs version 0.1, this game 0.2"});
    // The silent one goes once the server's clock has run past the hello's time.
    ASSERT_TRUE(pump([&] { return silentSeen.closed; }));
    EXPECT_EQ(silentSeen.lines, std::vector<std::string>{"Removed: no hello"});
    EXPECT_TRUE(server->GetLobby().GetPlayers().empty());
}

TEST_F(LoopbackTest, ASilentPlayerIsDroppedAndTheOthersAreTold) {
    StartServer(Settings());
    NetClient ann;
    auto bob = std::make_unique<NetClient>();
    Join(ann, "Ann", KestrelSum);
    Join(*bob, "Bob", KestrelSum);
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(ann, 2) && InLobbyWith(*bob, 2); }, {&ann, bob.get()}));
    // Bob's machine goes away without a word: his link falls silent.
    bob.reset();
    std::vector<Protocol::PlayerLeft> left;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpUntil([&] {
        for (const auto& l : ann.TakeLeft()) left.push_back(l);
        return !left.empty();
    }, {&ann}, 10.0));
    const double silentS = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(left[0].reason, Protocol::LeaveReason::TimedOut);
    EXPECT_GE(silentS, NetHost::SilenceTimeoutMs / 1000.0 * 0.9);
    EXPECT_LT(silentS, NetHost::SilenceTimeoutMs / 1000.0 + 2.0);
    ASSERT_TRUE(PumpUntil([&] { return InLobbyWith(ann, 1); }, {&ann}));
}
