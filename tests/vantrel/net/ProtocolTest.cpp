// The message codec: what goes out comes back, and whatever else comes in
// (cut short, too long, garbage) is refused without reading past its end.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "net/ByteReader.h"
#include "net/Protocol.h"

namespace {

Protocol::CarState SomeCarState() {
    Protocol::CarState m;
    m.playerId = 3;
    m.tick = 123456;
    m.checkpoints = 2;
    m.recoveries = 3;
    RecordedRun::Sample& s = m.sample;
    s.positionM = {-388.25f, 90.5f, 12.125f};
    s.orientation = vmath::quat<float>(0.0f, 0.0f, std::sin(0.4f), std::cos(0.4f));
    s.speedMs = 41.27f;
    s.engineRpm = 6120.0f;
    s.steering = -0.5f;
    s.throttle = 0.8f;
    s.brake = 0.0f;
    s.gear = 4;
    for (int i = 0; i < RecordedRun::WheelCount; ++i) {
        s.wheelSpinRad[i] = 100.0f + i;  // unwrapped, as the recorder keeps it
        s.wheelSteerRad[i] = i < 2 ? 0.3f : 0.0f;
    }
    return m;
}

/// One of every message, each field away from its default.
// Every racer a server can have, each with a car key of the longest length.
Protocol::RaceStart FullGrid() {
    Protocol::RaceStart start;
    start.releaseTick = 480;
    for (std::uint8_t id = 0; id < Protocol::MaxRacers; ++id)
        start.grid.push_back({id, std::string(Protocol::MaxKeyLength, 'K')});
    return start;
}

std::vector<Protocol::Message> OneOfEach() {
    Protocol::TrackRef track{"KestrelPass", true, 0xDEADBEEFu};
    Protocol::LobbyState lobby;
    lobby.phase = Protocol::Phase::Countdown;
    for (std::uint8_t id = 0; id < Protocol::MaxPlayers; ++id)
        lobby.players.push_back({id, "Player " + std::to_string(id), "BugattiVeyron", id % 2 == 0, id != 3});
    const Protocol::Run run{track, "NissanSkyline", 175292u, 0x12345678u, 21515u, std::string(300, '\x9c')};
    Protocol::Board board{track, "NissanSkyline", {}};
    for (std::uint32_t i = 0; i < Protocol::MaxBoardLines; ++i)
        board.lines.push_back({i + 1, std::string(Protocol::MaxNameLength, 'N'), 170000u + i, -1700000000 + i});
    return {
        Protocol::Hello{Protocol::Version, "0.1", "Ann", "NissanSkyline", "secret", track},
        Protocol::Welcome{7, "Friday night", 8},
        Protocol::Refused{"Server is full (8 / 8)"},
        Protocol::RaceChoice{track, Protocol::Mode::TimeTrial, 7, Protocol::Difficulty::Hard},
        lobby,
        Protocol::TrackReport{track},
        Protocol::Ready{true},
        Protocol::Notice{"Missing track KestrelPass (or another version of it)"},
        Protocol::Countdown{4000},
        Protocol::ServerStopped{},
        Protocol::PlayerLeft{5, Protocol::LeaveReason::TimedOut},
        SomeCarState(),
        FullGrid(),
        Protocol::RaceResult{{{9, true, 183456u}, {2, true, 190001u}, {0, false, 0u}}},
        Protocol::CarStates{std::vector<Protocol::CarState>(Protocol::MaxRacers, SomeCarState())},
        Protocol::SubmitRun{run},
        Protocol::RunVerdict{true, 3, "3rd of 10 on KestrelPass"},
        Protocol::BoardRequest{track, "NissanSkyline"},
        board,
        Protocol::FetchRun{77},
        Protocol::FetchedRun{77, "Ann", run},
    };
}

bool Decode(const std::vector<std::uint8_t>& bytes, Protocol::Message& message) {
    std::string problem;
    return Protocol::Decode(bytes.data(), bytes.size(), message, problem);
}

}  // namespace

TEST(ProtocolTest, EveryMessageComesBackAsItWentOut) {
    for (const Protocol::Message& sent : OneOfEach()) {
        SCOPED_TRACE(static_cast<int>(Protocol::TypeOf(sent)));
        const std::vector<std::uint8_t> bytes = Protocol::Encode(sent);
        ASSERT_FALSE(bytes.empty());
        EXPECT_LE(bytes.size(), Protocol::MaxBytesOf(bytes[0]));
        Protocol::Message got;
        ASSERT_TRUE(Decode(bytes, got));
        ASSERT_EQ(got.index(), sent.index());
        // Whatever was quantised on the way comes out the same the second time.
        EXPECT_EQ(Protocol::Encode(got), bytes);
    }
    // The lobby's strings survive whole.
    Protocol::Message got;
    ASSERT_TRUE(Decode(Protocol::Encode(OneOfEach()[4]), got));
    const auto& lobby = std::get<Protocol::LobbyState>(got);
    ASSERT_EQ(lobby.players.size(), Protocol::MaxPlayers);
    EXPECT_EQ(lobby.players[5].name, "Player 5");
    EXPECT_FALSE(lobby.players[3].trackOk);
    EXPECT_TRUE(lobby.players[4].ready);
}

