#pragma once
// A game's link kept alive while its frames stand still.
#include <atomic>
#include <thread>

class NetClient;

/// Services a link on a thread of its own for as long as it lives: while
/// the game loads a race its frame loop stands, and a server that heard
/// nothing for a few seconds would drop it. Nothing else may use the link
/// meanwhile; what comes in is kept for the frames that follow.
class LinkKeeper {
public:
    /// Keeps `client` (null: nothing) until destroyed.
    explicit LinkKeeper(NetClient* client);
    ~LinkKeeper();
    LinkKeeper(const LinkKeeper&) = delete;
    LinkKeeper& operator=(const LinkKeeper&) = delete;

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};
