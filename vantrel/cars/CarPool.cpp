#include "CarPool.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <lumora/Lumora.h>
#include <lumora/OglRenderer.h>
#include <nodara/Font.h>
#include <nodara/GroupNode.h>
#include <nodara/Material.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/NodeTreeCopy.h>
#include <nodara/StateNode.h>

#include "CarCatalogue.h"
#include "CarDetailLevels.h"

#include "hud/Gauge.h"
#include "graphics/ImageTexture.h"
#include "physics/CarTemplate.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"

namespace {

// Wheel and steering nodes inside each car model, in the physics' wheel order.
const char* const WheelNodeNames[4] = {"wheel_front_left", "wheel_front_right", "wheel_rear_left",
                                       "wheel_rear_right"};
const char* const SteeringNodeNames[2] = {"steer_front_left", "steer_front_right"};

const float RpmDialScale = 1.8f;
const float SpeedDialScale = 1.6f;

// An opponent is never drawn at full detail: it is rarely near, and a field
// of them near the camera at the start would cost a software rasteriser five
// full cars. Its middle look keeps the wheels turning.
const unsigned OpponentFinestLevel = CarDetailLevels::Middle;

// Every material the state nodes below `node` push, each once.
void CollectMaterials(const Node& node, std::vector<const Material*>& found) {
    if (const auto* stateNode = dynamic_cast<const StateNode*>(&node))
        if (const auto* material = dynamic_cast<const Material*>(&stateNode->GetState()))
            if (std::find(found.begin(), found.end(), material) == found.end()) found.push_back(material);
    for (unsigned i = 0; const Node* child = node.GetChild(i); ++i) CollectMaterials(*child, found);
}

// `paint` in `rgb`, its ambient a darker share as the car generator makes it.
void Repaint(Material& paint, const float rgb[3], float shade) {
    float c[3];
    for (int i = 0; i < 3; ++i) c[i] = std::clamp(rgb[i], 0.0f, 1.0f) * shade;
    paint.SetDiffuse({c[0], c[1], c[2], paint.GetDiffuse().w});
    paint.SetAmbient({0.45f * c[0], 0.45f * c[1], 0.45f * c[2], paint.GetAmbient().w});
}

}  // namespace

CarPool::CarPool(Lumora& engine) : CarPool(engine, nullptr) {}

CarPool::CarPool(Lumora& engine, physics::World* physics)
    : engine(engine), physics(physics), displayCars(Count()), raceCars(Count()), raceModels(Count()) {}

CarPool::~CarPool() {
    ReleaseGhosts();
    ReleaseOpponents();
    raceCars.clear();
    displayCars.clear();
    gauges.clear();
    // The bodies go back to the world, which must still exist.
    if (physics)
        for (physics::DynamicObjectCar* body : bodies) physics->DestroyCar(body);
}

const CarList& CarPool::Cars() { return CarCatalogue::Cars(); }

std::size_t CarPool::ReloadCars(const std::string& folder) { return CarCatalogue::Reload(folder); }

unsigned CarPool::Count() { return CarCatalogue::Count(); }

const CarDescription& CarPool::Describe(unsigned index) { return CarCatalogue::Describe(index); }

const std::string& CarPool::ShownName(unsigned index) { return CarCatalogue::ShownName(index); }

Car* CarPool::GetCar(unsigned index) { return physics ? GetRaceCar(index) : GetDisplayCar(index); }

Car* CarPool::GetRaceCar(unsigned index) {
    if (index >= raceCars.size()) return nullptr;
    if (raceCars[index]) return raceCars[index].get();
    RaceModel* raceModel = GetRaceModel(index);
    if (!raceModel) return nullptr;
    std::unique_ptr<Car> car(new Car);
    car->model = raceModel->model;
    car->node = raceModel->car;
    // Each step needs the ones before it, so creation ends at the first failure.
    bool ok = FindWheels(*car);
    if (ok) {
        car->gearFont = engine.GetRenderer() ? engine.GetRenderer()->GetFontManager().Generate("Arial", 26) : nullptr;
        ok = car->gearFont != nullptr;
    }
    ok = ok && MakeDials(*car, index) && MakeBody(*car, index);
    // The model stays loaded: the opponents may drive it, and the next
    // request takes it again.
    if (!ok) {
        ReleaseParts(*car);
        return nullptr;
    }
    levelOfDetail.Add(*car->node);
    raceCars[index] = std::move(car);
    return raceCars[index].get();
}

