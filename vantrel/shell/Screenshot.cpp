#include "Screenshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <GL/glew.h>

#include <lumora/ImageLoader.h>

#include "storage/UserFolders.h"

namespace {

/// Gives up on a second's names after this many: something other than our
/// own shots fills the folder.
const int MaxNamesPerSecond = 1000;

/// `path` with the home folder at its start written as "~".
std::string HomeAsTilde(const std::string& path) {
    const std::string home = UserFolders::HomeFolder();
    if (home.size() > 1 && path.compare(0, home.size(), home) == 0 && path.size() > home.size() &&
        path[home.size()] == '/')
        return "~" + path.substr(home.size());
    return path;
}

/// Writes all of `bytes` to `fd`, resuming after signals and short writes.
bool WriteAll(int fd, const std::vector<unsigned char>& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::string Screenshot::Outcome::NoticeLine() const {
    return saved ? "Screenshot: " + HomeAsTilde(file) : "Screenshot not saved: " + HomeAsTilde(error);
}

Screenshot::Screenshot(std::string folder) : folder(std::move(folder)) {}

Screenshot::~Screenshot() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    shotWaiting.notify_one();
    if (worker.joinable()) worker.join();
    // Nobody collects these any more: failures still get their line.
    for (const Outcome& outcome : outcomes) Report(outcome);
}

bool Screenshot::Take(int widthPx, int heightPx) {
    Shot shot;
    shot.when = std::time(nullptr);
    shot.widthPx = widthPx;
    shot.heightPx = heightPx;
    Outcome refused;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (waiting.size() >= MaxWaiting) refused.error = "the screenshots before it are still being written";
    }
    if (widthPx <= 0 || heightPx <= 0) refused.error = "the window has no pixels";
    if (refused.error.empty()) {
        shot.bgra.resize(static_cast<std::size_t>(widthPx) * static_cast<std::size_t>(heightPx) * 4);
        // The window's back buffer even when a pass left its frame buffer
        // bound; rows packed as EncodePng takes them.
        GLint frameBuffer = 0, readBuffer = GL_BACK;
        glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &frameBuffer);
        if (frameBuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        while (glGetError() != GL_NO_ERROR) {
        }
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, widthPx, heightPx, GL_BGRA, GL_UNSIGNED_BYTE, shot.bgra.data());
        const GLenum error = glGetError();
        glPopClientAttrib();
        glReadBuffer(static_cast<GLenum>(readBuffer));
        if (frameBuffer != 0) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, static_cast<GLuint>(frameBuffer));
        if (error != GL_NO_ERROR) {
            char text[64];
            std::snprintf(text, sizeof text, "the window could not be read back (GL error 0x%04x)", error);
            refused.error = text;
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (!refused.error.empty()) {
        outcomes.push_back(refused);
        return false;
    }
    waiting.push_back(std::move(shot));
    ++takenCount;
    if (!worker.joinable()) worker = std::thread(&Screenshot::Work, this);
    shotWaiting.notify_one();
    return true;
}

std::vector<Screenshot::Outcome> Screenshot::TakeOutcomes() {
    std::vector<Outcome> taken;
    {
        std::lock_guard<std::mutex> lock(mutex);
        taken.swap(outcomes);
    }
    for (const Outcome& outcome : taken) Report(outcome);
    return taken;
}

void Screenshot::Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    shotDone.wait(lock, [this] { return doneCount == takenCount; });
}

std::string Screenshot::FileName(std::time_t when, int count) {
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H-%M-%S", &local);
    std::string name = std::string("Vantrel ") + stamp;
    if (count > 1) name += " (" + std::to_string(count) + ")";
    return name + ".png";
}

Screenshot::Outcome Screenshot::Write(const std::string& folder, std::time_t when,
                                      const std::vector<unsigned char>& png) {
    Outcome outcome;
    if (!UserFolders::MakeFolder(folder, outcome.error)) return outcome;
    for (int count = 1; count <= MaxNamesPerSecond; ++count) {
        const std::string path = folder + "/" + FileName(when, count);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            outcome.error = path + ": " + std::strerror(errno);
            return outcome;
        }
        const bool written = WriteAll(fd, png);
        const int writeErrno = errno;
        // close reports what a network file system could not write.
        const bool closed = close(fd) == 0;
        if (written && closed) {
            outcome.saved = true;
            outcome.file = path;
            return outcome;
        }
        outcome.error = path + ": " + std::strerror(written ? errno : writeErrno);
        unlink(path.c_str());
        return outcome;
    }
    outcome.error = folder + ": every name for this second is taken";
    return outcome;
}

void Screenshot::Work() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        shotWaiting.wait(lock, [this] { return stopping || !waiting.empty(); });
        if (waiting.empty()) return;
        const Shot shot = std::move(waiting.front());
        waiting.pop_front();
        lock.unlock();
        const Outcome outcome = Save(shot);
        lock.lock();
        outcomes.push_back(outcome);
        ++doneCount;
        shotDone.notify_all();
    }
}

Screenshot::Outcome Screenshot::Save(const Shot& shot) const {
    const std::string target = folder.empty() ? UserFolders::PicturesFolder() : folder;
    std::vector<unsigned char> png;
    if (!ImageLoader::EncodePng(shot.bgra.data(), static_cast<unsigned>(shot.widthPx),
                                static_cast<unsigned>(shot.heightPx), png)) {
        Outcome outcome;
        outcome.error = "the picture could not be encoded as PNG";
        return outcome;
    }
    return Write(target, shot.when, png);
}

void Screenshot::Report(const Outcome& outcome) {
    if (!outcome.saved) std::cout << "[WARN] Screenshot: not saved: " << outcome.error << std::endl;
}
