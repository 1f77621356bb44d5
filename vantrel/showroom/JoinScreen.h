#pragma once
#include <string>
#include <vector>

#include <nodara/Renderer.h>

#include "input/InputDevice.h"

class EventHandler;
class Font;
class KeySets;

/// Who plays, before a race of several players at one screen: each player
/// takes the next free place by pressing Return or throttle on their own
/// device (a key set of the keyboard or a pad), then picks a car with their
/// steering keys; Return once every place is taken starts the race, Escape
/// (a pad's B) leaves. The first place's car is the show room's.
class JoinScreen {
public:
    /// One place taken.
    struct Place {
        InputDevice device;
        unsigned carIndex = 0;
    };

    /// Opens for `players` places (2 to 4), the first player's car
    /// `firstCar`, cars numbered 0 ... `carCount` - 1.
    void Open(unsigned players, unsigned firstCar, unsigned carCount);
    void Close() { open = false; }
    bool IsOpen() const { return open; }
    /// Every place taken and Return pressed: the race may start.
    bool IsReady() const { return ready; }
    const std::vector<Place>& GetPlaces() const { return places; }
    unsigned GetPlayerCount() const { return players; }

    /// A key press from the device `handler` names (KeySets::DeviceOf),
    /// `keys` being both key sets as the players bound them.
    /// @return false for a key that is none of the join step's
    bool OnKey(const EventHandler& handler, const KeySets& keys, unsigned key);

    /// A line a place, "Player 2  Keys 2  Nissan Skyline" or "Player 3:
    /// press Return or throttle", then the keys; `carName` names a car.
    std::vector<std::string> Lines(const char* (*carName)(unsigned)) const;
    /// Lines() in a panel over the show room, in window pixels.
    void Draw(Renderer::FontManager& fonts, Font& font, float widthPx, float heightPx,
              const char* (*carName)(unsigned)) const;

private:
    /// The place taken by `device`, or -1.
    int PlaceOf(const InputDevice& device) const;

    bool open = false;
    bool ready = false;
    unsigned players = 2;
    unsigned carCount = 1;
    unsigned firstCarIndex = 0;  ///< the show room's car, the first place's
    std::vector<Place> places;
};