bool CarPool::ResetCar(unsigned index) {
    if (!physics || index >= raceCars.size() || !raceCars[index]) return false;
    return ResetCar(*raceCars[index], raceModels[index].start.front());
}

bool CarPool::FindWheels(Car& car) {
    car.wheels.clear();
    car.steeringNodes.clear();
    for (const char* name : SteeringNodeNames) {
        GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(*car.node, name));
        if (!node) return false;
        car.steeringNodes.push_back(node);
    }
    for (const char* name : WheelNodeNames) {
        GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(*car.node, name));
        if (!node) return false;
        car.wheels.push_back(node);
    }
    return true;
}

bool CarPool::MakeDials(Car& car, unsigned index) {
    const CarDescription& description = Describe(index);
    // A dial whose image is missing is still drawn, without its face.
    const auto make = [&](const CarDescription::Dial& dial, float scale) {
        gauges.emplace_back(new Gauge(LoadImageTexture(dial.imageFile.c_str()), scale,
                                      {{dial.lowValue, dial.lowAngleDeg}, {dial.highValue, dial.highAngleDeg}}));
        return gauges.back().get();
    };
    car.rpmGauge = make(description.GetRpmDial(), RpmDialScale);
    const bool mph = speedUnit == SpeedUnit::Mph;
    car.speedGauge = make(mph ? description.GetSpeedDialMph() : description.GetSpeedDialKmh(), SpeedDialScale);
    car.speedUnit = speedUnit;
    return true;
}

bool CarPool::MakeBody(Car& car, unsigned index) {
    car.body = physics->CreateCar(Describe(index).GetTemplate(), car.node->GetTransform().GetMatrix().ptr());
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
    if (index >= displayCars.size()) return nullptr;
    if (displayCars[index]) return displayCars[index].get();
    const CarDescription& description = Describe(index);
    Model* model = engine.LoadModel(description.GetModelFile());
    if (!model) return nullptr;
    GroupNode* node = dynamic_cast<GroupNode*>(Node::Search(*model->GetModelNode(), description.GetNodeName()));
    if (!node) {
        // Unloaded again, so a later request does not pile up copies.
        engine.UnLoadModel(model);
        return nullptr;
    }
    // The stand's car is drawn from its near look where the preset asks for it.
    const std::vector<Mesh*> meshes = CarDetailLevels::Make(*model, *node);
    if (OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer()))
        for (Mesh* mesh : meshes) renderer->GenerateRessources(*mesh);
    levelOfDetail.Add(*node);
    displayCars[index].reset(new Car);
    displayCars[index]->node = node;
    displayCars[index]->model = model;
    return displayCars[index].get();
}

CarPool::RaceModel* CarPool::GetRaceModel(unsigned index) {
    if (index >= raceModels.size()) return nullptr;
    RaceModel& raceModel = raceModels[index];
    if (raceModel.model) return &raceModel;
    const CarDescription& description = Describe(index);
    Model* model = engine.LoadModel(description.GetModelFile());
    if (!model) return nullptr;
    Car probe;
    probe.node = dynamic_cast<GroupNode*>(Node::Search(*model->GetModelNode(), description.GetNodeName()));
    if (!probe.node || !FindWheels(probe)) {
        // Unloaded again, so a later request does not pile up copies.
        engine.UnLoadModel(model);
        return nullptr;
    }
    raceModel.start = {probe.node->GetTransform().GetMatrix()};
    for (const std::vector<GroupNode*>* nodes : {&probe.wheels, &probe.steeringNodes})
        for (GroupNode* node : *nodes) raceModel.start.push_back(node->GetTransform().GetMatrix());

    const auto begin = std::chrono::steady_clock::now();
    const std::vector<Mesh*> meshes = CarDetailLevels::Make(*model, *probe.node);
    if (OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer()))
        for (Mesh* mesh : meshes) renderer->GenerateRessources(*mesh);
    raceModel.report.makeS = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    for (unsigned level = 0; level < CarDetailLevels::LevelCount; ++level)
        raceModel.report.triangles[level] = CarDetailLevels::CountTriangles(*probe.node, level);

    raceModel.model = model;
    raceModel.car = probe.node;
    // A paint the model lacks is left as it is on the opponents' copies.
    const std::vector<std::string>& paintNames = description.GetPaints();
    for (std::size_t i = 0; i < paintNames.size() && i < CarDescription::MaxPaints; ++i)
        raceModel.paints[i] = model->GetMaterial(paintNames[i]);
    return &raceModel;
}

