#include "CarPool.h"

#include <algorithm>

#include <lumora/Lumora.h>
#include <nodara/Font.h>
#include <nodara/GroupNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>

#include "hud/Gauge.h"
#include "graphics/ImageTexture.h"
#include "physics/CarTemplate.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"

const char* const CarPool::ModelFiles[CarPool::CarCount] = {
    "../data/cars/NissanSkyline/NissanSkyline.dae",
    "../data/cars/BugattiVeyron/BugattiVeyron.dae",
};
const char* const CarPool::NodeNames[CarPool::CarCount] = {"NissanSkyline", "BugattiVeyron"};
const char* const CarPool::RpmDialFiles[CarPool::CarCount] = {
    "../data/cars/NissanSkyline/gauges/rpm.png",
    "../data/cars/BugattiVeyron/gauges/rpm.png",
};
const char* const CarPool::SpeedDialFiles[CarPool::CarCount] = {
    "../data/cars/NissanSkyline/gauges/tacho.png",
    "../data/cars/BugattiVeyron/gauges/tacho.png",
};

namespace {

// Wheel and steering nodes inside each car model, in the physics' wheel order.
const char* const WheelNodeNames[4] = {"wheel_front_left", "wheel_front_right", "wheel_rear_left",
                                       "wheel_rear_right"};
const char* const SteeringNodeNames[2] = {"steer_front_left", "steer_front_right"};

// Needle calibrations (value, degrees) of each car's dials: rpm and km/h.
const Gauge::CalibrationPoint RpmCalibration[CarPool::CarCount][2] = {{{0.0f, 215.0f}, {9000.0f, 30.0f}},
                                                                        {{0.0f, 270.0f}, {9000.0f, 0.0f}}};
const Gauge::CalibrationPoint SpeedCalibration[CarPool::CarCount][2] = {{{0.0f, 215.0f}, {320.0f, -35.0f}},
                                                                          {{0.0f, 270.0f}, {360.0f, 0.0f}}};
const float RpmDialScale = 1.8f;
const float SpeedDialScale = 1.6f;

}  // namespace

CarPool::CarPool(Lumora& engine) : engine(engine) {}

CarPool::CarPool(Lumora& engine, physics::World* physics) : engine(engine), physics(physics) {}

CarPool::~CarPool() {
    raceCars = {};
    displayCars = {};
    gauges.clear();
    // The bodies go back to the world, which must still exist.
    if (physics)
        for (physics::DynamicObjectCar* body : bodies) physics->DestroyCar(body);
}

Car* CarPool::GetCar(unsigned index) { return physics ? GetRaceCar(index) : GetDisplayCar(index); }

Car* CarPool::GetRaceCar(unsigned index) {
    if (index >= CarCount) return nullptr;
    if (raceCars[index]) return raceCars[index].get();
    std::unique_ptr<Car> car(new Car);
    // Each step needs the ones before it, so creation ends at the first failure.
    bool ok = FindRaceCarNodes(*car, index);
    if (ok) {
        car->gearFont = engine.GetRenderer() ? engine.GetRenderer()->GetFontManager().Generate("Arial", 26) : nullptr;
        ok = car->gearFont != nullptr;
    }
    ok = ok && MakeDials(*car, index) && MakeBody(*car, index);
    if (!ok) {
        ReleaseParts(*car);
        if (car->model) engine.UnLoadModel(car->model);
        return nullptr;
    }
    std::vector<vmath::mat4<float>>& start = startMatrices[index];
    start = {car->node->GetTransform().GetMatrix()};
    for (const std::vector<GroupNode*>* nodes : {&car->wheels, &car->steeringNodes})
        for (GroupNode* node : *nodes) start.push_back(node->GetTransform().GetMatrix());
    raceCars[index] = std::move(car);
    return raceCars[index].get();
}

