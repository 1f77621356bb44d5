#include "CarRecovery.h"

#include <cmath>

#include "cars/Car.h"
#include "track/RoadCentreLine.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"

namespace {
const double Pi = 3.14159265358979323846;
}

bool CarRecovery::Recover(Car& car, physics::World& world, const RoadCentreLine& road) {
    if (!car.body || road.IsEmpty()) return false;
    const vmath::vec3<float> position = car.body->GetPosition();
    if (!PlaceOnRoad(car, world, road, road.Project(position.x, position.y), 0.0)) return false;
    // Held with the brake until the driver asks for throttle or brake: on a
    // slope a car let go would roll away.
    car.held = true;
    return true;
}

bool CarRecovery::PlaceOnRoad(Car& car, physics::World& world, const RoadCentreLine& road, double s,
                              double lateralM) {
    if (!car.body || road.IsEmpty()) return false;
    const RoadCentreLine::Point at = road.At(s);
    const vmath::vec2<double> along = road.Tangent(s);
    if (!PlaceAt(car, world, at.x - along.y * lateralM, at.y + along.x * lateralM, along)) return false;
    // The chase camera's anchor straight behind at the view's distance and
    // level with the car: the next update frames it there instead of
    // swinging round from where the car was.
    const Car::ChaseView& view = Car::Views[car.cameraMode == 1 ? 1 : 0];
    const vmath::vec3<float> anchor = car.body->GetPosition() - car.body->GetAxis(1) * view.distance;
    for (int i = 0; i < 3; ++i) car.cameraPosition[i] = anchor[i];
    car.cameraHeightTerm = 0.0f;
    return true;
}

bool CarRecovery::PlaceAt(Car& car, physics::World& world, double x, double y, const vmath::vec2<double>& along) {
    if (!car.body) return false;
    vmath::vec3<float> ground, normal;
    if (!world.FindGround(static_cast<float>(x), static_cast<float>(y), ground, normal)) return false;
    const vmath::vec3<float> forward(static_cast<float>(along.x), static_cast<float>(along.y), 0.0f);
    if (!car.body->PlaceAt(ground, normal, forward)) return false;

    // The pedals and the wheel start afresh: keys still held take them up again.
    car.throttle = car.brake = car.steering = 0.0f;
    return true;
}

bool CarRecovery::PlaceAtStart(Car& car, physics::World& world, const TrackDescription::Way& way, std::size_t place) {
    const double heading = way.startHeadingDeg * Pi / 180.0;
    const vmath::vec2<double> ahead(-std::sin(heading), std::cos(heading)), left(-ahead.y, ahead.x);
    // The others beside the first and in a row behind: 3 m apart, rows 8 m.
    const double backM = 8.0 * static_cast<double>(place / 2), sideM = place % 2 == 1 ? -3.0 : 0.0;
    return PlaceAt(car, world, way.startX - ahead.x * backM + left.x * sideM,
                   way.startY - ahead.y * backM + left.y * sideM, ahead);
}
