#include "Protocol.h"

#include <algorithm>
#include <cmath>

#include "ByteReader.h"
#include "ByteWriter.h"

namespace {

constexpr float TwoPi = 6.28318530718f;
/// Positions beyond this are refused by the decoder already; the world's
/// own bounds are StateCheck's.
constexpr float MaxCoordinateM = 80000.0f;  ///< within 24 bits of centimetres
constexpr float MaxSpeedMs = 655.35f;   ///< uint16 in cm/s
constexpr float RpmStep = 50.0f;  ///< a byte of engine speed: enough for the sound
constexpr float WheelSteerStepRad = 1.0f / 200.0f;  ///< int8: up to 0.635 rad either way

template <typename T>
T Clamp(float value, float low, float high) {
    return static_cast<T>(std::lround(std::min(high, std::max(low, value))));
}

/// `mayBeNone`: an empty key (with checksum 0) says no track is known yet.
bool WriteTrack(ByteWriter& w, const Protocol::TrackRef& track, bool mayBeNone = false) {
    const bool none = mayBeNone && track.key.empty() && track.checksum == 0;
    return (none || Protocol::IsValidKey(track.key)) && w.String(track.key, Protocol::MaxKeyLength) &&
           w.U8(track.reverse ? 1 : 0) && w.U32(track.checksum);
}

bool ReadTrack(ByteReader& r, Protocol::TrackRef& track, bool mayBeNone = false) {
    if (!r.String(track.key, Protocol::MaxKeyLength) || !r.Bool(track.reverse) || !r.U32(track.checksum)) return false;
    return (mayBeNone && track.key.empty() && track.checksum == 0) || Protocol::IsValidKey(track.key);
}

bool WriteLine(ByteWriter& w, const std::string& line) {
    return !line.empty() && w.String(line, Protocol::MaxLineLength);
}

bool ReadLine(ByteReader& r, std::string& line) { return r.String(line, Protocol::MaxLineLength) && !line.empty(); }

// --- Encoding, one overload per message

bool Write(ByteWriter& w, const Protocol::Hello& m) {
    return w.U16(m.protocolVersion) && w.String(m.gameVersion, Protocol::MaxVersionLength) &&
           Protocol::IsValidName(m.name) && w.String(m.name, Protocol::MaxNameLength) &&
           Protocol::IsValidKey(m.car) && w.String(m.car, Protocol::MaxKeyLength) &&
           w.String(m.password, Protocol::MaxPasswordLength) && WriteTrack(w, m.track, true);
}
bool Write(ByteWriter& w, const Protocol::Welcome& m) {
    return m.playerId < Protocol::MaxPlayers && w.U8(m.playerId) && Protocol::IsValidName(m.serverName) &&
           w.String(m.serverName, Protocol::MaxNameLength) && m.maxPlayers >= 1 &&
           m.maxPlayers <= Protocol::MaxPlayers && w.U8(m.maxPlayers);
}
bool Write(ByteWriter& w, const Protocol::Refused& m) { return WriteLine(w, m.line); }
bool Write(ByteWriter& w, const Protocol::RaceChoice& m) {
    return WriteTrack(w, m.track) && w.U8(static_cast<std::uint8_t>(m.mode)) &&
           m.opponents <= Protocol::MaxOpponents && w.U8(m.opponents) &&
           w.U8(static_cast<std::uint8_t>(m.difficulty));
}
bool Write(ByteWriter& w, const Protocol::LobbyState& m) {
    if (m.players.size() > Protocol::MaxPlayers) return false;
    if (!w.U8(static_cast<std::uint8_t>(m.phase)) || !w.U8(static_cast<std::uint8_t>(m.players.size()))) return false;
    for (const Protocol::LobbyPlayer& p : m.players) {
        if (p.id >= Protocol::MaxPlayers || !Protocol::IsValidName(p.name) || !Protocol::IsValidKey(p.car)) return false;
        if (!w.U8(p.id) || !w.String(p.name, Protocol::MaxNameLength) || !w.String(p.car, Protocol::MaxKeyLength) ||
            !w.U8(p.ready ? 1 : 0) || !w.U8(p.trackOk ? 1 : 0))
            return false;
    }
    return true;
}
bool Write(ByteWriter& w, const Protocol::TrackReport& m) { return WriteTrack(w, m.track); }
bool Write(ByteWriter& w, const Protocol::Ready& m) { return w.U8(m.ready ? 1 : 0); }
bool Write(ByteWriter& w, const Protocol::Notice& m) { return WriteLine(w, m.line); }
bool Write(ByteWriter& w, const Protocol::Countdown& m) {
    return m.startsInMs <= Protocol::MaxCountdownMs && w.U16(m.startsInMs);
}
bool Write(ByteWriter&, const Protocol::ServerStopped&) { return true; }
bool Write(ByteWriter& w, const Protocol::PlayerLeft& m) {
    return m.playerId < Protocol::MaxPlayers && w.U8(m.playerId) && w.U8(static_cast<std::uint8_t>(m.reason));
}
bool Write(ByteWriter& w, const Protocol::CarState& m) {
    const RecordedRun::Sample& s = m.sample;
    if (m.playerId >= Protocol::MaxRacers || m.checkpoints > Protocol::MaxCheckpoints) return false;
    if (s.gear < Protocol::MinGear || s.gear > Protocol::MaxGear) return false;
    // The checkpoints need six bits; the recoveries' count wraps in the other two.
    const auto passed = static_cast<std::uint8_t>(m.checkpoints | (m.recoveries % Protocol::RecoveryWrap) << 6);
    bool ok = w.U8(m.playerId) && w.U32(m.tick) && w.U8(passed);
    for (float c : {s.positionM.x, s.positionM.y, s.positionM.z}) {
        if (!(std::fabs(c) <= MaxCoordinateM)) return false;
        // 24 bits of centimetres, little-endian.
        const auto cm = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(c * 100.0f)));
        ok = ok && w.U8(cm & 0xFF) && w.U8((cm >> 8) & 0xFF) && w.U8((cm >> 16) & 0xFF);
    }
    for (float c : {s.orientation.x, s.orientation.y, s.orientation.z, s.orientation.w})
        ok = ok && std::isfinite(c) && w.I16(Clamp<std::int16_t>(c * 32767.0f, -32767.0f, 32767.0f));
    ok = ok && std::isfinite(s.speedMs) && std::isfinite(s.engineRpm) && std::isfinite(s.steering) &&
         std::isfinite(s.throttle) && std::isfinite(s.brake);
    ok = ok && w.U16(Clamp<std::uint16_t>(s.speedMs * 100.0f, 0.0f, MaxSpeedMs * 100.0f)) &&
         w.U8(Clamp<std::uint8_t>(s.engineRpm / RpmStep, 0.0f, 255.0f)) &&
         w.I8(Clamp<std::int8_t>(s.steering * 127.0f, -127.0f, 127.0f)) &&
         w.U8(Clamp<std::uint8_t>(s.throttle * 255.0f, 0.0f, 255.0f)) &&
         w.U8(Clamp<std::uint8_t>(s.brake * 255.0f, 0.0f, 255.0f)) && w.I8(static_cast<std::int8_t>(s.gear));
    for (int i = 0; i < RecordedRun::WheelCount && ok; ++i) {
        if (!std::isfinite(s.wheelSteerRad[i])) return false;
        ok = w.I8(Clamp<std::int8_t>(s.wheelSteerRad[i] / WheelSteerStepRad, -127.0f, 127.0f));
    }
    return ok;
}