CarPool::DetailReport CarPool::GetDetailReport(unsigned modelIndex) const {
    return modelIndex < raceModels.size() ? raceModels[modelIndex].report : DetailReport();
}

Car* CarPool::MakeOpponent(unsigned modelIndex, const float paintRgb[3]) {
    if (!physics || !paintRgb) return nullptr;
    RaceModel* raceModel = GetRaceModel(modelIndex);
    if (!raceModel) return nullptr;
    Opponent opponent;
    opponent.modelIndex = modelIndex;
    // Only the paint is the copy's own; a two-tone car keeps its two tones,
    // the second paint in the colour and the first a darker shade of it.
    NodeTreeCopy::StateMap paints;
    for (std::size_t i = 0; i < CarDescription::MaxPaints; ++i) {
        if (!raceModel->paints[i]) continue;
        opponent.paints.emplace_back(new Material(*raceModel->paints[i]));
        Repaint(*opponent.paints.back(), paintRgb, i == 0 && raceModel->paints[1] ? 0.5f : 1.0f);
        paints.emplace(raceModel->paints[i], opponent.paints.back().get());
    }
    std::unique_ptr<Node> copy(NodeTreeCopy::Copy(*raceModel->car, paints));
    auto* node = dynamic_cast<GroupNode*>(copy.get());
    if (!node) return nullptr;
    opponent.car.reset(new Car);
    Car& car = *opponent.car;
    car.model = raceModel->model;
    car.node = node;
    if (!FindWheels(car)) return nullptr;
    // The player's car may have moved and turned its wheels since the load.
    SetNodes(car, raceModel->start);
    if (!MakeBody(car, modelIndex)) return nullptr;

    ModelNode* top = raceModel->model->GetModelNode();
    node->SetParent(top);
    top->AddChild(copy.release());
    levelOfDetail.Add(*node, OpponentFinestLevel);
    opponents.push_back(std::move(opponent));
    return &car;
}

Car* CarPool::MakePlayerCar(unsigned modelIndex, const float paintRgb[3]) {
    Car* car = MakeOpponent(modelIndex, paintRgb);
    if (!car) return nullptr;
    car->gearFont = engine.GetRenderer() ? engine.GetRenderer()->GetFontManager().Generate("Arial", 26) : nullptr;
    // Its player sees it from behind as the first player sees theirs.
    levelOfDetail.Remove(*car->node);
    levelOfDetail.Add(*car->node);
    if (car->gearFont && MakeDials(*car, modelIndex)) return car;
    // Left in the pool as an opponent it would be raced by nobody: the race fails to start.
    return nullptr;
}

void CarPool::ReleaseOpponents() {
    for (Opponent& opponent : opponents) {
        Car& car = *opponent.car;
        levelOfDetail.Remove(*car.node);
        ReleaseParts(car);
        car.model->GetModelNode()->RemoveChild(car.node);
        delete car.node;
    }
    opponents.clear();
}

