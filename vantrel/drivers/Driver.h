#pragma once
// What drives a car in a race: the player at the keys and the pad, one of the
// game's drivers, or (later) a recorded run. The race asks each racer's
// driver for its car's controls once a frame and needs to know nothing else
// about it, so a field of the game's cars needs no special case anywhere.

struct Car;

class Driver {
public:
    virtual ~Driver() = default;

    /// Sets `car`'s throttle, brake and steering for the next `dtS` seconds
    /// (the race has checked that the step is usable and the race runs).
    virtual void Drive(Car& car, float dtS) = 0;
};
