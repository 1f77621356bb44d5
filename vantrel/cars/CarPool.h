#pragma once
#include <array>
#include <memory>

#include <vector>

#include <vmath/mat4.h>

#include "Car.h"

class Gauge;
class Lumora;

namespace physics {
class World;
}

/// The cars of one game mode, made on first request through the mode's
/// engine and kept until the pool is destroyed. The models themselves belong
/// to the engine, so the pool must go before its engine.
class CarPool {
public:
    /// Number of cars in the game, addressed by index 0 .. CarCount - 1.
    static const unsigned CarCount = 2;
    /// Model file of each car.
    static const char* const ModelFiles[CarCount];
    /// Name of each car's group node inside its model.
    static const char* const NodeNames[CarCount];

    /// Each car's dial images: engine speed and road speed.
    static const char* const RpmDialFiles[CarCount];
    static const char* const SpeedDialFiles[CarCount];

    /// A pool for display only (no physics) on `engine`, which must outlive it.
    explicit CarPool(Lumora& engine);
    /// A pool of race cars on `engine`, with their bodies in `physics`; both
    /// must outlive the pool. A null world makes a display pool.
    CarPool(Lumora& engine, physics::World* physics);
    ~CarPool();
    CarPool(const CarPool&) = delete;
    CarPool& operator=(const CarPool&) = delete;

    /// The race car `index` when the pool has physics, else the display car.
    /// A race car is made on the first request: nodes, gear font, dials and
    /// body, stopping at the first step that fails and releasing what it made.
    /// @return the car (owned by the pool), or null when it cannot be made
    Car* GetCar(unsigned index);

    /// Puts race car `index` back as it was made, for a new start on the same
    /// track: its nodes where the model placed them, a new body there at
    /// rest, no pedals or steering, controls disabled and the chase camera
    /// to run in again; the chosen chase view stays. Nothing is loaded.
    /// @return false when the pool has no such race car, or its new body
    ///         cannot be made (the car is then left without one)
    bool ResetCar(unsigned index);

private:
    /// The display car `index`, loading its model on the first request.
    /// @return the car (owned by the pool), or null when the index is out of
    ///         range, the model does not load or has no car node (such a
    ///         model is unloaded again); a failed car is tried again on the
    ///         next request
    Car* GetDisplayCar(unsigned index);
    Car* GetRaceCar(unsigned index);
    /// The steps of race-car creation; each says whether it succeeded.
    bool FindRaceCarNodes(Car& car, unsigned index);
    bool MakeDials(Car& car, unsigned index);
    bool MakeBody(Car& car, unsigned index);
    /// Deletes a failed race car's dials and body again.
    void ReleaseParts(Car& car);

    Lumora& engine;
    physics::World* physics = nullptr;
    std::array<std::unique_ptr<Car>, CarCount> displayCars;
    std::array<std::unique_ptr<Car>, CarCount> raceCars;
    /// Each race car's node, wheel and steering-node matrices as loaded, in that order.
    std::array<std::vector<vmath::mat4<float>>, CarCount> startMatrices;
    std::vector<std::unique_ptr<Gauge>> gauges;   ///< every dial made
    std::vector<physics::DynamicObjectCar*> bodies;  ///< released to the world with the pool
};