bool Write(ByteWriter& w, const Protocol::CarStates& m) {
    if (m.states.empty() || m.states.size() > Protocol::MaxRacers) return false;
    bool ok = w.U8(static_cast<std::uint8_t>(m.states.size()));
    for (const Protocol::CarState& state : m.states) ok = ok && Write(w, state);
    return ok;
}

bool Write(ByteWriter& w, const Protocol::RaceStart& m) {
    if (m.grid.empty() || m.grid.size() > Protocol::MaxRacers) return false;
    bool ok = w.U16(m.releaseTick) && w.U8(static_cast<std::uint8_t>(m.grid.size()));
    for (const Protocol::GridPlace& place : m.grid)
        ok = ok && place.id < Protocol::MaxRacers && Protocol::IsValidKey(place.car) && w.U8(place.id) &&
             w.String(place.car, Protocol::MaxKeyLength);
    return ok;
}

bool Write(ByteWriter& w, const Protocol::RaceResult& m) {
    if (m.rows.size() > Protocol::MaxRacers) return false;
    bool ok = w.U8(static_cast<std::uint8_t>(m.rows.size()));
    for (const Protocol::ResultRow& row : m.rows)
        ok = ok && row.id < Protocol::MaxRacers && w.U8(row.id) && w.U8(row.finished ? 1 : 0) && w.U32(row.timeMs);
    return ok;
}

