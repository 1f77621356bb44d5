#include "HeadlessCars.h"

#include "Car.h"
#include "CarCatalogue.h"
#include "physics/World.h"

HeadlessCars::~HeadlessCars() {
    for (const std::unique_ptr<Car>& car : cars) world.DestroyCar(car->body);
}

Car* HeadlessCars::MakeCar(unsigned modelIndex) {
    if (modelIndex >= CarCatalogue::Count()) return nullptr;
    static const float Origin[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    auto car = std::make_unique<Car>();
    car->body = world.CreateCar(CarCatalogue::Describe(modelIndex).GetTemplate(), Origin);
    if (!car->body) return nullptr;
    cars.push_back(std::move(car));
    return cars.back().get();
}

Car* HeadlessCars::MakeOpponent(unsigned modelIndex, const float[3]) { return MakeCar(modelIndex); }

void HeadlessCars::ReleaseBody(Car& car) {
    world.DestroyCar(car.body);
    car.body = nullptr;
}
