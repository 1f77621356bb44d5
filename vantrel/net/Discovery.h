#pragma once
// Finding servers on the local network: the question a game sends to every
// machine there and the answer each server gives, outside ENet's links.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Protocol.h"

/// The two datagrams of a search, each with its magic and bounded like
/// every other message. The request is padded to the answer's largest size,
/// so a server answering a forged sender never sends more than it took.
class Discovery {
public:
    /// The game's port and the next one: where servers listen for the question.
    static constexpr std::uint16_t DefaultPort = 27441;
    static constexpr std::size_t RequestBytes = 160;
    static constexpr std::size_t MaxAnswerBytes = RequestBytes;

    /// What a server tells of itself.
    struct ServerInfo {
        std::uint16_t protocolVersion = Protocol::Version;
        std::string gameVersion;
        std::string name;
        std::uint16_t port = 0;  ///< its game port
        std::uint8_t players = 0;
        std::uint8_t maxPlayers = 0;
        bool password = false;  ///< whether it asks for one
        Protocol::Phase phase = Protocol::Phase::Lobby;
        Protocol::RaceChoice choice;
    };

    /// The question, with `nonce` to match the answers to it.
    static std::vector<std::uint8_t> EncodeRequest(std::uint32_t nonce);
    /// @return true with `nonce` set when the bytes are a whole request
    static bool DecodeRequest(const std::uint8_t* data, std::size_t size, std::uint32_t& nonce);
    /// The answer to the request `nonce`; empty when a field is out of range.
    static std::vector<std::uint8_t> EncodeAnswer(std::uint32_t nonce, const ServerInfo& info);
    /// @return true with `info` set when the bytes are a whole answer to `nonce`
    static bool DecodeAnswer(const std::uint8_t* data, std::size_t size, std::uint32_t nonce, ServerInfo& info);
};