Car* CarPool::MakeGhost(unsigned modelIndex) {
    RaceModel* raceModel = GetRaceModel(modelIndex);
    if (!raceModel) return nullptr;
    Ghost ghost;
    // Every material its own, glass and lamps included: the whole car fades.
    std::vector<const Material*> materials;
    CollectMaterials(*raceModel->car, materials);
    NodeTreeCopy::StateMap own;
    for (const Material* material : materials) {
        const vmath::vec3<float> alphas(material->GetAmbient().w, material->GetDiffuse().w,
                                        material->GetSpecular().w);
        ghost.materials.emplace_back(new Material(*material), alphas);
        own.emplace(material, ghost.materials.back().first.get());
    }
    ghost.node.reset(NodeTreeCopy::Copy(*raceModel->car, own));
    auto* node = dynamic_cast<GroupNode*>(ghost.node.get());
    if (!node) return nullptr;
    // Drawn by its owner, never culled by the scene's traversals.
    node->SetCulled(false);
    ghost.car.reset(new Car);
    Car& car = *ghost.car;
    car.model = raceModel->model;
    car.node = node;
    if (!FindWheels(car)) return nullptr;
    SetNodes(car, raceModel->start);
    levelOfDetail.Add(*node, OpponentFinestLevel);
    ghosts.push_back(std::move(ghost));
    return &car;
}

bool CarPool::SetOpacity(const Car& car, float opacity) {
    const float share = std::isfinite(opacity) ? std::clamp(opacity, 0.0f, 1.0f) : 0.0f;
    for (Ghost& ghost : ghosts) {
        if (ghost.car.get() != &car) continue;
        for (auto& [material, alphas] : ghost.materials) {
            vmath::vec4<float> ambient = material->GetAmbient(), diffuse = material->GetDiffuse(),
                               specular = material->GetSpecular();
            ambient.w = alphas.x * share;
            diffuse.w = alphas.y * share;
            specular.w = alphas.z * share;
            material->SetAmbient(ambient);
            material->SetDiffuse(diffuse);
            material->SetSpecular(specular);
        }
        return true;
    }
    return false;
}

void CarPool::ReleaseGhosts() {
    for (Ghost& ghost : ghosts) levelOfDetail.Remove(*ghost.car->node);
    ghosts.clear();
}

void CarPool::ReleaseGhost(const Car& car) {
    const auto found =
        std::find_if(ghosts.begin(), ghosts.end(), [&](const Ghost& ghost) { return ghost.car.get() == &car; });
    if (found == ghosts.end()) return;
    levelOfDetail.Remove(*found->car->node);
    ghosts.erase(found);
}

bool CarPool::PutWheelsAtRest(Car& car) {
    unsigned index = 0;
    if (!physics || !FindModelOf(car, index)) return false;
    std::vector<vmath::mat4<float>> start = raceModels[index].start;
    start.front() = car.node->GetTransform().GetMatrix();
    SetNodes(car, start);
    return true;
}

bool CarPool::ResetCar(Car& car, const vmath::mat4<float>& startGL) {
    unsigned index = 0;
    if (!physics || !FindModelOf(car, index)) return false;
    // The wheels and steering nodes turn by increments: they go back too.
    std::vector<vmath::mat4<float>> start = raceModels[index].start;
    start.front() = startGL;
    SetNodes(car, start);

    // A new body rather than the old one moved back: nothing of the last run
    // (speeds, gear, engine, suspension, a hold) can carry over.
    if (car.body) {
        bodies.erase(std::find(bodies.begin(), bodies.end(), car.body));
        physics->DestroyCar(car.body);
        car.body = nullptr;
    }
    car.throttle = car.brake = car.steering = car.steeringRate = car.previousSteering = 0.0f;
    car.cameraHeightTerm = 1.0f;
    car.cameraTime = 0.0f;
    car.controlsEnabled = false;
    car.held = false;
    return MakeBody(car, index);
}

void CarPool::SetNodes(Car& car, const std::vector<vmath::mat4<float>>& start) {
    std::size_t next = 0;
    car.node->GetTransform().SetMatrix(start[next++]);
    for (const std::vector<GroupNode*>* nodes : {&car.wheels, &car.steeringNodes})
        for (GroupNode* node : *nodes) node->GetTransform().SetMatrix(start[next++]);
}

bool CarPool::FindModelOf(const Car& car, unsigned& index) const {
    for (unsigned i = 0; i < raceCars.size(); ++i)
        if (raceCars[i].get() == &car) {
            index = i;
            return true;
        }
    for (const Opponent& opponent : opponents)
        if (opponent.car.get() == &car) {
            index = opponent.modelIndex;
            return true;
        }
    return false;
}
