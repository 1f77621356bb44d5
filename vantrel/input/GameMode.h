#pragma once
#include "EventHandler.h"

class HudNotice;

/// What the application runs: the show room or a race. A mode owns its own
/// graphics engine, registers its listeners with the application's event
/// handler when it is made and removes them when it is deleted; switching
/// modes deletes one and makes the other from scratch.
class GameMode : public EventHandler::EventListener {
public:
    /// Deleted by the application, which knows modes by this interface.
    virtual ~GameMode() = default;

    /// The mode's share of one pass of the frame loop, run before the buffer
    /// swap: input and simulation, the timing step on the mode's frame
    /// statistics, rendering, then its 2-D overlay.
    virtual void Frame() = 0;

    /// The application's notice, which the mode draws last in its overlay
    /// while it is shown; null for none. Not owned: it outlives the mode.
    void SetNotice(const HudNotice* value) { notice = value; }

protected:
    const HudNotice* notice = nullptr;
};