bool CarPool::ResetCar(unsigned index) {
    if (!physics || index >= CarCount || !raceCars[index]) return false;
    Car& car = *raceCars[index];
    // The wheels and steering nodes turn by increments: they go back too.
    const std::vector<vmath::mat4<float>>& start = startMatrices[index];
    std::size_t next = 0;
    car.node->GetTransform().SetMatrix(start[next++]);
    for (const std::vector<GroupNode*>* nodes : {&car.wheels, &car.steeringNodes})
        for (GroupNode* node : *nodes) node->GetTransform().SetMatrix(start[next++]);

    // A new body rather than the old one moved back: nothing of the last run
    // (speeds, gear, engine, suspension, a hold) can carry over.
    bodies.erase(std::find(bodies.begin(), bodies.end(), car.body));
    physics->DestroyCar(car.body);
    car.body = nullptr;
    car.throttle = car.brake = car.steering = car.steeringRate = car.previousSteering = 0.0f;
    car.cameraHeightTerm = 1.0f;
    car.cameraTime = 0.0f;
    car.controlsEnabled = false;
    return MakeBody(car, index);
}

bool CarPool::FindRaceCarNodes(Car& car, unsigned index) {
    car.model = engine.LoadModel(ModelFiles[index]);
    if (!car.model) return false;
    Node& top = *car.model->GetModelNode();
    car.node = dynamic_cast<GroupNode*>(Node::Search(top, NodeNames[index]));
    if (!car.node) return false;
    for (const char* name : SteeringNodeNames) {
        GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(top, name));
        if (!node) return false;
        car.steeringNodes.push_back(node);
    }
    for (const char* name : WheelNodeNames) {
        GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(top, name));
        if (!node) return false;
        car.wheels.push_back(node);
    }
    return true;
}

bool CarPool::MakeDials(Car& car, unsigned index) {
    // A dial whose image is missing is still drawn, without its face.
    gauges.emplace_back(new Gauge(LoadImageTexture(RpmDialFiles[index]), RpmDialScale,
                                  {RpmCalibration[index][0], RpmCalibration[index][1]}));
    car.rpmGauge = gauges.back().get();
    gauges.emplace_back(new Gauge(LoadImageTexture(SpeedDialFiles[index]), SpeedDialScale,
                                  {SpeedCalibration[index][0], SpeedCalibration[index][1]}));
    car.speedGauge = gauges.back().get();
    return true;
}

bool CarPool::MakeBody(Car& car, unsigned index) {
    car.body = physics->CreateCar(physics::CarTemplate::RaceCar(index), car.node->GetTransform().GetMatrix().ptr());
    if (!car.body) return false;
    bodies.push_back(car.body);
    // The first camera update replaces this with its run-in.
    const vmath::vec3<float> anchor = car.body->GetPosition() - car.body->GetAxis(2) * 20.0f;
    for (int i = 0; i < 3; ++i) car.cameraPosition[i] = anchor[i];
    return true;
}

void CarPool::ReleaseParts(Car& car) {
    for (Gauge* gauge : {car.rpmGauge, car.speedGauge}) {
        for (auto it = gauges.begin(); it != gauges.end(); ++it)
            if (it->get() == gauge && gauge) {
                gauges.erase(it);
                break;
            }
    }
    car.rpmGauge = car.speedGauge = nullptr;
    if (car.body) {
        for (auto it = bodies.begin(); it != bodies.end(); ++it)
            if (*it == car.body) {
                bodies.erase(it);
                break;
            }
        physics->DestroyCar(car.body);
        car.body = nullptr;
    }
}

Car* CarPool::GetDisplayCar(unsigned index) {
    if (index >= CarCount) return nullptr;
    if (displayCars[index]) return displayCars[index].get();
    Model* model = engine.LoadModel(ModelFiles[index]);
    if (!model) return nullptr;
    GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(*model->GetModelNode(), NodeNames[index]));
    if (!node) {
        // Unloaded again, so a later request does not pile up copies.
        engine.UnLoadModel(model);
        return nullptr;
    }
    displayCars[index].reset(new Car);
    displayCars[index]->node = node;
    displayCars[index]->model = model;
    return displayCars[index].get();
}
