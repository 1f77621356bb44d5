#pragma once
#include <cstddef>
#include <vector>

#include "Driver.h"
#include "track/RacingLine.h"

struct Car;

/// One of the game's drivers: it follows the track's racing line at a share
/// of the speed its car can take there, and finds its way past the cars of
/// the field it is given.
///
/// Steering aims at a point some 0.6 s ahead on the line, or on a line
/// beside it while passing (pure pursuit, mapped through the car's own
/// steering lock). Throttle and brake follow the target speed with the
/// profile's own slope fed forward, so the car brakes along the braking
/// curve before a bend rather than reacting once past it. The car's
/// automatic gearbox does the rest.
///
/// A car ahead on the driver's path within reach of its brakes is passed on
/// the side with room, or followed at its speed where neither side has
/// room. Beside another car each keeps its lane across the road, never
/// aiming nearer than 3 m centre to centre; squeezed against the road's
/// edge, the car behind gives way.
class RacingDriver : public Driver {
public:
    enum class Skill { Easy, Medium, Hard };

    /// The share of the measured grip and braking the speed profile plans
    /// with at the full limit: the road's crests, camber and bumps, and the
    /// lag of steering and pedals, eat the rest.
    static constexpr double GripShare = 0.9;
    static constexpr double BrakingShare = 0.8;
    /// Acceleration the speed profile plans with out of a bend (m/s^2).
    static constexpr double ProfileAccelerationMs2 = 5.0;

    /// Share of the speed profile driven at each skill.
    static double SpeedShare(Skill skill);
    /// The limits the speed profile of race car `carIndex` plans with: the
    /// shares above of the grip and braking its description gives as
    /// measured (CarDescription::Limits), and its top speed; past the last
    /// car, the first car's.
    static RacingLine::Limits CarLimits(unsigned carIndex);

    /// @param line the track's racing line, which must outlive the driver
    /// @param limits its car's, as CarLimits gives them
    /// @param spread this driver's own factor on its skill's speeds (about
    ///        0.95 ... 1.0), so that a field of one skill strings out
    RacingDriver(const RacingLine& line, const RacingLine::Limits& limits, Skill skill, double spread = 1.0);

    /// Sets the car's throttle, brake and steering for this frame from its
    /// body's state; nothing for a car without a body or an empty line.
    void Drive(Car& car, float dtS) override;

    /// The cars of the field, the driver's own among them or not; the race
    /// keeps the list and the cars alive. Null for none. Cars without a
    /// body are left out.
    void SetOthers(const std::vector<const Car*>* cars) { others = cars; }
    /// How far this car runs ahead of the player along the road (m, negative
    /// behind); on Easy and Medium a car far ahead eases off.
    void SetLeadOverPlayer(double metres) { leadOverPlayer = metres; }
    /// The car was put down elsewhere by hand: find it again on the whole
    /// loop, and start from its place across the road.
    void Placed() { located = false; }

    Skill GetSkill() const { return skill; }
    /// Index of the racing line's point nearest the car, as of the last Drive.
    std::size_t GetLineIndex() const { return index; }
    /// Distance of the car along the racing line from its start (m).
    double GetLineS() const { return lineS; }
    /// Distance along the road's centre line from its start (m).
    double GetCentreS() const { return centreS; }
    /// Sideways distance from the road's centre line (m, positive left).
    double GetCentreOffset() const { return centreOffset; }
    /// Beyond the asphalt: farther from the centre line than the road's half width.
    bool IsOffRoad() const { return offRoad; }
    /// Speed aimed at this frame (m/s).
    double GetTargetSpeed() const { return targetSpeed; }
    /// Sideways offset from the racing line steered for (m, positive left).
    double GetLineOffset() const { return lineOffset; }
    /// Where the point steered for lies across the road, from the centre
    /// line (m, positive left).
    double GetAimOffset() const { return aimOffset; }

private:
    /// How the traffic changes this frame's aim.
    struct Traffic {
        double offsetTarget = 0.0;  ///< from the racing line at the pursuit point (m)
        bool holdLane = false;      ///< a car alongside: the target is where the car aims now
        double lower = -1e9, upper = 1e9;  ///< room left by the cars alongside, as offsetTarget (m)
        double speedCap = 1e9;      ///< behind a car that cannot be passed, or giving way (m/s)
    };
    /// Finds the car's place on the line from its position.
    void Locate(double x, double y);
    /// Index of the pursuit point, ahead of the car's place by its speed.
    std::size_t AimIndex(double speedMs) const;
    /// The cars around: whom to pass on which side, whom to follow, and how
    /// far the cars alongside leave room to move; `aim` is the pursuit point.
    Traffic LookAtTraffic(const Car& car, double speedMs, std::size_t aim);
    /// Steering that puts the car on the arc through the pursuit point.
    float Steer(const Car& car, double speedMs, std::size_t aim) const;
    /// Throttle and brake for the speed error, fed forward the profile's slope.
    void Pedal(Car& car, double speedMs, double targetMs, double slopeMs2);

    const RacingLine& line;
    std::vector<double> profile;  ///< target speed at each point of the line, this driver's share (m/s)
    Skill skill;
    double brakingMs2;  ///< the deceleration the profile plans with, this driver's share
    double pedalBrakingMs2;  ///< what full brake gives the car (RacingLine::Limits::fullBrakingMs2)
    const std::vector<const Car*>* others = nullptr;
    double leadOverPlayer = 0.0;

    bool located = false;
    std::size_t index = 0;
    double lineS = 0.0, centreS = 0.0, centreOffset = 0.0;
    bool offRoad = false;
    double targetSpeed = 0.0;
    /// From the racing line at the pursuit point, moving towards the traffic's target (m).
    double lineOffset = 0.0;
    double aimOffset = 0.0;   ///< where the pursuit point lies from the centre line (m)
    const Car* passing = nullptr;  ///< the car being passed
    double passSide = 0.0;         ///< +1 passing on its left, -1 on its right
};