bool Write(ByteWriter& w, const Protocol::Run& m) {
    return WriteTrack(w, m.track) && Protocol::IsValidKey(m.car) && w.String(m.car, Protocol::MaxKeyLength) &&
           m.timeMs > 0 && w.U32(m.timeMs) && w.U32(m.samplesCrc) && m.inputTicks > 0 &&
           m.inputTicks <= RunInputs::MaxTicks && w.U32(m.inputTicks) && !m.inputs.empty() &&
           w.Blob(m.inputs, Protocol::MaxRunInputBytes);
}
bool Write(ByteWriter& w, const Protocol::SubmitRun& m) { return Write(w, m.run); }
bool Write(ByteWriter& w, const Protocol::RunVerdict& m) {
    return m.place <= Protocol::MaxBoardLines && (!m.entered || m.place > 0) && w.U8(m.entered ? 1 : 0) &&
           w.U8(m.place) && WriteLine(w, m.line);
}
bool Write(ByteWriter& w, const Protocol::BoardRequest& m) {
    return WriteTrack(w, m.track) && Protocol::IsValidKey(m.car) && w.String(m.car, Protocol::MaxKeyLength);
}
bool Write(ByteWriter& w, const Protocol::Board& m) {
    if (m.lines.size() > Protocol::MaxBoardLines || !WriteTrack(w, m.track) || !Protocol::IsValidKey(m.car) ||
        !w.String(m.car, Protocol::MaxKeyLength) || !w.U8(static_cast<std::uint8_t>(m.lines.size())))
        return false;
    for (const Protocol::BoardLine& line : m.lines)
        if (!w.U32(line.runId) || !Protocol::IsValidName(line.player) ||
            !w.String(line.player, Protocol::MaxNameLength) || !w.U32(line.timeMs) ||
            !w.U32(static_cast<std::uint32_t>(line.dateS)) ||
            !w.U32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(line.dateS) >> 32)))
            return false;
    return true;
}
bool Write(ByteWriter& w, const Protocol::FetchRun& m) { return w.U32(m.runId); }
bool Write(ByteWriter& w, const Protocol::FetchedRun& m) {
    return w.U32(m.runId) && Protocol::IsValidName(m.player) && w.String(m.player, Protocol::MaxNameLength) &&
           Write(w, m.run);
}

// --- Decoding

