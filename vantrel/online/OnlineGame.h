#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "OnlineBoard.h"
#include "OnlineSession.h"
#include "OnlineSettings.h"
#include "drivers/RacingDriver.h"
#include "track/TrackList.h"

class OnlinePage;
class SettingsStore;

/// Serves the show room's online page: what the player asks for there
/// (host, join, search, ready, leave; the leaderboard's keys through an
/// OnlineBoard) done through an OnlineSession, and
/// what came of it shown back on the page each frame. The player's name and
/// the address typed are kept in the settings.
class OnlineGame {
public:
    /// What a game hosted here races: the show room's choices.
    struct Choices {
        std::string carKey;              ///< the player's car
        std::size_t trackChoice = 0;     ///< an index in TrackList::GetChoices
        unsigned opponents = 0;
        RacingDriver::Skill skill = RacingDriver::Skill::Medium;
    };

    /// `tracks` answers which tracks this game has; `settings` keeps the name
    /// and address (null: nothing kept). Both must outlive the game.
    OnlineGame(const TrackList& tracks, SettingsStore* settings);

    /// Gives the page the address last typed.
    void Attach(OnlinePage& page) const;
    /// One frame: the page's request, the session's messages, the page's view.
    void Frame(OnlinePage& page, const Choices& choices, double dtS);
    /// Leaves the game played and stops one hosted.
    void Leave();
    /// The start of a race the server began while the page was shown, once.
    std::optional<Protocol::RaceStart> TakeRaceStart() { return std::exchange(raceStart, std::nullopt); }
    /// Between frames of a race: the session's messages only.
    void Update(double dtS) { session.Update(dtS); }
    OnlineSession& GetSession() { return session; }

    /// Where games hosted here listen (OnlineSession::Listen's defaults until set).
    void SetListen(OnlineSession::Listen value) { listen = std::move(value); }
    const OnlineSession& GetSession() const { return session; }
    OnlineSettings& GetSettings() { return online; }
    /// The leaderboard's keys, and the ghost it fetched (OnlineBoard::TakeGhostFor).
    OnlineBoard& GetBoard() { return board; }
    /// Sets the player's name and keeps it.
    /// @return why it was refused, empty when it was taken
    std::string SetName(const std::string& name);

private:
    void Act(OnlinePage& page, const Choices& choices);
    NetClient::Identity Identity(const Choices& choices, const std::string& password) const;
    NetClient::TrackLookup Lookup() const;

    const TrackList& tracks;
    SettingsStore* settings;
    OnlineSettings online;
    OnlineSession session;
    OnlineBoard board;
    OnlineSession::Listen listen;
    std::string failure;  ///< the last request's refusal, until the next request
    std::optional<Protocol::RaceStart> raceStart;
    /// The lobby's names by player id as last seen, for who left after the lobby forgot them.
    std::map<std::uint8_t, std::string> names;
};
