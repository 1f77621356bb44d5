#pragma once
#include <array>
#include <memory>

#include "Car.h"

class Lumora;

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

    /// A pool for display only (no physics) on `engine`, which must outlive it.
    explicit CarPool(Lumora& engine);
    ~CarPool();
    CarPool(const CarPool&) = delete;
    CarPool& operator=(const CarPool&) = delete;

    /// The display car `index`, loading its model on the first request.
    /// @return the car (owned by the pool), or null when the index is out of
    ///         range, the model does not load or has no car node (such a
    ///         model is unloaded again); a failed car is tried again on the
    ///         next request
    Car* GetCar(unsigned index);

private:
    Lumora& engine;
    std::array<std::unique_ptr<Car>, CarCount> displayCars;
};