bool Read(ByteReader& r, Protocol::Hello& m, std::string& problem) {
    if (!r.U16(m.protocolVersion) || !r.String(m.gameVersion, Protocol::MaxVersionLength)) return false;
    if (!r.String(m.name, Protocol::MaxNameLength) || !Protocol::IsValidName(m.name)) {
        problem = "bad player name";
        return false;
    }
    if (!r.String(m.car, Protocol::MaxKeyLength) || !Protocol::IsValidKey(m.car)) {
        problem = "bad car key";
        return false;
    }
    return r.String(m.password, Protocol::MaxPasswordLength) && ReadTrack(r, m.track, true);
}
bool Read(ByteReader& r, Protocol::Welcome& m, std::string&) {
    return r.U8(m.playerId) && m.playerId < Protocol::MaxPlayers && r.String(m.serverName, Protocol::MaxNameLength) &&
           Protocol::IsValidName(m.serverName) && r.U8(m.maxPlayers) && m.maxPlayers >= 1 &&
           m.maxPlayers <= Protocol::MaxPlayers;
}
bool Read(ByteReader& r, Protocol::Refused& m, std::string&) { return ReadLine(r, m.line); }
bool Read(ByteReader& r, Protocol::RaceChoice& m, std::string&) {
    std::uint8_t mode = 0, difficulty = 0;
    if (!ReadTrack(r, m.track) || !r.U8(mode) || mode > 1 || !r.U8(m.opponents) ||
        m.opponents > Protocol::MaxOpponents || !r.U8(difficulty) || difficulty > 2)
        return false;
    m.mode = static_cast<Protocol::Mode>(mode);
    m.difficulty = static_cast<Protocol::Difficulty>(difficulty);
    return true;
}
bool Read(ByteReader& r, Protocol::LobbyState& m, std::string& problem) {
    std::uint8_t phase = 0, count = 0;
    if (!r.U8(phase) || phase > 2 || !r.U8(count)) return false;
    if (count > Protocol::MaxPlayers) {
        problem = "more players than a server holds";
        return false;
    }
    m.phase = static_cast<Protocol::Phase>(phase);
    m.players.assign(count, {});
    for (Protocol::LobbyPlayer& p : m.players) {
        if (!r.U8(p.id) || p.id >= Protocol::MaxPlayers || !r.String(p.name, Protocol::MaxNameLength) ||
            !Protocol::IsValidName(p.name) || !r.String(p.car, Protocol::MaxKeyLength) ||
            !Protocol::IsValidKey(p.car) || !r.Bool(p.ready) || !r.Bool(p.trackOk))
            return false;
    }
    return true;
}
bool Read(ByteReader& r, Protocol::TrackReport& m, std::string&) { return ReadTrack(r, m.track); }
bool Read(ByteReader& r, Protocol::Ready& m, std::string&) { return r.Bool(m.ready); }
bool Read(ByteReader& r, Protocol::Notice& m, std::string&) { return ReadLine(r, m.line); }
bool Read(ByteReader& r, Protocol::Countdown& m, std::string&) {
    return r.U16(m.startsInMs) && m.startsInMs <= Protocol::MaxCountdownMs;
}
bool Read(ByteReader&, Protocol::ServerStopped&, std::string&) { return true; }
bool Read(ByteReader& r, Protocol::PlayerLeft& m, std::string&) {
    std::uint8_t reason = 0;
    if (!r.U8(m.playerId) || m.playerId >= Protocol::MaxPlayers || !r.U8(reason) || reason > 2) return false;
    m.reason = static_cast<Protocol::LeaveReason>(reason);
    return true;
}
bool Read(ByteReader& r, Protocol::CarState& m, std::string& problem) {
    RecordedRun::Sample& s = m.sample;
    std::uint8_t passed = 0;
    if (!r.U8(m.playerId) || m.playerId >= Protocol::MaxRacers || !r.U32(m.tick) || !r.U8(passed)) return false;
    m.checkpoints = passed & 0x3F;
    m.recoveries = passed >> 6;
    if (m.checkpoints > Protocol::MaxCheckpoints) return false;
    for (float* c : {&s.positionM.x, &s.positionM.y, &s.positionM.z}) {
        std::uint8_t b[3];
        if (!r.U8(b[0]) || !r.U8(b[1]) || !r.U8(b[2])) return false;
        // Sign-extended from 24 bits.
        std::int32_t cm = static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16));
        if (cm & 0x800000) cm -= 0x1000000;
        *c = cm / 100.0f;
        if (std::fabs(*c) > MaxCoordinateM) {
            problem = "position out of range";
            return false;
        }
    }
    std::int16_t q[4];
    for (std::int16_t& c : q)
        if (!r.I16(c)) return false;
    const float norm = std::sqrt(float(q[0]) * q[0] + float(q[1]) * q[1] + float(q[2]) * q[2] + float(q[3]) * q[3]);
    // A rounded unit quaternion is within a few steps of 32767 long.
    if (norm < 32767.0f * 0.99f || norm > 32767.0f * 1.01f) {
        problem = "orientation is not a rotation";
        return false;
    }
    s.orientation = vmath::quat<float>(q[0] / norm, q[1] / norm, q[2] / norm, q[3] / norm);
    std::uint16_t speed = 0;
    std::uint8_t rpm = 0;
    std::int8_t steering = 0, gear = 0;
    std::uint8_t throttle = 0, brake = 0;
    if (!r.U16(speed) || !r.U8(rpm) || !r.I8(steering) || !r.U8(throttle) || !r.U8(brake) || !r.I8(gear)) return false;
    if (steering < -127 || gear < Protocol::MinGear || gear > Protocol::MaxGear) return false;
    s.speedMs = speed / 100.0f;
    s.engineRpm = rpm * RpmStep;
    s.steering = steering / 127.0f;
    s.throttle = throttle / 255.0f;
    s.brake = brake / 255.0f;
    s.gear = gear;
    s.distanceM = 0.0f;
    for (int i = 0; i < RecordedRun::WheelCount; ++i) {
        std::int8_t steer = 0;
        if (!r.I8(steer) || steer < -127) return false;
        s.wheelSpinRad[i] = 0.0f;
        s.wheelSteerRad[i] = steer * WheelSteerStepRad;
    }
    return true;
}

