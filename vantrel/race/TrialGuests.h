#pragma once
// The other cars of a Time Trial raced elsewhere: a network trial's other
// players, each on its own run from the same start line.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <vmath/vec3.h>

#include "drivers/GhostDriver.h"
#include "hud/Minimap.h"
#include "replay/RecordedRun.h"

class CarPool;
class Renderer;
class View;
struct Car;

/// Each guest is a see-through copy of its car from the pool without a
/// body, as the best run's ghost is: nothing here touches it and the world
/// does not count it, so every player's trial is their own. It stands where
/// its states put it (Pose), fades out near the player's car as the ghost
/// does, shows on the map as a hollow dot of its colour and its name over
/// it. The race mode owns it for one start, before the pool goes.
class TrialGuests {
public:
    /// Cars made by `cars`, which must outlive the guests.
    explicit TrialGuests(CarPool& cars);
    /// Gives the guests' cars back to the pool.
    ~TrialGuests();
    TrialGuests(const TrialGuests&) = delete;
    TrialGuests& operator=(const TrialGuests&) = delete;

    /// One more guest in car model `model`, named `name`, drawn `colour` on the map.
    /// @return false when its car cannot be made
    bool Add(unsigned model, std::string name, const vmath::vec3<float>& colour);
    std::size_t GetCount() const { return guests.size(); }
    const std::string& GetName(std::size_t guest) const { return guests[guest].name; }
    /// Guest `guest`'s car; null past the last.
    const Car* GetCar(std::size_t guest) const { return guest < guests.size() ? guests[guest].car : nullptr; }

    /// Guest `guest` as `shown` has it, faded by its distance to `ownM`
    /// (the player's car); null hides it (no state yet, or gone).
    void Pose(std::size_t guest, const RecordedRun::Sample* shown, const vmath::vec3<float>& ownM);
    bool IsShown(std::size_t guest) const { return guest < guests.size() && guests[guest].shown; }
    /// Shown and not faded out: where its name goes over it.
    bool IsSeen(std::size_t guest) const { return IsShown(guest) && guests[guest].opacity > 0.0f; }

    /// The shown guests over the scene drawn last, seen through `view`.
    void Draw(Renderer& renderer, const View& view) const;
    /// The shown guests on the map.
    std::vector<MapDot> MapDots() const;

private:
    struct Guest {
        Car* car = nullptr;  ///< the pool's
        std::unique_ptr<GhostDriver> driver;
        std::string name;
        vmath::vec3<float> colour;
        vmath::vec3<float> positionM;
        bool shown = false;
        float opacity = 0.0f;
    };

    CarPool& cars;
    RecordedRun none;  ///< what the guests' drivers drive between their states: nothing
    std::vector<Guest> guests;
};
