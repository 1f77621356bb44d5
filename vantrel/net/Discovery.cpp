#include "Discovery.h"

#include <cstring>

#include "ByteReader.h"
#include "ByteWriter.h"

namespace {
const char RequestMagic[8] = {'V', 'T', 'F', 'I', 'N', 'D', '?', '\n'};
const char AnswerMagic[8] = {'V', 'T', 'H', 'E', 'R', 'E', '!', '\n'};

bool PutMagic(ByteWriter& w, const char (&magic)[8]) {
    for (char c : magic)
        if (!w.U8(static_cast<std::uint8_t>(c))) return false;
    return true;
}

bool HasMagic(const std::uint8_t* data, std::size_t size, const char (&magic)[8]) {
    return data && size >= sizeof magic && std::memcmp(data, magic, sizeof magic) == 0;
}
}  // namespace

std::vector<std::uint8_t> Discovery::EncodeRequest(std::uint32_t nonce) {
    ByteWriter w;
    PutMagic(w, RequestMagic);
    w.U16(Protocol::Version);
    w.U32(nonce);
    while (w.IsOk() && w.GetSize() < RequestBytes) w.U8(0);
    return std::vector<std::uint8_t>(w.GetData(), w.GetData() + w.GetSize());
}

bool Discovery::DecodeRequest(const std::uint8_t* data, std::size_t size, std::uint32_t& nonce) {
    // Any version's question is answered: the answer says which version this is.
    if (size != RequestBytes || !HasMagic(data, size, RequestMagic)) return false;
    ByteReader r(data + sizeof RequestMagic, size - sizeof RequestMagic);
    std::uint16_t version = 0;
    std::uint32_t n = 0;
    if (!r.U16(version) || !r.U32(n)) return false;
    nonce = n;
    return true;
}

std::vector<std::uint8_t> Discovery::EncodeAnswer(std::uint32_t nonce, const ServerInfo& info) {
    ByteWriter w;
    PutMagic(w, AnswerMagic);
    const Protocol::TrackRef& t = info.choice.track;
    const bool ok = w.U32(nonce) && w.U16(info.protocolVersion) &&
                    w.String(info.gameVersion, Protocol::MaxVersionLength) && Protocol::IsValidName(info.name) &&
                    w.String(info.name, Protocol::MaxNameLength) && w.U16(info.port) && info.port != 0 &&
                    info.players <= info.maxPlayers && info.maxPlayers <= Protocol::MaxPlayers &&
                    w.U8(info.players) && w.U8(info.maxPlayers) && w.U8(info.password ? 1 : 0) &&
                    w.U8(static_cast<std::uint8_t>(info.phase)) && Protocol::IsValidKey(t.key) &&
                    w.String(t.key, Protocol::MaxKeyLength) && w.U8(t.reverse ? 1 : 0) &&
                    w.U8(static_cast<std::uint8_t>(info.choice.mode)) &&
                    info.choice.opponents <= Protocol::MaxOpponents && w.U8(info.choice.opponents);
    if (!ok || !w.IsOk() || w.GetSize() > MaxAnswerBytes) return {};
    return std::vector<std::uint8_t>(w.GetData(), w.GetData() + w.GetSize());
}

bool Discovery::DecodeAnswer(const std::uint8_t* data, std::size_t size, std::uint32_t nonce, ServerInfo& info) {
    if (size > MaxAnswerBytes || !HasMagic(data, size, AnswerMagic)) return false;
    ByteReader r(data + sizeof AnswerMagic, size - sizeof AnswerMagic);
    ServerInfo got;
    std::uint32_t n = 0;
    std::uint8_t phase = 0, mode = 0;
    if (!r.U32(n) || n != nonce || !r.U16(got.protocolVersion) || !r.String(got.gameVersion, Protocol::MaxVersionLength) ||
        !r.String(got.name, Protocol::MaxNameLength) || !Protocol::IsValidName(got.name) || !r.U16(got.port) ||
        got.port == 0 || !r.U8(got.players) || !r.U8(got.maxPlayers) || got.maxPlayers > Protocol::MaxPlayers ||
        got.players > got.maxPlayers || !r.Bool(got.password) || !r.U8(phase) || phase > 2 ||
        !r.String(got.choice.track.key, Protocol::MaxKeyLength) || !Protocol::IsValidKey(got.choice.track.key) ||
        !r.Bool(got.choice.track.reverse) || !r.U8(mode) || mode > 1 || !r.U8(got.choice.opponents) ||
        got.choice.opponents > Protocol::MaxOpponents || !r.IsDone())
        return false;
    got.phase = static_cast<Protocol::Phase>(phase);
    got.choice.mode = static_cast<Protocol::Mode>(mode);
    info = got;
    return true;
}
