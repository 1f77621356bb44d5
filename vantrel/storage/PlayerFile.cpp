#include "PlayerFile.h"

#include <utility>

#include "AtomicFile.h"
#include "UserFolders.h"

PlayerFile::PlayerFile(std::string folder, const char* fileName, const char* what, Logger& logger)
    : folder(std::move(folder)),
      path(this->folder.empty() ? "" : this->folder + "/" + fileName),
      what(what),
      logger(logger) {}

void PlayerFile::Load() {
    loaded = true;
    contents = IniFile();
    writeBlocked = false;
    if (path.empty()) return;
    std::string text;
    std::string problem;
    switch (AtomicFile::Read(path, IniFile::MaxBytes, text, problem)) {
    case AtomicFile::ReadResult::Missing:
        return;
    case AtomicFile::ReadResult::Read:
        if (contents.Parse(text, path, problem)) return;
        break;
    case AtomicFile::ReadResult::Failed:
        break;
    }
    std::string message = problem + "; ";
    std::string asidePath;
    std::string error;
    if (AtomicFile::SetAside(path, asidePath, error)) {
        message += "set aside as " + asidePath + ", starting without the " + what;
    } else {
        writeBlocked = true;
        message += "cannot set it aside (" + error + "), " + what + " kept for this run only";
    }
    if (logger.IsEnabled(Logger::Warn)) Logger::Stream(logger, Logger::Warn).GetStream() << message;
}

IniFile& PlayerFile::Contents() {
    if (!loaded) Load();
    return contents;
}

void PlayerFile::Save() {
    if (writeBlocked) return;
    std::string error;
    if (UserFolders::MakeFolder(folder, error) && AtomicFile::Write(path, contents.ToString(), true, error)) return;
    if (writeWarned) return;
    writeWarned = true;
    if (logger.IsEnabled(Logger::Warn))
        Logger::Stream(logger, Logger::Warn).GetStream()
            << "cannot save the " << what << " (" << error << "), keeping them for this run only";
}