bool Read(ByteReader& r, Protocol::CarStates& m, std::string& problem) {
    std::uint8_t count = 0;
    if (!r.U8(count)) return false;
    if (count == 0 || count > Protocol::MaxRacers) {
        problem = std::to_string(count) + " states in one message";
        return false;
    }
    m.states.assign(count, {});
    for (Protocol::CarState& state : m.states)
        if (!Read(r, state, problem)) return false;
    return true;
}

bool Read(ByteReader& r, Protocol::RaceStart& m, std::string& problem) {
    std::uint8_t count = 0;
    if (!r.U16(m.releaseTick) || !r.U8(count)) return false;
    if (count == 0 || count > Protocol::MaxRacers) {
        problem = "a grid of " + std::to_string(count) + " cars";
        return false;
    }
    m.grid.assign(count, {});
    for (Protocol::GridPlace& place : m.grid)
        if (!r.U8(place.id) || place.id >= Protocol::MaxRacers || !r.String(place.car, Protocol::MaxKeyLength) ||
            !Protocol::IsValidKey(place.car))
            return false;
    return true;
}

bool Read(ByteReader& r, Protocol::RaceResult& m, std::string& problem) {
    std::uint8_t count = 0;
    if (!r.U8(count)) return false;
    if (count > Protocol::MaxRacers) {
        problem = "more rows than racers";
        return false;
    }
    m.rows.assign(count, {});
    for (Protocol::ResultRow& row : m.rows)
        if (!r.U8(row.id) || row.id >= Protocol::MaxRacers || !r.Bool(row.finished) || !r.U32(row.timeMs)) return false;
    return true;
}