TEST(ProtocolTest, CarStateComesBackWithinItsSteps) {
    const Protocol::CarState sent = SomeCarState();
    Protocol::Message got;
    ASSERT_TRUE(Decode(Protocol::Encode(sent), got));
    const Protocol::CarState& m = std::get<Protocol::CarState>(got);
    const RecordedRun::Sample& a = sent.sample;
    const RecordedRun::Sample& b = m.sample;
    EXPECT_EQ(m.tick, sent.tick);
    EXPECT_EQ(m.playerId, sent.playerId);
    EXPECT_EQ(m.checkpoints, sent.checkpoints);
    EXPECT_EQ(m.recoveries, sent.recoveries);
    EXPECT_NEAR(b.positionM.x, a.positionM.x, 0.0051);  // to the centimetre
    EXPECT_NEAR(b.positionM.y, a.positionM.y, 0.0051);
    EXPECT_NEAR(b.positionM.z, a.positionM.z, 0.0051);
    EXPECT_NEAR(b.orientation.z, a.orientation.z, 1e-4);
    EXPECT_NEAR(b.orientation.w, a.orientation.w, 1e-4);
    EXPECT_NEAR(b.speedMs, a.speedMs, 0.005);
    EXPECT_NEAR(b.engineRpm, a.engineRpm, 25.0);
    EXPECT_NEAR(b.steering, a.steering, 1.0 / 127);
    EXPECT_NEAR(b.throttle, a.throttle, 1.0 / 255);
    EXPECT_EQ(b.gear, 4);
    for (int i = 0; i < RecordedRun::WheelCount; ++i) {
        // The spin stays home: the receiver turns the wheels by the speed.
        EXPECT_EQ(b.wheelSpinRad[i], 0.0f) << i;
        EXPECT_NEAR(b.wheelSteerRad[i], a.wheelSteerRad[i], 0.003) << i;
    }
}

TEST(ProtocolTest, EncoderRefusesWhatTheDecoderWouldRefuse) {
    Protocol::Hello hello{Protocol::Version, "0.1", "Ann", "NissanSkyline", "", {"GreenValley", false, 1}};
    EXPECT_FALSE(Protocol::Encode(hello).empty());
    const std::vector<std::pair<const char*, std::function<void(Protocol::Hello&)>>> bad = {
        {"a name of 25 characters", [](Protocol::Hello& h) { h.name = std::string(25, 'x'); }},
        {"an empty name", [](Protocol::Hello& h) { h.name.clear(); }},
        {"a name with a control", [](Protocol::Hello& h) { h.name = "Ann\n"; }},
        {"a name with a leading space", [](Protocol::Hello& h) { h.name = " Ann"; }},
        {"a car key with a slash", [](Protocol::Hello& h) { h.car = "../cars"; }},
        {"a track key with a dot", [](Protocol::Hello& h) { h.track.key = "Green.Valley"; }},
        {"a password of 33 characters", [](Protocol::Hello& h) { h.password = std::string(33, 'p'); }},
    };
    for (const auto& [what, spoil] : bad) {
        Protocol::Hello h = hello;
        spoil(h);
        EXPECT_TRUE(Protocol::Encode(h).empty()) << what;
    }
    Protocol::CarState state = SomeCarState();
    state.sample.positionM.y = std::numeric_limits<float>::quiet_NaN();
    EXPECT_TRUE(Protocol::Encode(state).empty()) << "a position not a number";
    state = SomeCarState();
    state.sample.gear = 12;
    EXPECT_TRUE(Protocol::Encode(state).empty()) << "gear 12";
    Protocol::LobbyState lobby;
    lobby.players.assign(Protocol::MaxPlayers + 1, {0, "A", "Car", false, false});
    EXPECT_TRUE(Protocol::Encode(lobby).empty()) << "nine players";

    // A run's inputs up to their bound, the largest message there is, and not a byte more.
    Protocol::SubmitRun submit{{{"KestrelPass", false, 1u}, "NissanSkyline", 1000u, 0u, 120u,
                                std::string(Protocol::MaxRunInputBytes, '\0')}};
    const std::vector<std::uint8_t> largest = Protocol::Encode(submit);
    ASSERT_FALSE(largest.empty());
    Protocol::Message got;
    std::string problem;
    EXPECT_TRUE(Protocol::Decode(largest.data(), largest.size(), got, problem)) << problem;
    submit.run.inputs.push_back('\0');
    EXPECT_TRUE(Protocol::Encode(submit).empty()) << "inputs past their bound";
    submit.run.inputs.clear();
    EXPECT_TRUE(Protocol::Encode(submit).empty()) << "a run without inputs";
    // Only a run's messages may be that long.
    std::vector<std::uint8_t> notice(largest.size(), 'x');
    notice[0] = static_cast<std::uint8_t>(Protocol::Type::Notice);
    EXPECT_FALSE(Protocol::Decode(notice.data(), notice.size(), got, problem));
}

