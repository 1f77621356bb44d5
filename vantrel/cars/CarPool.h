#pragma once
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <vmath/mat4.h>
#include <vmath/vec3.h>

#include "Car.h"
#include "CarList.h"
#include "CarMaker.h"
#include "CarLevelOfDetail.h"

class Gauge;
class Lumora;
class Material;
class Node;

namespace physics {
class World;
}

/// The cars of one game mode, made on first request through the mode's
/// engine and kept until the pool is destroyed: the show room's, the
/// player's race car and the opponents' copies. The models themselves belong
/// to the engine, so the pool must go before its engine.
class CarPool : public CarMaker {
public:
    /// The game's cars, read from CarList::DataFolder on the first call and
    /// kept for the run; addressed by index 0 .. Count() - 1 everywhere.
    static const CarList& Cars();
    /// Reads the game's cars again from `folder`, as the program does once
    /// at its start, for the data the program now finds. What Cars and
    /// Describe gave before is gone; no pool may live across it.
    /// @return the number of cars found
    static std::size_t ReloadCars(const std::string& folder = CarList::DataFolder);
    /// Number of cars in the game.
    static unsigned Count();
    /// Car `index`'s description; an empty one (IsLoaded false) past the last car.
    static const CarDescription& Describe(unsigned index);
    /// Car `index`'s name as the players read it; empty past the last car.
    static const std::string& ShownName(unsigned index);

    /// A pool for display only (no physics) on `engine`, which must outlive it.
    explicit CarPool(Lumora& engine);
    /// A pool of race cars on `engine`, with their bodies in `physics`; both
    /// must outlive the pool. A null world makes a display pool.
    CarPool(Lumora& engine, physics::World* physics);
    ~CarPool() override;
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

    /// A car of the game's for a race: a copy of model `modelIndex`'s car
    /// that draws from the model's meshes, geometry buffers and textures and
    /// has its own nodes, body paint `paintRgb` (0 ... 1 each) and physics
    /// body, placed where the model places its car. Needs a pool with
    /// physics. Each model is loaded once, with the player's car if it is
    /// the same, and its simplified looks are made then (CarDetailLevels);
    /// the copy hangs under the model's node, in the scene, for the race to
    /// add to its effect pass like the player's car. It has no dials or
    /// gear font: the HUD is the player's. The level of detail knows it,
    /// drawn no finer than the middle look.
    /// @return the car (owned by the pool, until ReleaseOpponents), or null
    ///         when the model or the body cannot be made
    Car* MakeOpponent(unsigned modelIndex, const float paintRgb[3]) override;
    /// A second player's car of model `modelIndex`: a copy as MakeOpponent
    /// makes it, with the dials and gear font of a player's car and drawn
    /// at full detail when near. Released with the opponents.
    /// @return the car, or null when it cannot be made
    Car* MakePlayerCar(unsigned modelIndex, const float paintRgb[3]);
    /// Takes every opponent's nodes out of the scene and its body out of the
    /// world, and deletes them; the models stay loaded for the next ones.
    void ReleaseOpponents();
    unsigned GetOpponentCount() const { return static_cast<unsigned>(opponents.size()); }

    /// A car to be seen, not driven: a copy of model `modelIndex`'s car,
    /// for a ghost, with its own nodes and its own copy of every material,
    /// so that it can be drawn see-through (SetOpacity). It has no physics
    /// body (it collides with nothing and the world does not count it), no
    /// dials and no gear font, and it is not in the scene: its owner draws
    /// it, after the opaque scene. Its nodes stand as the model placed them;
    /// the level of detail knows it, drawn no finer than the middle look.
    /// Works in a pool with or without physics.
    /// @return the car (owned by the pool, until ReleaseGhosts), or null
    ///         when the model cannot be made
    Car* MakeGhost(unsigned modelIndex);
    /// Sets every material of ghost `car` to `opacity` (clamped to 0 ... 1)
    /// times the alpha the model gave it.
    /// @return false for a car that is not one of the pool's ghosts
    bool SetOpacity(const Car& car, float opacity);
    /// Deletes every ghost; the models stay loaded.
    void ReleaseGhosts();
    /// Deletes ghost `car` alone, leaving the others' (a Time Trial's other players beside the best run's).
    void ReleaseGhost(const Car& car);

