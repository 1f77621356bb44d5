#include "HostAddress.h"

#include <cctype>

std::optional<HostAddress> HostAddress::Parse(const std::string& text, std::uint16_t defaultPort, std::string& why) {
    const std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    const std::string trimmed = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    if (trimmed.empty()) {
        why = "Type an address: host or host:port";
        return std::nullopt;
    }
    if (trimmed.size() > MaxTextLength) {
        why = "That address is too long";
        return std::nullopt;
    }
    if (trimmed.front() == '[' || trimmed.find(':') != trimmed.rfind(':')) {
        // The network library speaks IPv4 only.
        why = "IPv6 addresses cannot be joined: type an IPv4 address or a name";
        return std::nullopt;
    }
    HostAddress address;
    address.port = defaultPort;
    const std::size_t colon = trimmed.find(':');
    address.host = trimmed.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string digits = trimmed.substr(colon + 1);
        unsigned long port = 0;
        bool valid = !digits.empty() && digits.size() <= 5;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c))) valid = false;
            port = port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (!valid || port == 0 || port > 65535) {
            why = "\"" + digits + "\" is no port: 1 to 65535";
            return std::nullopt;
        }
        address.port = static_cast<std::uint16_t>(port);
    }
    bool valid = !address.host.empty() && address.host.front() != '-' && address.host.front() != '.';
    for (char c : address.host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-') valid = false;
    if (!valid) {
        why = "\"" + address.host + "\" is no host name or address";
        return std::nullopt;
    }
    return address;
}
