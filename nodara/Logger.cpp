#include <nodara/Logger.h>

#include <iostream>

const char* const Logger::LevelNames[5] = {"Debug", "Info", "Warn", "Error", "Fatal"};
Logger::Level Logger::processLevel = Logger::Debug;

Logger::Logger(const std::string& name) : level(Debug), name(name) {}

Logger::Logger(const std::string& name, Logger::Level level) : level(level), name(name) {}

void Logger::Log(Logger::Level value, const std::string& message) {
    if (!IsEnabled(value)) return;
    // Guard the table: a cast integer must not read past it.
    const bool known = value >= Debug && value <= Fatal;
    std::cout << '[' << (known ? LevelNames[value] : "Unknown") << "] " << name << " - " << message
              << std::endl;
}

Logger::Stream::Stream(Logger& logger, Logger::Level level) : logger(logger), level(level) {}

Logger::Stream::~Stream() { logger.Log(level, stream.str()); }