TEST(ProtocolTest, TruncatedOversizedAndTrailingBytesAreRefused) {
    for (const Protocol::Message& sent : OneOfEach()) {
        const std::vector<std::uint8_t> bytes = Protocol::Encode(sent);
        SCOPED_TRACE(static_cast<int>(bytes[0]));
        // Every shorter prefix, copied so the sanitizer sees a read past it.
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + size);
            Protocol::Message got;
            std::string problem;
            EXPECT_FALSE(Protocol::Decode(cut.data(), cut.size(), got, problem)) << size << " bytes";
            EXPECT_FALSE(problem.empty());
        }
        std::vector<std::uint8_t> longer = bytes;
        longer.push_back(0);
        Protocol::Message got;
        EXPECT_FALSE(Decode(longer, got)) << "a byte left over";
    }
    std::vector<std::uint8_t> huge(Protocol::MaxMessageBytes + 1, 0);
    huge[0] = static_cast<std::uint8_t>(Protocol::Type::Notice);
    Protocol::Message got;
    std::string problem;
    EXPECT_FALSE(Protocol::Decode(huge.data(), huge.size(), got, problem));
    EXPECT_NE(problem.find("more than " + std::to_string(Protocol::MaxMessageBytes)), std::string::npos) << problem;
    EXPECT_FALSE(Protocol::Decode(nullptr, 10, got, problem));
}

TEST(ProtocolTest, GarbageInAnyFieldIsRefused) {
    const auto patched = [](const Protocol::Message& m, std::size_t offset, std::vector<std::uint8_t> with) {
        std::vector<std::uint8_t> bytes = Protocol::Encode(m);
        std::memcpy(bytes.data() + offset, with.data(), with.size());
        return bytes;
    };
    const std::vector<Protocol::Message> all = OneOfEach();
    const Protocol::Message& lobby = all[4];
    const Protocol::Message& choice = all[3];
    const Protocol::Message& state = all[11];
    const Protocol::Message& hello = all[0];
    const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> bad = {
        {"type 0", {0}},
        {"type 200", {200, 1, 2, 3}},
        // The lobby: phase byte, then the count.
        {"lobby phase 3", patched(lobby, 1, {3})},
        {"lobby of nine", patched(lobby, 2, {9})},
        {"ready mark 2", patched(all[6], 1, {2})},
        // The race choice: key length and key (12), reverse, checksum (4), mode.
        {"mode 2", patched(choice, 1 + 12 + 1 + 4, {2})},
        {"seven opponents and one", patched(choice, 1 + 12 + 1 + 4 + 1, {8})},
        {"difficulty 3", patched(choice, 1 + 12 + 1 + 4 + 2, {3})},
        {"reverse 7", patched(choice, 1 + 12, {7})},
        // The car state: id, tick (4), checkpoints, then the position.
        {"racer 15", patched(state, 1, {15})},
        // The start: release tick (2), the count, then each id and key.
        {"a grid of none", patched(all[12], 3, {0})},
        {"a grid of sixteen", patched(all[12], 3, {16})},
        {"a grid place of racer 15", patched(all[12], 4, {15})},
        // The result: the count, then each id, finished mark and time (4).
        {"a result of racer 200", patched(all[13], 2, {200})},
        {"a finished mark of 2", patched(all[13], 3, {2})},
        {"a result of more rows than it holds", patched(all[13], 1, {4})},
        // The car state: x, y, z (3 bytes each) after the checkpoints.
        {"x of 83 km", patched(state, 7, {0xFF, 0xFF, 0x7F})},
        {"a zero orientation", patched(state, 16, {0, 0, 0, 0, 0, 0, 0, 0})},
        {"gear 100", patched(state, 16 + 8 + 6, {100})},
        // The batch: its count, then the states as above.
        {"a batch of none", patched(all[14], 1, {0})},
        {"a batch of sixteen", patched(all[14], 1, {16})},
        {"a batch's state of racer 15", patched(all[14], 2, {15})},
        // The hello: version (2), game version (4), then the name's length and bytes.
        {"a name with a tab", patched(hello, 1 + 2 + 4 + 1, {'\t'})},
        {"a name with a byte over 126", patched(hello, 1 + 2 + 4 + 1, {0xC3})},
        {"a name longer than 24", patched(hello, 1 + 2 + 4, {30})},
        {"a length past the end", patched(all[7], 1, {255})},
        {"an empty notice", {static_cast<std::uint8_t>(Protocol::Type::Notice), 0}},
        {"countdown of 65 s", patched(all[8], 1, {0xE8, 0xFD})},
    };
    for (const auto& [what, bytes] : bad) {
        Protocol::Message got = Protocol::Ready{};
        EXPECT_FALSE(Decode(bytes, got)) << what;
        EXPECT_TRUE(std::holds_alternative<Protocol::Ready>(got)) << what << ": the message was changed";
    }
}

