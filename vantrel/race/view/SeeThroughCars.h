#pragma once
// Cars that are not really there (a best run's ghost, another player's
// Time Trial), drawn over the scene so that the road shows through them.
#include <vector>

class Renderer;
class View;
struct Car;

class SeeThroughCars {
public:
    /// Draws each of `cars` (the pool's ghosts, their opacity set) over the
    /// scene drawn last, seen through `view` with the projection in force:
    /// its depth first, then its colour blended where it is nearest, so the
    /// inside of a car does not show through its body. Fixed function, every
    /// state it changes given back.
    static void Draw(Renderer& renderer, const View& view, const std::vector<const Car*>& cars);
};
