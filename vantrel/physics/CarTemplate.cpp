#include "CarTemplate.h"

namespace physics {

namespace {

constexpr float WheelX = 1.1f;
constexpr float WheelY = 1.1f;
constexpr float Gravity = 9.81f;
/// Highest the wheel centre may rise, relative to the box centre: just
/// below the box's floor, where the chassis itself meets the ground (m).
constexpr float WheelCentreTopZ = -0.2f;

/// Wheels at (+-1.1, +-1.1) in model order; fronts steer, rears drive.
void PlaceWheels(CarTemplate& car, float upperPointZ) {
    const float xs[4] = {WheelX, -WheelX, WheelX, -WheelX};
    const float ys[4] = {WheelY, WheelY, -WheelY, -WheelY};
    for (int i = 0; i < 4; ++i) {
        CarTemplate::Wheel& wheel = car.wheels[i];
        wheel.upperPointCS = vmath::vec3<float>(xs[i], ys[i], upperPointZ);
        wheel.steered = i < 2;
        wheel.driven = i >= 2;
        wheel.braked = true;
    }
}

/// Strut length and travel that put the box centre `restHeightM` above flat
/// ground under the car's own weight, so the model's wheels touch the road.
void FitSuspension(CarTemplate& car, float upperPointZ, float restHeightM) {
    float sag = Gravity / (4.0f * car.suspensionStiffness);
    float wheelCentreAtRestZ = car.wheelRadiusM - restHeightM;
    car.suspensionRestLengthM = upperPointZ - wheelCentreAtRestZ + sag;
    car.suspensionTravelM = upperPointZ - WheelCentreTopZ < car.suspensionRestLengthM
                                ? car.suspensionRestLengthM - (upperPointZ - WheelCentreTopZ)
                                : 0.0f;
}

}  // namespace

CarTemplate CarTemplate::RaceCar(unsigned carIndex) {
    CarTemplate car;
    if (carIndex == 1) {
        // The faster car: more torque, a seventh gear and less drag.
        const float upperPointZ = 0.2f;
        car.wheelRadiusM = 0.32f;
        PlaceWheels(car, upperPointZ);
        FitSuspension(car, upperPointZ, 0.70f);
        car.dragCoefficient = 0.40f;
        car.engine.revLimitRpm = 7000.0f;
        car.engine.maxTorqueNm = 620.0f;
        car.engine.torqueCurve = {{1000.0f, 0.55f}, {2500.0f, 0.80f}, {3500.0f, 0.97f}, {4500.0f, 1.0f},
                                  {6000.0f, 0.95f}, {7000.0f, 0.82f}};
        car.engine.engineBrakingTorqueNm = 140.0f;
        car.gearbox.forwardRatios = {3.20f, 2.25f, 1.72f, 1.38f, 1.14f, 0.96f, 0.82f};
        car.gearbox.finalDriveRatio = 3.2f;
        car.gearbox.shiftUpRpm = 6700.0f;
        car.gearbox.shiftDownRpm = 4000.0f;
    } else {
        const float upperPointZ = 0.0f;
        car.wheelRadiusM = 0.30f;
        PlaceWheels(car, upperPointZ);
        FitSuspension(car, upperPointZ, 0.72f);
        car.dragCoefficient = 0.44f;
        car.engine.revLimitRpm = 7500.0f;
        car.engine.maxTorqueNm = 470.0f;
        car.engine.torqueCurve = {{1000.0f, 0.55f}, {2500.0f, 0.78f}, {4000.0f, 0.95f}, {5000.0f, 1.0f},
                                  {6500.0f, 0.93f}, {7500.0f, 0.78f}};
        car.engine.engineBrakingTorqueNm = 120.0f;
        car.gearbox.forwardRatios = {3.10f, 2.15f, 1.62f, 1.28f, 1.04f, 0.86f};
        car.gearbox.finalDriveRatio = 3.45f;
        car.gearbox.shiftUpRpm = 7100.0f;
        car.gearbox.shiftDownRpm = 4200.0f;
    }
    return car;
}

}  // namespace physics
