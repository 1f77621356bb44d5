// libFuzzer target over the one decoder every network message goes
// through, and the discovery datagrams: no input may crash it, read past its
// end or decode into something the encoder would refuse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/Discovery.h"
#include "net/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Protocol::Message message;
    std::string problem;
    if (Protocol::Decode(data, size, message, problem) && Protocol::Encode(message).empty()) std::abort();
    std::uint32_t nonce = 0;
    Discovery::DecodeRequest(data, size, nonce);
    Discovery::ServerInfo info;
    if (size >= 12) {
        // The nonce an answer must carry, taken from where it would be.
        const std::uint32_t expected = data[8] | (data[9] << 8) | (data[10] << 16) | (std::uint32_t(data[11]) << 24);
        if (Discovery::DecodeAnswer(data, size, expected, info) && Discovery::EncodeAnswer(expected, info).empty())
            std::abort();
    }
    return 0;
}
