#pragma once
#include <string>
#include <vector>

#include <nodara/Renderer.h>

#include "hud/TextField.h"
#include "net/HostAddress.h"

class Font;

/// The show room's "Online" page: "Host a game" (a Race or, Left / Right,
/// a Time Trial), "Join: <address>" (Return
/// types the address, Return again joins), "Password: " (Return types the
/// password a game to join asks for, or one hosted here asks of the others;
/// shown as stars), "Search the local network", the
/// games found, each joined with Return, and "Back". Once in a game the page
/// shows its lobby instead: R marks the player ready (or not), S sends the
/// player's best runs to the server's leaderboard, B shows the leaderboard
/// of the lobby's track and the player's car (Return on a line races that
/// run as the ghost of the next Time Trial, B goes back), Escape leaves.
///
/// The page holds no network link: what the player asks for is taken by the
/// owner (TakeRequest), which shows back what came of it (SetView).
class OnlinePage {
public:
    enum class Request { None, Host, Join, JoinFound, Search, Ready, Leave, Board, SendRuns, Fetch };

    /// What the page shows of the network game.
    struct View {
        bool inGame = false;               ///< the lobby instead of the menu
        std::vector<std::string> found;    ///< a line a game found
        std::vector<std::string> lobby;    ///< the lobby's lines
        bool showingBoard = false;         ///< the leaderboard instead of the lobby
        std::vector<std::string> board;    ///< a line a run on it
        std::string status;                ///< the line under it all
    };

    static const char* const HostEntry;    ///< "Host a game"
    static const char* const JoinEntry;    ///< "Join: "
    static const char* const PasswordEntry;  ///< "Password: "
    static const char* const SearchEntry;  ///< "Search the local network"

    /// Opens on the menu's first line.
    void Open();
    /// The address the Join line starts with, as last typed.
    void SetAddress(const std::string& value) { address = value; }
    void Close();
    bool IsOpen() const { return open; }
    /// A line is being typed: the window must send characters.
    bool IsTyping() const { return typing.IsEditing(); }

    /// Key presses (state 0) while open.
    void OnKey(unsigned key, int state);
    void OnChar(unsigned character);

    /// The last thing asked for, once; Request::None when nothing was.
    Request TakeRequest();
    /// The address typed, for Request::Join.
    const std::string& GetAddress() const { return address; }
    /// What a game hosted here races: a Time Trial (Left / Right on the
    /// host line), else a Race.
    bool IsHostingTrial() const { return hostTrial; }
    /// The password typed (empty: none), for joining and hosting alike.
    const std::string& GetPassword() const { return password; }
    /// The game found chosen, for Request::JoinFound (an index in View::found).
    std::size_t GetFoundChoice() const { return foundChoice; }
    /// The leaderboard's line chosen, for Request::Fetch (an index in View::board).
    std::size_t GetBoardChoice() const { return static_cast<std::size_t>(boardLine); }

    void SetView(View value);
    const View& GetView() const { return view; }
    /// The lines as drawn, the chosen one's index in `chosen` (-1: none).
    std::vector<std::string> Lines(int& chosen) const;
    /// The page over the show room, in window pixels.
    void Draw(Renderer::FontManager& fonts, Font& font, Font& small, float widthPx, float heightPx) const;

private:
    /// The menu's lines: the four entries, the games found, "Back".
    int MenuLineCount() const { return FirstFound + static_cast<int>(view.found.size()) + 1; }
    static constexpr int FirstFound = 4;  ///< the menu's line of the first game found
    void Activate();

    bool open = false;
    int line = 0;
    std::string address;
    std::string password;
    TextField typing{HostAddress::MaxTextLength};
    bool hostTrial = false;
    bool typingPassword = false;  ///< `typing` holds the password, not the address
    Request request = Request::None;
    std::size_t foundChoice = 0;
    int boardLine = 0;
    View view;
};
