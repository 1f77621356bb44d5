#pragma once
#include <sstream>
#include <string>

/// A named message sink with a severity threshold. Each line goes to standard
/// output as "[Level] name - message" and is flushed at once.
/// Components keep one static Logger each and test IsEnabled() before they
/// compose a message:
///   if (logger.IsEnabled(Logger::Error))
///       Logger::Stream(logger, Logger::Error).GetStream() << "bad " << x;
class Logger {
public:
    enum Level { Debug = 0, Info = 1, Warn = 2, Error = 3, Fatal = 4 };

    /// Collects a message by stream insertion and logs it when destroyed.
    class Stream {
    public:
        Stream(Logger& logger, Logger::Level level);
        ~Stream();
        Stream(const Stream&) = delete;
        Stream& operator=(const Stream&) = delete;

        std::stringstream& GetStream() { return stream; }

    private:
        Logger& logger;
        Logger::Level level;
        std::stringstream stream;
    };

    /// A logger that passes every level.
    explicit Logger(const std::string& name);
    Logger(const std::string& name, Logger::Level level);

    Logger::Level GetLevel() const { return level; }
    void SetLevel(Logger::Level value) { level = value; }

    /// True when a message at `value` would be written: at or above both the
    /// logger's threshold and the process's.
    bool IsEnabled(Logger::Level value) const { return value >= level && value >= processLevel; }

    /// Writes one line when `value` passes the threshold. A level outside the
    /// five enumerators is printed as "Unknown" rather than read out of bounds.
    void Log(Logger::Level value, const std::string& message);

    const std::string& GetName() const { return name; }

    /// A threshold under every logger of the process, the plug-ins' included:
    /// Debug by default, so each logger's own threshold decides. A program
    /// raises it once at start to keep its console to what matters.
    /// NOTE: process-wide on purpose; the loggers of a plug-in are out of the
    /// program's reach otherwise.
    static Logger::Level GetProcessLevel() { return processLevel; }
    static void SetProcessLevel(Logger::Level value) { processLevel = value; }

private:
    Logger::Level level;
    std::string name;
    static const char* const LevelNames[5];
    static Logger::Level processLevel;
};
