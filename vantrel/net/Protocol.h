#pragma once
// The messages a server and its clients exchange, and the one decoder every
// message from the network goes through.
//
// A message is one ENet packet: a type byte, then the type's fields,
// little-endian, nothing after them. Strings are a length byte and that many
// printable ASCII bytes. Every count, enumeration and range is checked on the
// way in and every float must be finite; no message is longer than
// MaxMessageBytes (a run's, MaxRunMessageBytes), so nothing the network
// sends sizes an allocation beyond it.
//
// Lobby and race events go reliable and ordered (NetHost::Reliable); car
// states unreliable and sequenced (NetHost::States), a late one dropped.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "replay/RecordedRun.h"

class Protocol {
public:
    /// Raised whenever a message changes shape: a client and a server of
    /// other versions refuse each other with one line.
    static constexpr std::uint16_t Version = 4;
    static constexpr std::size_t MaxMessageBytes = 1024;
    /// A Time Trial's inputs, deflated: half an hour at the keys, some
    /// minutes of a pad's stick moving every tick.
    static constexpr std::size_t MaxRunInputBytes = 512 * 1024;
    /// A message that carries a run's inputs, and the largest packet a link takes.
    static constexpr std::size_t MaxRunMessageBytes = MaxRunInputBytes + 512;
    /// Lines of a leaderboard.
    static constexpr std::size_t MaxBoardLines = 10;
    static constexpr std::size_t MaxPlayers = 8;
    static constexpr std::size_t MaxOpponents = 7;
    /// Every car of a race: the players' ids first (0 ... MaxPlayers - 1),
    /// then the server's opponents' (MaxPlayers + their grid number).
    static constexpr std::size_t MaxRacers = MaxPlayers + MaxOpponents;
    static constexpr std::size_t MaxNameLength = 24;      ///< a player's or a server's shown name
    static constexpr std::size_t MaxKeyLength = 64;       ///< a car's or a track's key
    static constexpr std::size_t MaxPasswordLength = 32;
    static constexpr std::size_t MaxVersionLength = 16;   ///< the game's version, "0.1"
    static constexpr std::size_t MaxLineLength = 96;      ///< a line shown to a player
    static constexpr std::size_t MaxCheckpoints = 32;
    static constexpr unsigned MaxCountdownMs = 10000;
    static constexpr int MinGear = -1, MaxGear = 9;
    /// A car state carries how often its car was put back on the road, modulo this.
    static constexpr unsigned RecoveryWrap = 4;
    /// What a client gives its link's close when the player leaves; a link
    /// closed without it timed out.
    static constexpr std::uint32_t LeavingOnPurpose = 1;

    enum class Type : std::uint8_t {
        Hello = 1,      ///< client: who joins, with what
        Welcome,        ///< server: joined, and as whom
        Refused,        ///< server: not joined, and why (then the link closes)
        RaceChoice,     ///< server: what the next race is
        LobbyState,     ///< server: every player in the lobby
        TrackReport,    ///< client: the track it has for the race chosen
        Ready,          ///< client: its ready mark
        Notice,         ///< server: a line for one player ("Missing track ...")
        Countdown,      ///< server: everyone is ready, the race starts in so long
        ServerStopped,  ///< server: it is going away
        PlayerLeft,     ///< server: a player went
        CarState,       ///< both: a car's state at a tick
        RaceStart,      ///< server: the grid, and the ticks to the start
        RaceResult,     ///< server: the race is over, every car's place and time
        CarStates,      ///< server: the other cars' states of a tick, in one message
        SubmitRun,      ///< client: a won Time Trial, for the leaderboard
        RunVerdict,     ///< server: the place a submitted run took, or why it was refused
        BoardRequest,   ///< client: the leaderboard of a track, way and car, please
        Board,          ///< server: a leaderboard's lines
        FetchRun,       ///< client: a leaderboard line's run, please
        FetchedRun      ///< server: the run, to race as a ghost
    };
    enum class Mode : std::uint8_t { Race = 0, TimeTrial = 1 };
    enum class Difficulty : std::uint8_t { Easy = 0, Medium = 1, Hard = 2 };
    enum class Phase : std::uint8_t { Lobby = 0, Countdown = 1, Racing = 2 };
    enum class LeaveReason : std::uint8_t { Left = 0, TimedOut = 1, Removed = 2 };