TEST(ProtocolTest, RandomBytesNeverDecodeIntoWhatCouldNotBeSent) {
    std::mt19937 random(39);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 80);
    const std::vector<Protocol::Message> all = OneOfEach();
    unsigned decoded = 0;
    for (int i = 0; i < 200000; ++i) {
        std::vector<std::uint8_t> bytes;
        if (i % 2 == 0) {
            // A real message with a few bytes changed reaches deeper than noise.
            bytes = Protocol::Encode(all[i / 2 % all.size()]);
            for (int flips = 1 + i % 3; flips > 0; --flips) bytes[byte(random) % bytes.size()] = byte(random);
        } else {
            bytes.resize(length(random));
            for (std::uint8_t& b : bytes) b = byte(random);
        }
        Protocol::Message got;
        std::string problem;
        if (!Protocol::Decode(bytes.data(), bytes.size(), got, problem)) continue;
        ++decoded;
        // Whatever the decoder takes, the encoder could have made.
        EXPECT_FALSE(Protocol::Encode(got).empty()) << "message type " << int(bytes[0]);
    }
    // Flipped bytes inside strings, checksums and floats still decode.
    EXPECT_GT(decoded, 1000u);
}

TEST(ProtocolTest, AHelloOfAnyVersionShowsItsVersions) {
    // A later version's hello: its head as ours, the rest of another shape.
    std::vector<std::uint8_t> future = {static_cast<std::uint8_t>(Protocol::Type::Hello), Protocol::Version + 1, 0,
                                        3, '0', '.', '2', 0xFF, 0xFE, 0xFD};
    Protocol::Message got;
    EXPECT_FALSE(Decode(future, got));
    std::uint16_t version = 0;
    std::string game;
    ASSERT_TRUE(Protocol::PeekHelloVersion(future.data(), future.size(), version, game));
    EXPECT_EQ(version, Protocol::Version + 1);
    EXPECT_EQ(game, "0.2");
    future[0] = static_cast<std::uint8_t>(Protocol::Type::Ready);
    EXPECT_FALSE(Protocol::PeekHelloVersion(future.data(), future.size(), version, game)) << "not a hello";
    // A hello that knows no track yet goes; no key with a checksum does not.
    Protocol::Hello hello{Protocol::Version, "0.1", "Ann", "NissanSkyline", "", {}};
    ASSERT_TRUE(Decode(Protocol::Encode(hello), got));
    EXPECT_TRUE(std::get<Protocol::Hello>(got).track.key.empty());
    hello.track.checksum = 5;
    EXPECT_TRUE(Protocol::Encode(hello).empty());
    EXPECT_TRUE(Protocol::Encode(Protocol::TrackReport{}).empty()) << "a report names its track";
}

TEST(ProtocolTest, ReaderStopsAtItsEndAndStaysStopped) {
    const std::uint8_t bytes[] = {1, 2, 3};
    ByteReader r(bytes, sizeof bytes);
    std::uint16_t a = 0;
    std::uint32_t b = 7;
    std::uint8_t c = 0;
    EXPECT_TRUE(r.U16(a));
    EXPECT_EQ(a, 0x0201);
    EXPECT_FALSE(r.U32(b));
    EXPECT_EQ(b, 7u) << "a failed read leaves its target alone";
    EXPECT_FALSE(r.U8(c)) << "the byte left is not read once a read failed";
    EXPECT_FALSE(r.IsDone());
}
