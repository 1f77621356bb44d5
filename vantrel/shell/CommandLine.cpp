#include "CommandLine.h"

#include <algorithm>

#include <nodara/Logger.h>

#include "storage/SettingsStore.h"

// Set by the build from the project's version.
#ifndef VANTREL_VERSION
#error "VANTREL_VERSION must be defined by the build"
#endif

CommandLine::CommandLine() {
    Add("--help", "", "print this help and exit", [this](const std::string&, std::ostream& out, std::ostream&) {
        PrintUsage(out);
        return Outcome::Exit;
    });
    Add("--version", "", "print the version and exit", [](const std::string&, std::ostream& out, std::ostream&) {
        out << "Vantrel " << VANTREL_VERSION << '\n';
        return Outcome::Exit;
    });
    Add("--verbose", "", "print everything the game and its libraries log",
        [](const std::string&, std::ostream&, std::ostream&) {
            Logger::SetProcessLevel(Logger::Debug);
            return Outcome::Continue;
        });
    Add("--quality", "low|medium|high", "draw with this graphics preset, for this run only",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            choices.quality = QualityPreset::FromKey(value);
            if (choices.quality) return Outcome::Continue;
            err << "vantrel: --quality takes low, medium or high, not '" << value << "'\n";
            return Outcome::Invalid;
        });
    Add("--fullscreen", "", "start full screen (F11 switches), and keep to it",
        [this](const std::string&, std::ostream&, std::ostream&) {
            choices.fullscreen = true;
            return Outcome::Continue;
        });
    Add("--window", "WIDTHxHEIGHT", "the window's size in pixels, and keep to it",
        [this](const std::string& value, std::ostream&, std::ostream& err) {
            int w = 0, h = 0;
            if (SettingsStore::ParseWindowSize(value, w, h)) {
                choices.windowWidthPx = w;
                choices.windowHeightPx = h;
                return Outcome::Continue;
            }
            err << "vantrel: --window takes WIDTHxHEIGHT, each from 320 to 16384 pixels, not '" << value << "'\n";
            return Outcome::Invalid;
        });
    Add("--autopilot", "", "in a Race or a Time Trial, the game's driver drives your car (a demonstration)",
        [this](const std::string&, std::ostream&, std::ostream&) {
            choices.autopilot = true;
            return Outcome::Continue;
        });
}

void CommandLine::Add(std::string name, std::string argument, std::string help, Action action) {
    options.push_back({std::move(name), std::move(argument), std::move(help), std::move(action)});
}

std::optional<int> CommandLine::Parse(int argc, const char* const* argv, std::ostream& out,
                                      std::ostream& err) const {
    const auto fail = [&](const std::string& why) {
        if (!why.empty()) err << "vantrel: " << why << '\n';
        PrintUsage(err);
        return UsageError;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const auto option =
            std::find_if(options.begin(), options.end(), [&](const Option& o) { return o.name == name; });
        if (option == options.end()) return fail("unknown option '" + name + "'");
        std::string value;
        if (!option->argument.empty()) {
            if (i + 1 == argc) return fail("option '" + name + "' needs a value " + option->argument);
            value = argv[++i];
        }
        switch (option->action(value, out, err)) {
            case Outcome::Continue: break;
            case Outcome::Exit: return 0;
            case Outcome::Invalid: return fail("");
        }
    }
    return std::nullopt;
}

void CommandLine::PrintUsage(std::ostream& out) const {
    out << "usage: vantrel [option...]\n"
           "Starts the game in its show room. Options:\n";
    size_t width = 0;
    for (const Option& o : options) width = std::max(width, o.name.size() + 1 + o.argument.size());
    for (const Option& o : options) {
        std::string left = o.name;
        if (!o.argument.empty()) left += ' ' + o.argument;
        out << "  " << left << std::string(width - left.size() + 2, ' ') << o.help << '\n';
    }
}
