#include "OnlinePage.h"

#include <algorithm>
#include <utility>

#include <GL/glew.h>

#include "net/Protocol.h"
#include "platform/WindowMessage.h"

const char* const OnlinePage::HostEntry = "Host a game";
const char* const OnlinePage::JoinEntry = "Join: ";
const char* const OnlinePage::PasswordEntry = "Password: ";
const char* const OnlinePage::SearchEntry = "Search the local network";

namespace {

const int Pressed = 0;
const char* const MenuKeys = "Up / Down: choose   Left / Right: mode   Return: go   Escape: back";
const char* const LobbyKeys = "R: ready   S: send my best runs   B: leaderboard   Escape: leave";
const char* const BoardKeys = "Up / Down: choose   Return: race this ghost   B: lobby";
const char* const EmptyBoard = "No one has a run on this board yet";

}  // namespace

void OnlinePage::Open() {
    open = true;
    line = 0;
    view = View();
    typing = TextField(HostAddress::MaxTextLength);
    request = Request::None;
}

void OnlinePage::Close() {
    open = false;
    typing = TextField(HostAddress::MaxTextLength);
}

void OnlinePage::OnKey(unsigned key, int state) {
    if (!open || state != Pressed) return;
    if (typing.IsEditing()) {
        const TextField::Outcome outcome = typing.OnKey(key);
        (typingPassword ? password : address) = typing.GetText();
        if (outcome == TextField::Outcome::Done && !typingPassword) request = Request::Join;
        return;
    }
    if (view.inGame && view.showingBoard) {
        const int lines = static_cast<int>(view.board.size());
        if (key == VK_UP && lines > 0) boardLine = (boardLine + lines - 1) % lines;
        if (key == VK_DOWN && lines > 0) boardLine = (boardLine + 1) % lines;
        if (key == VK_RETURN && lines > 0) request = Request::Fetch;
        if (key == 'B' || key == VK_ESCAPE) request = Request::Board;
        return;
    }
    if (view.inGame) {
        if (key == 'R') request = Request::Ready;
        if (key == 'S') request = Request::SendRuns;
        if (key == 'B') request = Request::Board;
        if (key == VK_ESCAPE) request = Request::Leave;
        return;
    }
    const int lines = MenuLineCount();
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        if (line == 0) hostTrial = !hostTrial;
        break;
    case VK_UP: line = (line + lines - 1) % lines; break;
    case VK_DOWN: line = (line + 1) % lines; break;
    case VK_RETURN: Activate(); break;
    case VK_ESCAPE: Close(); break;
    default: break;
    }
}

void OnlinePage::OnChar(unsigned character) {
    if (open && typing.OnChar(character)) (typingPassword ? password : address) = typing.GetText();
}

void OnlinePage::Activate() {
    const int found = static_cast<int>(view.found.size());
    if (line == 0) {
        request = Request::Host;
    } else if (line == 1) {
        typing = TextField(HostAddress::MaxTextLength);
        typingPassword = false;
        typing.Begin(address);
    } else if (line == 2) {
        typing = TextField(Protocol::MaxPasswordLength);
        typingPassword = true;
        typing.Begin(password);
    } else if (line == 3) {
        request = Request::Search;
    } else if (line < FirstFound + found) {
        foundChoice = static_cast<std::size_t>(line - FirstFound);
        request = Request::JoinFound;
    } else {
        Close();
    }
}

OnlinePage::Request OnlinePage::TakeRequest() { return std::exchange(request, Request::None); }

void OnlinePage::SetView(View value) {
    view = std::move(value);
    // Games come and go between searches: the choice stays on the page.
    line = std::min(line, MenuLineCount() - 1);
    boardLine = std::max(0, std::min(boardLine, static_cast<int>(view.board.size()) - 1));
}

std::vector<std::string> OnlinePage::Lines(int& chosen) const {
    std::vector<std::string> lines;
    if (view.inGame && view.showingBoard) {
        lines = view.board;
        if (lines.empty()) lines.push_back(EmptyBoard);
        lines.push_back(BoardKeys);
        chosen = view.board.empty() ? -1 : boardLine;
    } else if (view.inGame) {
        lines = view.lobby;
        lines.push_back(LobbyKeys);
        chosen = -1;
    } else {
        lines.push_back(std::string(HostEntry) + (hostTrial ? ": Time Trial   < >" : ": Race   < >"));
        const bool typingAddress = typing.IsEditing() && !typingPassword;
        lines.push_back(JoinEntry + (typingAddress ? typing.Shown() : address.empty() ? "type host:port" : address));
        // Stars, as many as typed, and the cursor while typing.
        const std::string stars(password.size(), '*');
        lines.push_back(PasswordEntry + (typing.IsEditing() && typingPassword ? stars + "_"
                                         : password.empty()                   ? std::string("none")
                                                                              : stars));
        lines.push_back(SearchEntry);
        for (const std::string& game : view.found) lines.push_back("   " + game);
        lines.push_back("Back");
        lines.push_back(MenuKeys);
        chosen = line;
    }
    return lines;
}

void OnlinePage::Draw(Renderer::FontManager& fonts, Font& font, Font& small, float w, float h) const {
    if (!open) return;
    int chosen = -1;
    const std::vector<std::string> lines = Lines(chosen);
    const float lineHeight = 34.0f, top = h - 60.0f;
    const float bottom = std::max(20.0f, top - lineHeight * static_cast<float>(lines.size() + 1) - 30.0f);
    glColor4f(0.05f, 0.05f, 0.1f, 0.85f);
    glBegin(GL_QUADS);
    glVertex3f(60, bottom, -0.5f);
    glVertex3f(w - 60, bottom, -0.5f);
    glVertex3f(w - 60, top + 30, -0.5f);
    glVertex3f(60, top + 30, -0.5f);
    glEnd();
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    fonts.Print(font, 100, top - 10,
                view.inGame ? (view.showingBoard ? "Online: leaderboard" : "Online: lobby") : "Online");
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool keys = i + 1 == lines.size();
        if (static_cast<int>(i) == chosen)
            glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
        else if (keys)
            glColor4f(0.6f, 0.6f, 0.6f, 1.0f);
        else
            glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
        fonts.Print(keys ? small : font, 120, top - 10 - lineHeight * static_cast<float>(i + 1), lines[i]);
    }
    if (!view.status.empty()) {
        glColor4f(1.0f, 0.6f, 0.2f, 1.0f);
        fonts.Print(small, 120, bottom + 12, view.status);
    }
}
