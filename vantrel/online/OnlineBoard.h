#pragma once
// The leaderboard side of the online page: the server's board of the
// lobby's track for the player's car, the player's best runs sent to it, and
// a run fetched from it to race as a ghost.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "GhostFetch.h"
#include "net/Protocol.h"

class NetClient;
class TrackList;
class TrackTerrain;

/// Acts for the online page's leaderboard keys through the game's link,
/// and keeps the ghost fetched for the Time Trial that follows, which
/// outlives the link.
class OnlineBoard {
public:
    /// `tracks` names the tracks this game has; it must outlive the board.
    explicit OnlineBoard(const TrackList& tracks) : tracks(tracks) {}

    /// Shows the board of `track` for `car` (asked of the server), or hides it.
    /// @return a line for the player, empty for none
    std::string Toggle(NetClient& client, const Protocol::TrackRef& track, const std::string& car);
    bool IsShown() const { return shown; }
    /// Asks for the run of the board's line `index`.
    std::string Fetch(NetClient& client, std::size_t index);
    /// Sends the player's best runs that can be checked (ghost files with
    /// inputs) that the server has a board for: `first`'s first, at most
    /// as many as a minute allows.
    std::string SendBestRuns(NetClient& client, const Protocol::TrackRef& first);
    /// What came from the server this frame, and a drive finished.
    /// @return a line for the player (a verdict, the ghost ready), empty for none
    std::string Frame(NetClient* client);
    /// The board's lines as the page shows them: "1.  Ann  02:17.10  2026-12-10".
    std::vector<std::string> Lines() const;
    /// Back to the lobby's view, as when the link goes.
    void Hide() { shown = false; }

    /// The ghost fetched for track `trackKey` (TrackDescription::GhostKey)
    /// and car `carKey`, once; none when the last fetched is for another.
    std::optional<GhostFetch::Ghost> TakeGhostFor(const std::string& trackKey, const std::string& carKey);

private:
    /// Takes the ghost of a drive done; a line for the player, empty for none.
    std::string PollFetch();
    /// The ground of `key`'s track, read once through the model plug-in.
    std::shared_ptr<const TrackTerrain> TerrainOf(const std::string& key, std::string& problem);

    const TrackList& tracks;
    bool shown = false;
    std::optional<Protocol::Board> board;
    GhostFetch fetch;
    std::optional<GhostFetch::Ghost> ghost;
    std::map<std::string, std::shared_ptr<const TrackTerrain>> terrains;
};
