#pragma once
// The dedicated server's options. As the game's own command line: each
// option is a row of one table (name, value placeholder, help line, what it
// does), so the usage text and the parser cannot disagree.
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "net/Protocol.h"

class ServerOptions {
public:
    /// What an option's action decides.
    enum class Outcome {
        Continue,  ///< taken; read the next argument
        Exit,      ///< done (help, version): the program ends with status 0
        Invalid    ///< a bad value: the action has said why on the error stream
    };
    using Action = std::function<Outcome(const std::string& value, std::ostream& out, std::ostream& err)>;

    /// What the options chose, defaults where none was given.
    struct Choices {
        std::string address;  ///< empty: every interface
        std::uint16_t port = 0;
        std::string name = "Vantrel server";
        unsigned maxPlayers = Protocol::MaxPlayers;
        std::string password;
        std::string track;  ///< empty: the game's original track, else the first found
        bool reverse = false;
        Protocol::Mode mode = Protocol::Mode::Race;
        unsigned opponents = 0;
        Protocol::Difficulty difficulty = Protocol::Difficulty::Medium;
        std::string database;  ///< the leaderboard's file; empty: Leaderboard::DefaultPath()
        bool verbose = false;
    };

    /// Exit status of a bad command line, as the game's.
    static constexpr int UsageError = 2;
    static constexpr unsigned MinPlayers = 2;

    ServerOptions();
    // The actions refer to this object.
    ServerOptions(const ServerOptions&) = delete;
    ServerOptions& operator=(const ServerOptions&) = delete;

    /// Reads the arguments after the program name and runs their actions in order.
    /// @return the status to end the program with at once (0 after --help or
    ///         --version; UsageError after an unknown option or a missing or
    ///         bad value, with one line saying what is wrong and the usage on
    ///         `err`), or nothing to go on and start the server
    std::optional<int> Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

    const Choices& GetChoices() const { return choices; }
    void PrintUsage(std::ostream& out) const;

    /// Writes "vantrel-server: <why>" and the usage on `err`.
    /// @return UsageError
    int Fail(const std::string& why, std::ostream& err) const;

private:
    void Add(std::string name, std::string argument, std::string help, Action action);

    struct Option {
        std::string name;
        std::string argument;
        std::string help;
        Action action;
    };
    std::vector<Option> options;
    Choices choices;
};
