#pragma once
// The cars of a race where nothing is drawn: bodies without models.
#include <memory>
#include <vector>

#include "CarMaker.h"

struct Car;
namespace physics {
class World;
}

/// Race cars with a physics body and nothing else: no nodes, dials or
/// font. Everything the body needs comes from the car's description
/// (CarDescription::GetTemplate: box, mass, wheels, suspension, tyres,
/// engine, gearbox); a model only ever placed the body where its car node
/// stood, and a race puts every car on its grid place anyway. The server
/// and a client without a window race such cars; they drive, collide and
/// are driven as the game's.
class HeadlessCars : public CarMaker {
public:
    /// Bodies go into `world`, which must outlive the cars.
    explicit HeadlessCars(physics::World& world) : world(world) {}
    ~HeadlessCars() override;
    HeadlessCars(const HeadlessCars&) = delete;
    HeadlessCars& operator=(const HeadlessCars&) = delete;

    /// A car of model `modelIndex` (CarCatalogue) at the world's origin, at rest.
    /// @return null past the last model, or when the body cannot be made
    Car* MakeCar(unsigned modelIndex);
    Car* MakeOpponent(unsigned modelIndex, const float paintRgb[3]) override;
    /// Takes `car`'s body out of the world; the car stays, without one.
    void ReleaseBody(Car& car);
    std::size_t GetCount() const { return cars.size(); }

private:
    physics::World& world;
    std::vector<std::unique_ptr<Car>> cars;
};
