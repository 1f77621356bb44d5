#include "ServerOptions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "net/NetHost.h"

// Set by the build from the project's version.
#ifndef VANTREL_VERSION
#error "VANTREL_VERSION must be defined by the build"
#endif

namespace {

/// A whole number from `low` to `high`, nothing else in the text.
bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const long parsed = std::strtol(text.c_str(), nullptr, 10);
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

}  // namespace

ServerOptions::ServerOptions() {
    choices.port = NetHost::DefaultPort;
    using O = Outcome;
    Add("--help", "", "print this help and exit", [this](const std::string&, std::ostream& out, std::ostream&) {
        PrintUsage(out);
        return O::Exit;
    });
    Add("--version", "", "print the version and exit", [](const std::string&, std::ostream& out, std::ostream&) {
        out << "vantrel-server " << VANTREL_VERSION << '\n';
        return O::Exit;
    });
    Add("--verbose", "", "also log every link as it opens, not only the lobby's events",
        [this](const std::string&, std::ostream&, std::ostream&) {
            choices.verbose = true;
            return O::Continue;
        });
    Add("--address", "ADDRESS", "listen on this address only (as 127.0.0.1); every interface by default",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            in_addr parsed{};
            if (inet_pton(AF_INET, value.c_str(), &parsed) == 1) {
                choices.address = value;
                return O::Continue;
            }
            err << "vantrel-server: --address takes an IPv4 address such as 127.0.0.1, not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--port", "PORT", "the UDP port to listen on (" + std::to_string(NetHost::DefaultPort) +
                                 " by default; 0: a free one, logged)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            long port = 0;
            if (ParseNumber(value, 0, 65535, port)) {
                choices.port = static_cast<std::uint16_t>(port);
                return O::Continue;
            }
            err << "vantrel-server: --port takes a number from 0 to 65535, not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--name", "NAME", "the server's name, as the players see it",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            if (Protocol::IsValidName(value)) {
                choices.name = value;
                return O::Continue;
            }
            err << "vantrel-server: --name takes 1 to " << Protocol::MaxNameLength
                << " printable ASCII characters, not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--max-players", "N", "how many players may join, 2 to 8 (8 by default)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            long n = 0;
            if (ParseNumber(value, MinPlayers, Protocol::MaxPlayers, n)) {
                choices.maxPlayers = static_cast<unsigned>(n);
                return O::Continue;
            }
            err << "vantrel-server: --max-players takes a number from " << MinPlayers << " to "
                << Protocol::MaxPlayers << ", not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--password", "PASSWORD", "only players who give it may join",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            const bool printable = std::all_of(value.begin(), value.end(), [](char c) { return c >= 32 && c <= 126; });
            if (!value.empty() && value.size() <= Protocol::MaxPasswordLength && printable) {
                choices.password = value;
                return O::Continue;
            }
            err << "vantrel-server: --password takes 1 to " << Protocol::MaxPasswordLength
                << " printable ASCII characters\n";
            return O::Invalid;
        });
    Add("--track", "KEY", "the track to race, by its folder's name (GreenValley, or else the first found)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            if (Protocol::IsValidKey(value)) {
                choices.track = value;
                return O::Continue;
            }
            err << "vantrel-server: --track takes a track's folder name (letters, digits, '_'), not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--reverse", "", "race the track the other way round",
        [this](const std::string&, std::ostream&, std::ostream&) {
            choices.reverse = true;
            return O::Continue;
        });
    Add("--mode", "race|timetrial", "a race of the field, or a time trial (race by default)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            if (value == "race" || value == "timetrial") {
                choices.mode = value == "race" ? Protocol::Mode::Race : Protocol::Mode::TimeTrial;
                return O::Continue;
            }
            err << "vantrel-server: --mode takes race or timetrial, not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--opponents", "N", "the game's cars in a race, 0 to 7 (0 by default)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            long n = 0;
            if (ParseNumber(value, 0, Protocol::MaxOpponents, n)) {
                choices.opponents = static_cast<unsigned>(n);
                return O::Continue;
            }
            err << "vantrel-server: --opponents takes a number from 0 to " << Protocol::MaxOpponents << ", not '"
                << value << "'\n";
            return O::Invalid;
        });
    Add("--difficulty", "easy|medium|hard", "how fast the game's cars drive (medium by default)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            static const char* const keys[] = {"easy", "medium", "hard"};
            for (int i = 0; i < 3; ++i)
                if (value == keys[i]) {
                    choices.difficulty = static_cast<Protocol::Difficulty>(i);
                    return O::Continue;
                }
            err << "vantrel-server: --difficulty takes easy, medium or hard, not '" << value << "'\n";
            return O::Invalid;
        });
    Add("--database", "PATH",
        "the leaderboards' SQLite file (leaderboard.sqlite in the data folder, ~/.local/share/vantrel, by default)",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            if (!value.empty() && value.back() != '/') {
                choices.database = value;
                return O::Continue;
            }
            err << "vantrel-server: --database takes the path of a file, not '" << value << "'\n";
            return O::Invalid;
        });
}

void ServerOptions::Add(std::string name, std::string argument, std::string help, Action action) {
    options.push_back({std::move(name), std::move(argument), std::move(help), std::move(action)});
}

int ServerOptions::Fail(const std::string& why, std::ostream& err) const {
    if (!why.empty()) err << "vantrel-server: " << why << '\n';
    PrintUsage(err);
    return UsageError;
}

std::optional<int> ServerOptions::Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const auto option =
            std::find_if(options.begin(), options.end(), [&](const Option& o) { return o.name == name; });
        if (option == options.end()) return Fail("unknown option '" + name + "'", err);
        std::string value;
        if (!option->argument.empty()) {
            if (i + 1 == argc) return Fail("option '" + name + "' needs a value " + option->argument, err);
            value = argv[++i];
        }
        switch (option->action(value, out, err)) {
            case Outcome::Continue: break;
            case Outcome::Exit: return 0;
            case Outcome::Invalid: return Fail("", err);
        }
    }
    return std::nullopt;
}

void ServerOptions::PrintUsage(std::ostream& out) const {
    out << "usage: vantrel-server [option...]\n"
           "Runs a server for network races, without a window, until SIGINT or SIGTERM. Options:\n";
    std::size_t width = 0;
    for (const Option& o : options) width = std::max(width, o.name.size() + 1 + o.argument.size());
    for (const Option& o : options) {
        std::string left = o.name;
        if (!o.argument.empty()) left += ' ' + o.argument;
        out << "  " << left << std::string(width - left.size() + 2, ' ') << o.help << '\n';
    }
}