    /// The track a client has under a key, driven one way; checksum 0: it
    /// has no such track.
    struct TrackRef {
        std::string key;
        bool reverse = false;
        std::uint32_t checksum = 0;  ///< the way's centre line (RoadCentreLine::GetChecksum)
    };

    /// NOTE: every version's hello starts with these two fields, so a
    /// server can refuse a game of another version in words (PeekHelloVersion).
    struct Hello {
        std::uint16_t protocolVersion = Version;
        std::string gameVersion;  ///< shown in the refusal of another version
        std::string name;         ///< 1 to MaxNameLength characters
        std::string car;          ///< the car's key: letters, digits and '_'
        std::string password;     ///< empty for none
        /// The track the client has for the race it expects; an empty key
        /// (checksum 0) where it knows none yet (a typed address), and a
        /// TrackReport follows the server's race choice.
        TrackRef track;
    };
    struct Welcome {
        std::uint8_t playerId = 0;
        std::string serverName;
        std::uint8_t maxPlayers = 0;
    };
    struct Refused {
        std::string line;
    };
    struct RaceChoice {
        TrackRef track;  ///< the server's own centre line checksum
        Mode mode = Mode::Race;
        std::uint8_t opponents = 0;
        Difficulty difficulty = Difficulty::Medium;
    };
    struct LobbyPlayer {
        std::uint8_t id = 0;
        std::string name;
        std::string car;
        bool ready = false;
        bool trackOk = false;  ///< has the chosen track, of the same centre line
    };
    struct LobbyState {
        Phase phase = Phase::Lobby;
        std::vector<LobbyPlayer> players;  ///< at most MaxPlayers
    };
    struct TrackReport {
        TrackRef track;
    };
    struct Ready {
        bool ready = false;
    };
    struct Notice {
        std::string line;
    };
    struct Countdown {
        std::uint16_t startsInMs = 0;  ///< at most MaxCountdownMs
    };
    struct ServerStopped {};
    struct PlayerLeft {
        std::uint8_t playerId = 0;
        LeaveReason reason = LeaveReason::Left;
    };
    /// A car at a tick of its driver's race, in 34 bytes: seven other cars
    /// at 30 a second fit in 8 kB/s. The sample goes as a ghost's does, less
    /// the distance along the centre line, which the receiver measures on
    /// its own road, and less the wheels' spin, which 30 states a second
    /// could not tell (a wheel turns 40 times a second at speed): the
    /// receiver turns them by the speed. Position in centimetres (24 bits,
    /// +- 80 km), orientation, speed, rpm (steps of 50), steering and
    /// pedals quantised, the gear, each wheel's steering angle.
    struct CarState {
        std::uint8_t playerId = 0;  ///< whose (a racer id); the server sets it when it relays
        std::uint32_t tick = 0;     ///< of the sender's race, from the start
        std::uint8_t checkpoints = 0;  ///< passed, as the sender counts them
        /// Times its car was put back on the road, modulo RecoveryWrap: a
        /// change says the move since the last state was a recovery.
        std::uint8_t recoveries = 0;
        RecordedRun::Sample sample;
    };

    /// One car on the grid: its racer id and its car's key.
    struct GridPlace {
        std::uint8_t id = 0;  ///< below MaxRacers
        std::string car;
    };
    /// The race begins: tick 0 of every car's race is this message's
    /// arrival, the cars are let go at `releaseTick`.
    struct RaceStart {
        std::vector<GridPlace> grid;  ///< from the front; at most MaxRacers
        std::uint16_t releaseTick = 0;
    };
    /// One car's outcome, by the server's ticks.
    struct ResultRow {
        std::uint8_t id = 0;  ///< below MaxRacers
        bool finished = false;
        std::uint32_t timeMs = 0;  ///< from the release to the finish; 0 when not finished
    };
    struct RaceResult {
        std::vector<ResultRow> rows;  ///< first to last; at most MaxRacers
    };