    /// Puts the wheel and steering nodes of race car `car` back as the model
    /// placed them, leaving its car node and body alone: the rest a recorded
    /// run turns them from (GhostDriver).
    /// @return false when the car is not one of the pool's race cars
    bool PutWheelsAtRest(Car& car);

    /// Puts race car `car` (the player's or an opponent, of this pool) at
    /// rest at `startGL` (the car node's matrix, OpenGL's order) for a new
    /// start: a new body there, its wheels and steering nodes as loaded, no
    /// pedals or steering, controls disabled and the chase camera to run in
    /// again.
    /// @return false when the car is not one of the pool's race cars or its
    ///         new body cannot be made (the car is then left without one)
    bool ResetCar(Car& car, const vmath::mat4<float>& startGL);

    /// What the race cars made from now on show their speed in: the dial
    /// of that unit and its needle's calibration. Km/h until set.
    void SetSpeedUnit(SpeedUnit unit) { speedUnit = unit; }

    /// The looks of the race cars: the race calls Select with the camera's
    /// eye once a frame. The player's car is drawn at full detail when near.
    CarLevelOfDetail& GetLevelOfDetail() { return levelOfDetail; }

    /// What a race model's simplified looks cost at load.
    struct DetailReport {
        unsigned triangles[4] = {0, 0, 0, 0};  ///< the car at levels 0 to 3
        double makeS = 0.0;                 ///< simplifying and their buffers (s)
    };
    /// Zeros for a model not loaded for a race.
    DetailReport GetDetailReport(unsigned modelIndex) const;

private:
    /// A car model loaded for the race, with its levels of detail made.
    struct RaceModel {
        Model* model = nullptr;
        GroupNode* car = nullptr;  ///< the car node inside the model
        /// The car node's, wheel and steering-node matrices as loaded, in that order.
        std::vector<vmath::mat4<float>> start;
        /// The body paint and, where it has one, the second (CarDescription::GetPaints).
        Material* paints[CarDescription::MaxPaints] = {nullptr, nullptr};
        DetailReport report;
    };
    struct Opponent {
        std::unique_ptr<Car> car;
        unsigned modelIndex = 0;
        std::vector<std::unique_ptr<Material>> paints;  ///< referred to by the car's nodes
    };
    struct Ghost {
        /// Referred to by the car's nodes, each with the alphas (ambient,
        /// diffuse, specular) of the model's material it copies; declared
        /// first, so they go after the nodes.
        std::vector<std::pair<std::unique_ptr<Material>, vmath::vec3<float>>> materials;
        std::unique_ptr<Node> node;  ///< the top of the copy, which owns the nodes below
        std::unique_ptr<Car> car;
    };
    /// Race model `index`, loading it on the first request.
    /// @return null when it does not load or lacks a car, wheel or steering
    ///         node (it is then unloaded again)
    RaceModel* GetRaceModel(unsigned index);
    /// Puts the car's node, wheels and steering nodes back to `start` (as RaceModel::start).
    static void SetNodes(Car& car, const std::vector<vmath::mat4<float>>& start);
    /// Which model a race car of the pool is of; false for any other car.
    bool FindModelOf(const Car& car, unsigned& index) const;

    /// The display car `index`, loading its model on the first request.
    /// @return the car (owned by the pool), or null when the index is out of
    ///         range, the model does not load or has no car node (such a
    ///         model is unloaded again); a failed car is tried again on the
    ///         next request
    Car* GetDisplayCar(unsigned index);
    Car* GetRaceCar(unsigned index);
    /// The steps of race-car creation; each says whether it succeeded.
    /// FindWheels finds the wheel and steering nodes below `car.node`.
    static bool FindWheels(Car& car);
    bool MakeDials(Car& car, unsigned index);
    bool MakeBody(Car& car, unsigned index);
    /// Deletes a failed race car's dials and body again.
    void ReleaseParts(Car& car);

    Lumora& engine;
    physics::World* physics = nullptr;
    std::vector<std::unique_ptr<Car>> displayCars;
    std::vector<std::unique_ptr<Car>> raceCars;
    std::vector<RaceModel> raceModels;
    std::vector<Opponent> opponents;
    std::vector<Ghost> ghosts;
    CarLevelOfDetail levelOfDetail;
    std::vector<std::unique_ptr<Gauge>> gauges;   ///< every dial made
    SpeedUnit speedUnit = SpeedUnit::Kmh;
    std::vector<physics::DynamicObjectCar*> bodies;  ///< released to the world with the pool
};