bool Read(ByteReader& r, Protocol::Run& m, std::string& problem) {
    if (!ReadTrack(r, m.track) || !r.String(m.car, Protocol::MaxKeyLength) || !Protocol::IsValidKey(m.car) ||
        !r.U32(m.timeMs) || !r.U32(m.samplesCrc) || !r.U32(m.inputTicks))
        return false;
    if (m.timeMs == 0 || m.inputTicks == 0 || m.inputTicks > RunInputs::MaxTicks) {
        problem = "a run of " + std::to_string(m.timeMs) + " ms in " + std::to_string(m.inputTicks) + " ticks";
        return false;
    }
    return r.Blob(m.inputs, Protocol::MaxRunInputBytes) && !m.inputs.empty();
}
bool Read(ByteReader& r, Protocol::SubmitRun& m, std::string& problem) { return Read(r, m.run, problem); }
bool Read(ByteReader& r, Protocol::RunVerdict& m, std::string&) {
    return r.Bool(m.entered) && r.U8(m.place) && m.place <= Protocol::MaxBoardLines && (!m.entered || m.place > 0) &&
           ReadLine(r, m.line);
}
bool Read(ByteReader& r, Protocol::BoardRequest& m, std::string&) {
    return ReadTrack(r, m.track) && r.String(m.car, Protocol::MaxKeyLength) && Protocol::IsValidKey(m.car);
}
bool Read(ByteReader& r, Protocol::Board& m, std::string& problem) {
    std::uint8_t count = 0;
    if (!ReadTrack(r, m.track) || !r.String(m.car, Protocol::MaxKeyLength) || !Protocol::IsValidKey(m.car) ||
        !r.U8(count))
        return false;
    if (count > Protocol::MaxBoardLines) {
        problem = std::to_string(count) + " lines on a board";
        return false;
    }
    m.lines.assign(count, {});
    for (Protocol::BoardLine& line : m.lines) {
        std::uint32_t low = 0, high = 0;
        if (!r.U32(line.runId) || !r.String(line.player, Protocol::MaxNameLength) ||
            !Protocol::IsValidName(line.player) || !r.U32(line.timeMs) || !r.U32(low) || !r.U32(high))
            return false;
        line.dateS = static_cast<std::int64_t>(static_cast<std::uint64_t>(high) << 32 | low);
    }
    return true;
}
bool Read(ByteReader& r, Protocol::FetchRun& m, std::string&) { return r.U32(m.runId); }
bool Read(ByteReader& r, Protocol::FetchedRun& m, std::string& problem) {
    return r.U32(m.runId) && r.String(m.player, Protocol::MaxNameLength) && Protocol::IsValidName(m.player) &&
           Read(r, m.run, problem);
}

const char* TypeName(Protocol::Type type) {
    static const char* const names[] = {"hello",    "welcome", "refused",   "race choice",    "lobby state",
                                        "track report", "ready", "notice", "countdown", "server stopped",
                                        "player left", "car state", "race start", "race result", "car states",
                                        "submitted run", "run verdict", "board request", "board", "run request",
                                        "fetched run"};
    return names[static_cast<int>(type) - 1];
}

template <typename M>
bool DecodeAs(ByteReader& r, Protocol::Message& message, std::string& problem, Protocol::Type type) {
    M m;
    std::string why;
    if (!Read(r, m, why) || !r.IsDone()) {
        problem = std::string(TypeName(type)) + ": " +
                  (!why.empty() ? why : r.IsOk() ? "bytes left over" : "truncated or out of range");
        return false;
    }
    message = std::move(m);
    return true;
}

}  // namespace

static_assert(std::variant_size_v<Protocol::Message> == static_cast<std::size_t>(Protocol::Type::FetchedRun),
              "one alternative of Message per Type, in its order");

Protocol::Type Protocol::TypeOf(const Message& message) {
    return static_cast<Type>(message.index() + 1);
}

std::size_t Protocol::MaxBytesOf(std::uint8_t type) {
    return type == static_cast<std::uint8_t>(Type::SubmitRun) || type == static_cast<std::uint8_t>(Type::FetchedRun)
               ? MaxRunMessageBytes
               : MaxMessageBytes;
}