    /// The car states a server sends a client at once: one header for all.
    struct CarStates {
        std::vector<CarState> states;  ///< 1 ... MaxRacers
    };

    /// A Time Trial run as it goes over the network: what the leaderboard
    /// files it under, its time, and the driver's inputs (RunInputs,
    /// deflated as a ghost file holds them), without its poses: driven
    /// again they must come to the same samples, whose CRC-32 it carries.
    struct Run {
        TrackRef track;
        std::string car;
        std::uint32_t timeMs = 0;  ///< from the release to the finish, above 0
        std::uint32_t samplesCrc = 0;  ///< GhostFile::SamplesCrc of the poses
        std::uint32_t inputTicks = 0;  ///< at most RunInputs::MaxTicks
        std::string inputs;            ///< at most MaxRunInputBytes
    };
    struct SubmitRun {
        Run run;
    };
    struct RunVerdict {
        bool entered = false;
        std::uint8_t place = 0;  ///< on the board, 1 ... MaxBoardLines, when entered
        std::string line;        ///< what the player reads
    };
    /// Which leaderboard: a track's way (with its centre line's checksum) and a car.
    struct BoardRequest {
        TrackRef track;
        std::string car;
    };
    struct BoardLine {
        std::uint32_t runId = 0;
        std::string player;
        std::uint32_t timeMs = 0;
        std::int64_t dateS = 0;  ///< s since 1970, UTC
    };
    struct Board {
        TrackRef track;
        std::string car;
        std::vector<BoardLine> lines;  ///< best first; at most MaxBoardLines
    };
    struct FetchRun {
        std::uint32_t runId = 0;
    };
    struct FetchedRun {
        std::uint32_t runId = 0;
        std::string player;
        Run run;
    };

    /// In the order of Type: a message's index is its type less one.
    using Message = std::variant<Hello, Welcome, Refused, RaceChoice, LobbyState, TrackReport, Ready, Notice,
                                 Countdown, ServerStopped, PlayerLeft, CarState, RaceStart, RaceResult, CarStates,
                                 SubmitRun, RunVerdict, BoardRequest, Board, FetchRun, FetchedRun>;

    /// The message's bytes; empty when a field is out of its range (a name
    /// too long, a key with other characters, a float not finite), so what
    /// goes out is what Decode takes.
    static std::vector<std::uint8_t> Encode(const Message& message);
    /// Reads one message: type known, every field present and in range,
    /// nothing left over.
    /// @param problem set to what is wrong, when false is returned
    /// @return true with `message` set; false leaves it alone
    static bool Decode(const std::uint8_t* data, std::size_t size, Message& message, std::string& problem);

    /// The versions at the head of a hello, of this version or any other,
    /// whose rest need not decode.
    /// @return false when the bytes do not start as a hello
    static bool PeekHelloVersion(const std::uint8_t* data, std::size_t size, std::uint16_t& protocolVersion,
                                 std::string& gameVersion);

    static Type TypeOf(const Message& message);
    /// The most bytes a message of `type` may have.
    static std::size_t MaxBytesOf(std::uint8_t type);
    /// Whether the message goes on the reliable channel (all but car states).
    static bool IsReliable(const Message& message) {
        return TypeOf(message) != Type::CarState && TypeOf(message) != Type::CarStates;
    }

    /// 1 to MaxNameLength printable ASCII characters, not starting or ending with a space.
    static bool IsValidName(const std::string& name);
    /// 1 to MaxKeyLength letters, digits and '_' (a car's or a track's folder).
    static bool IsValidKey(const std::string& key);
};
