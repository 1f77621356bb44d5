#pragma once
// The program's options. Each one is a row of the table the constructor
// fills (name, value placeholder, help line, what it does), so the usage text
// and the parser cannot disagree.
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "graphics/QualityPreset.h"

class CommandLine {
public:
    /// What an option's action decides.
    enum class Outcome {
        Continue,  ///< taken; read the next argument
        Exit,      ///< done (help, version): the program ends with status 0
        Invalid    ///< a bad value: the action has said why on the error stream
    };
    /// Runs an option: `value` is its argument ("" for a flag), `out` the
    /// standard output, `err` the error stream.
    using Action = std::function<Outcome(const std::string& value, std::ostream& out, std::ostream& err)>;

    /// What the display options chose; unset where the player's settings decide.
    struct Choices {
        std::optional<QualityPreset::Level> quality;  ///< for this run only
        std::optional<bool> fullscreen;
        std::optional<int> windowWidthPx, windowHeightPx;
        bool autopilot = false;  ///< the game's driver drives the player's car in a Race
    };

    /// Exit status of a bad command line.
    static constexpr int UsageError = 2;

    /// The game's options: --help, --version, --verbose, --quality,
    /// --fullscreen, --window and --autopilot.
    CommandLine();
    // The built-in actions refer to this object.
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    /// Adds an option. `argument` names its value in the usage text ("WxH");
    /// empty for a flag, which takes no value.
    void Add(std::string name, std::string argument, std::string help, Action action);

    /// Reads the arguments after the program name and runs their actions in order.
    /// @return the status to end the program with at once (0 after --help or
    ///         --version, UsageError after an unknown option or a missing or bad
    ///         value, with the usage on `err`), or nothing to go on and start the game
    std::optional<int> Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err) const;

    /// What Parse read of the display options.
    const Choices& GetChoices() const { return choices; }

    /// The usage line and one line per option.
    void PrintUsage(std::ostream& out) const;

private:
    struct Option {
        std::string name;      ///< "--version"
        std::string argument;  ///< the value's placeholder; empty for a flag
        std::string help;      ///< one line
        Action action;
    };
    std::vector<Option> options;
    Choices choices;
};