std::vector<std::uint8_t> Protocol::Encode(const Message& message) {
    const auto type = static_cast<std::uint8_t>(TypeOf(message));
    ByteWriter w(MaxBytesOf(type));
    w.U8(type);
    const bool ok = std::visit([&w](const auto& m) { return Write(w, m); }, message);
    if (!ok || !w.IsOk()) return {};
    return std::vector<std::uint8_t>(w.GetData(), w.GetData() + w.GetSize());
}

bool Protocol::Decode(const std::uint8_t* data, std::size_t size, Message& message, std::string& problem) {
    if (size == 0 || data == nullptr) {
        problem = "empty message";
        return false;
    }
    if (size > MaxBytesOf(data[0])) {
        problem = "message of " + std::to_string(size) + " bytes, more than " + std::to_string(MaxBytesOf(data[0]));
        return false;
    }
    ByteReader r(data + 1, size - 1);
    switch (static_cast<Type>(data[0])) {
        case Type::Hello: return DecodeAs<Hello>(r, message, problem, Type::Hello);
        case Type::Welcome: return DecodeAs<Welcome>(r, message, problem, Type::Welcome);
        case Type::Refused: return DecodeAs<Refused>(r, message, problem, Type::Refused);
        case Type::RaceChoice: return DecodeAs<RaceChoice>(r, message, problem, Type::RaceChoice);
        case Type::LobbyState: return DecodeAs<LobbyState>(r, message, problem, Type::LobbyState);
        case Type::TrackReport: return DecodeAs<TrackReport>(r, message, problem, Type::TrackReport);
        case Type::Ready: return DecodeAs<Ready>(r, message, problem, Type::Ready);
        case Type::Notice: return DecodeAs<Notice>(r, message, problem, Type::Notice);
        case Type::Countdown: return DecodeAs<Countdown>(r, message, problem, Type::Countdown);
        case Type::ServerStopped: return DecodeAs<ServerStopped>(r, message, problem, Type::ServerStopped);
        case Type::PlayerLeft: return DecodeAs<PlayerLeft>(r, message, problem, Type::PlayerLeft);
        case Type::CarState: return DecodeAs<CarState>(r, message, problem, Type::CarState);
        case Type::RaceStart: return DecodeAs<RaceStart>(r, message, problem, Type::RaceStart);
        case Type::RaceResult: return DecodeAs<RaceResult>(r, message, problem, Type::RaceResult);
        case Type::CarStates: return DecodeAs<CarStates>(r, message, problem, Type::CarStates);
        case Type::SubmitRun: return DecodeAs<SubmitRun>(r, message, problem, Type::SubmitRun);
        case Type::RunVerdict: return DecodeAs<RunVerdict>(r, message, problem, Type::RunVerdict);
        case Type::BoardRequest: return DecodeAs<BoardRequest>(r, message, problem, Type::BoardRequest);
        case Type::Board: return DecodeAs<Board>(r, message, problem, Type::Board);
        case Type::FetchRun: return DecodeAs<FetchRun>(r, message, problem, Type::FetchRun);
        case Type::FetchedRun: return DecodeAs<FetchedRun>(r, message, problem, Type::FetchedRun);
    }
    problem = "unknown message type " + std::to_string(data[0]);
    return false;
}

bool Protocol::PeekHelloVersion(const std::uint8_t* data, std::size_t size, std::uint16_t& protocolVersion,
                                std::string& gameVersion) {
    if (!data || size == 0 || size > MaxMessageBytes || data[0] != static_cast<std::uint8_t>(Type::Hello)) return false;
    ByteReader r(data + 1, size - 1);
    std::uint16_t version = 0;
    std::string game;
    if (!r.U16(version) || !r.String(game, MaxVersionLength)) return false;
    protocolVersion = version;
    gameVersion = game;
    return true;
}

bool Protocol::IsValidName(const std::string& name) {
    if (name.empty() || name.size() > MaxNameLength || name.front() == ' ' || name.back() == ' ') return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c >= 32 && c <= 126; });
}

bool Protocol::IsValidKey(const std::string& key) {
    if (key.empty() || key.size() > MaxKeyLength) return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}
