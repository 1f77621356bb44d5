#pragma once
// What makes the cars of a race's field: the game's pool (models and bodies)
// or, where nothing is drawn, bodies alone.

struct Car;

/// Makes a car of the game's for a race, with its physics body in the race's
/// world; the maker owns it.
class CarMaker {
public:
    virtual ~CarMaker() = default;
    /// A car of model `modelIndex` (CarCatalogue) painted `paintRgb` (0 ... 1 each).
    /// @return the car, or null when it cannot be made
    virtual Car* MakeOpponent(unsigned modelIndex, const float paintRgb[3]) = 0;
};
