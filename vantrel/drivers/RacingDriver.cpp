#include "RacingDriver.h"

#include <algorithm>
#include <cmath>

#include "cars/Car.h"
#include "cars/CarCatalogue.h"
#include "physics/DynamicObjectCar.h"

namespace {

/// The pursuit point lies this far ahead in time, but never nearer than
/// MinLookaheadM. A whole second ahead cuts into the bends by up to a metre
/// where their curvature changes, putting the wheels off the asphalt.
const double LookaheadS = 0.6;
const double MinLookaheadM = 8.0;
/// The speed aimed at is the profile's this far ahead: the pedals and the
/// body's pitch take about that long to act.
const double PreviewS = 0.25;
/// Desired acceleration per m/s of speed error (1/s), on top of the profile's slope.
const double SpeedGain = 1.5;
/// Throttle that roughly holds a speed, and the acceleration asked per unit
/// of throttle beyond it (m/s^2): a smooth ramp, not a switch.
const double ThrottleHold = 0.35;
const double ThrottleMs2 = 3.0;
/// Slowing by less than this (m/s^2) is left to drag and engine braking.
const double CoastMs2 = 1.0;
/// Below this speed the brake stays off: held at a standstill it would
/// engage reverse.
const double CreepMs = 1.0;

/// The body of the race cars (m) and the room kept round them.
const double CarLengthM = 4.7;
/// Centre to centre across the road while passing a car (m).
const double PassClearM = 3.4;
/// Never aim nearer than this, centre to centre across the road, to a car
/// alongside (m): the cars' width and the drift of each from its aim.
const double SideClearM = 3.0;
/// Nearer than this to a car alongside (centre to centre across the road,
/// m), or squeezed between it and the road's edge, the car behind drops
/// back by GiveWayMs below the other's speed (m/s).
const double TouchingM = 2.5;
const double GiveWayMs = 2.0;
/// How fast the aimed-at line moves sideways (m/s).
const double LateralRateMs = 2.0;
/// Gap kept behind a car that cannot be passed: metres plus seconds of speed.
const double FollowGapM = 4.0;
const double FollowGapS = 0.4;
/// Cars farther than this are not looked at (m).
const double TrafficRangeM = 250.0;
/// At most this many cars near enough count (the field has eight at most).
const std::size_t MaxNearCars = 16;

/// The catch-up ease on Easy and Medium: from no ease at CatchUpStartM ahead
/// of the player to CatchUpEase slower at CatchUpFullM.
const double CatchUpStartM = 150.0;
const double CatchUpFullM = 500.0;
const double CatchUpEase = 0.08;

/// Heading further from the line's direction than this (its cosine), the
/// car turns at no more than TurningMs.
const double TurnedCos = 0.5;
const double TurningMs = 8.0;

/// A search with a hint this far off (m) has lost the car: look everywhere.
const double LostM = 30.0;

/// Wraps a distance along a loop of `length` into [-length / 2, length / 2).
double Wrap(double d, double length) {
    d = std::fmod(d + 0.5 * length, length);
    if (d < 0.0) d += length;
    return d - 0.5 * length;
}

}  // namespace

double RacingDriver::SpeedShare(Skill skill) {
    switch (skill) {
    case Skill::Easy: return 0.85;
    case Skill::Medium: return 0.93;
    case Skill::Hard: break;
    }
    return 1.0;
}

RacingLine::Limits RacingDriver::CarLimits(unsigned carIndex) {
    const CarDescription::Limits& measured = CarCatalogue::Describe(carIndex < CarCatalogue::Count() ? carIndex : 0).GetLimits();
    RacingLine::Limits limits;
    limits.lateralMs2 = measured.lateralGripMs2 * GripShare;
    limits.brakingMs2 = measured.brakingMs2 * BrakingShare;
    limits.accelerationMs2 = ProfileAccelerationMs2;
    limits.topSpeedMs = measured.topSpeedMs;
    limits.fullBrakingMs2 = measured.brakingMs2;
    return limits;
}

RacingDriver::RacingDriver(const RacingLine& line, const RacingLine::Limits& limits, Skill skill, double spread)
    : line(line), profile(line.SpeedProfile(limits)), skill(skill) {
    const double share = SpeedShare(skill) * std::clamp(std::isfinite(spread) ? spread : 1.0, 0.5, 1.0);
    for (double& v : profile) v *= share;
    // The profile scaled by a share brakes with the square of it.
    brakingMs2 = limits.brakingMs2 * share * share;
    pedalBrakingMs2 = limits.fullBrakingMs2 > 0.0 ? limits.fullBrakingMs2 : limits.brakingMs2;
}

void RacingDriver::Drive(Car& car, float dtS) {
    if (!car.body || line.IsEmpty() || profile.empty()) return;
    const physics::DynamicObjectCar& body = *car.body;
    const vmath::vec3<float> position = body.GetPosition();
    const double speed = body.GetForwardSpeedMs();
    const bool found = located;
    Locate(position.x, position.y);
    const std::size_t aim = AimIndex(speed);
    const double lineAtAim = line.GetPoint(aim).offset;
    if (!found) {
        // Where it stands across the road, so that it does not swerve to the line.
        aimOffset = centreOffset;
        lineOffset = centreOffset - lineAtAim;
        passing = nullptr;
    }

    const Traffic traffic = LookAtTraffic(car, speed, aim);
    if (traffic.holdLane) {
        lineOffset = traffic.offsetTarget;
    } else {
        const double step = LateralRateMs * dtS;
        lineOffset += std::clamp(traffic.offsetTarget - lineOffset, -step, step);
    }
    // Already nearer a car alongside than the clearance: away from it now.
    if (traffic.lower <= traffic.upper) lineOffset = std::clamp(lineOffset, traffic.lower, traffic.upper);
    const double band = line.GetBandHalfWidth();
    lineOffset = std::clamp(lineOffset, -band - lineAtAim, band - lineAtAim);
    aimOffset = lineAtAim + lineOffset;

    // The profile a little ahead, and its slope there (d(v^2/2)/ds is dv/dt).
    const std::size_t n = line.GetPointCount();
    const double spacing = line.GetLength() / static_cast<double>(n);
    const std::size_t preview = index + static_cast<std::size_t>(std::max(speed, 0.0) * PreviewS / spacing);
    const double v0 = profile[preview % n], v1 = profile[(preview + 3) % n];
    double slope = (v1 * v1 - v0 * v0) / (2.0 * 3.0 * spacing);
    double target = v0;
    // On a line inside the racing line the bend is tighter.
    const double inside = line.GetPoint(index).curvature * (centreOffset - line.GetPoint(index).offset);
    target *= std::sqrt(std::clamp(1.0 - inside, 0.5, 1.0));
    if (skill != Skill::Hard)
        target *= 1.0 - CatchUpEase * std::clamp((leadOverPlayer - CatchUpStartM) / (CatchUpFullM - CatchUpStartM),
                                                 0.0, 1.0);
    if (traffic.speedCap < target) {
        target = traffic.speedCap;
        slope = 0.0;
    }
    // Turned far from the line's direction (spun, or put down the wrong
    // way): round slowly first.
    const RacingLine::Point& here = line.GetPoint(index);
    const RacingLine::Point& next = line.GetPoint(index + 1);
    const vmath::vec3<float> forward = body.GetAxis(1);
    const double run = std::hypot(next.x - here.x, next.y - here.y);
    if (run > 0.0 && (forward.x * (next.x - here.x) + forward.y * (next.y - here.y)) < TurnedCos * run &&
        target > TurningMs) {
        target = TurningMs;
        slope = 0.0;
    }
    targetSpeed = target;

    car.steering = Steer(car, speed, aim);
    Pedal(car, speed, target, slope);
}

std::size_t RacingDriver::AimIndex(double speedMs) const {
    const double ahead = std::max(MinLookaheadM, LookaheadS * speedMs);
    std::size_t j = index;
    for (std::size_t k = 0; k < line.GetPointCount() && Wrap(line.GetPoint(j).s - lineS, line.GetLength()) < ahead;
         ++k)
        ++j;
    return j % line.GetPointCount();
}

void RacingDriver::Locate(double x, double y) {
    if (located) {
        index = line.Nearest(x, y, index);
        const RacingLine::Point& p = line.GetPoint(index);
        if (std::hypot(p.x - x, p.y - y) > LostM) located = false;
    }
    if (!located) index = line.NearestAnywhere(x, y);
    located = true;

    // Along the segment to the next point, or from the previous one.
    const std::size_t n = line.GetPointCount();
    std::size_t from = index;
    const RacingLine::Point& here = line.GetPoint(index);
    const RacingLine::Point& next = line.GetPoint(index + 1);
    if ((x - here.x) * (next.x - here.x) + (y - here.y) * (next.y - here.y) < 0.0) from = index + n - 1;
    const RacingLine::Point& a = line.GetPoint(from);
    const RacingLine::Point& b = line.GetPoint(from + 1);
    const double ex = b.x - a.x, ey = b.y - a.y, e2 = ex * ex + ey * ey;
    const double t = e2 > 0.0 ? std::clamp(((x - a.x) * ex + (y - a.y) * ey) / e2, 0.0, 1.0) : 0.0;
    lineS = std::fmod(a.s + t * std::sqrt(e2), line.GetLength());
    const double centreStep = line.GetCentreLength() / static_cast<double>(n);
    centreS = std::fmod(a.centreS + t * centreStep, line.GetCentreLength());
    centreOffset = line.CentreOffsetOf(index, x, y);
    offRoad = std::fabs(centreOffset) > line.GetRoadHalfWidth();
}

RacingDriver::Traffic RacingDriver::LookAtTraffic(const Car& car, double speedMs, std::size_t aim) {
    Traffic traffic;
    traffic.offsetTarget = 0.0;
    if (!others) {
        passing = nullptr;
        return traffic;
    }
    struct Near {
        const Car* car;
        std::size_t index;
        double gap;      ///< along the line, positive ahead (m)
        double lateral;  ///< from the racing line (m, positive left)
        double across;   ///< from the centre line (m, positive left)
        double speed;    ///< along this car's heading (m/s)
    };
    Near near[MaxNearCars];
    std::size_t count = 0;

    const physics::DynamicObjectCar& body = *car.body;
    const vmath::vec3<float> p = body.GetPosition(), forward = body.GetAxis(1);
    const std::size_t n = line.GetPointCount();
    const double spacing = line.GetLength() / static_cast<double>(n);
    for (const Car* other : *others) {
        if (count == MaxNearCars) break;
        if (!other || other == &car || !other->body || other->body == car.body) continue;
        const vmath::vec3<float> q = other->body->GetPosition();
        const double dx = q.x - p.x, dy = q.y - p.y;
        if (dx * dx + dy * dy > TrafficRangeM * TrafficRangeM) continue;
        // Its place on the line, searched from where it would be were the road straight.
        const double along = dx * forward.x + dy * forward.y;
        const long shift = std::lround(along / spacing);
        const std::size_t hint = (index + n + static_cast<std::size_t>(shift % static_cast<long>(n))) % n;
        const std::size_t at = line.Nearest(q.x, q.y, hint);
        const vmath::vec3<float> v = other->body->GetLinearVelocity();
        const double across = line.CentreOffsetOf(at, q.x, q.y);
        near[count++] = {other, at, Wrap(line.GetPoint(at).s - lineS, line.GetLength()),
                         across - line.GetPoint(at).offset, across, v.x * forward.x + v.y * forward.y};
    }

    // Cars alongside, and a car coming up from behind that will be alongside
    // within half a second, bound the move towards them. The bounds lie
    // across the road, not across the racing line: a car running at the
    // road's edge stays there while the line swings across the road.
    const double band = line.GetBandHalfWidth(), lineAtAim = line.GetPoint(aim).offset;
    double lowest = -1e9, highest = 1e9;  // from the centre line
    bool alongside = false;
    for (std::size_t k = 0; k < count; ++k) {
        const double closing = std::max(0.0, near[k].speed - speedMs);
        if (near[k].gap > CarLengthM + 1.0 || near[k].gap < -(CarLengthM + 1.0 + 0.5 * closing)) continue;
        alongside = true;
        if (near[k].across > centreOffset)
            highest = std::min(highest, near[k].across - SideClearM);
        else
            lowest = std::max(lowest, near[k].across + SideClearM);
    }
    traffic.lower = lowest - lineAtAim;
    traffic.upper = highest - lineAtAim;
    // Back to the racing line, but not across the road while a car runs
    // alongside: each keeps its lane, so neither drifts into the other.
    if (alongside) {
        traffic.offsetTarget = aimOffset - lineAtAim;
        traffic.holdLane = true;
    }

    // Within this gap a car ahead on the driver's path needs an answer now.
    auto reach = [this, speedMs](double otherSpeed) {
        const double closing = std::max(0.0, speedMs - otherSpeed);
        return CarLengthM + FollowGapM + FollowGapS * speedMs + closing * closing / (2.0 * brakingMs2);
    };
    auto blocks = [&](const Near& other, double lateral) {
        return other.gap > 0.0 && other.gap < reach(other.speed) && std::fabs(other.lateral - lateral) < PassClearM;
    };
    const Near* blocker = nullptr;
    for (std::size_t k = 0; k < count; ++k)
        if (blocks(near[k], lineOffset) && (!blocker || near[k].gap < blocker->gap)) blocker = &near[k];

    if (blocker) {
        // A side is open where the road has room beside the car, no car
        // alongside is in the way and no other car ahead blocks it.
        auto open = [&](double side) {
            const double lateral = blocker->lateral + side * PassClearM;
            const double across = blocker->across + side * PassClearM;
            if (std::fabs(across) > band || across < lowest || across > highest) return false;
            for (std::size_t k = 0; k < count; ++k)
                if (&near[k] != blocker && blocks(near[k], lateral)) return false;
            return true;
        };
        const bool left = open(1.0), right = open(-1.0);
        double side = 0.0;
        if (passing == blocker->car && ((passSide > 0.0 && left) || (passSide < 0.0 && right)))
            side = passSide;
        else if (left && right)
            // The nearer line, so the car moves least.
            side = std::fabs(blocker->lateral + PassClearM - lineOffset) <
                           std::fabs(blocker->lateral - PassClearM - lineOffset)
                       ? 1.0
                       : -1.0;
        else if (left || right)
            side = left ? 1.0 : -1.0;
        if (side != 0.0) {
            passing = blocker->car;
            passSide = side;
            traffic.offsetTarget = blocker->lateral + side * PassClearM;
            traffic.holdLane = false;
        } else {
            // No way past: follow at its speed, a gap behind it.
            passing = nullptr;
            traffic.offsetTarget = lineOffset;
            const double room = std::max(0.0, blocker->gap - CarLengthM - FollowGapM);
            const double otherSpeed = std::max(0.0, blocker->speed);
            traffic.speedCap = std::sqrt(otherSpeed * otherSpeed + 2.0 * brakingMs2 * room);
        }
    } else if (passing) {
        // Hold the passing line while beside the car passed; once clear of
        // it, or once it has pulled away, back to the racing line.
        const Near* passed = nullptr;
        for (std::size_t k = 0; k < count; ++k)
            if (near[k].car == passing) passed = &near[k];
        if (passed && std::fabs(passed->gap) < CarLengthM + 3.0) {
            traffic.offsetTarget = passed->lateral + passSide * PassClearM;
            traffic.holdLane = false;
        } else {
            passing = nullptr;
        }
    }
    if (traffic.lower <= traffic.upper)
        traffic.offsetTarget = std::clamp(traffic.offsetTarget, traffic.lower, traffic.upper);
    else
        traffic.offsetTarget = 0.5 * (traffic.lower + traffic.upper);

    // No room left between a car alongside and the road's edge, or near to
    // touching it: the one behind gives way, dropping back behind the other.
    const bool squeezed = lowest > highest || lowest > band || highest < -band;
    for (std::size_t k = 0; k < count; ++k)
        if (near[k].gap > 0.0 && near[k].gap < CarLengthM + 1.0 &&
            (squeezed || std::fabs(near[k].across - centreOffset) < TouchingM))
            traffic.speedCap = std::min(traffic.speedCap, std::max(0.0, near[k].speed - GiveWayMs));
    return traffic;
}

float RacingDriver::Steer(const Car& car, double speedMs, std::size_t aim) const {
    const physics::DynamicObjectCar& body = *car.body;
    const vmath::vec3<float> p = body.GetPosition(), forward = body.GetAxis(1);
    const RacingLine::Point target = line.Offset(aim, lineOffset);

    // Pure pursuit: the arc through the car and the target point.
    const double dx = target.x - p.x, dy = target.y - p.y;
    const double along = dx * forward.x + dy * forward.y, left = -dx * forward.y + dy * forward.x;
    const double distance2 = along * along + left * left;
    if (distance2 <= 0.0) return 0.0f;
    // A point behind the car (it has been turned round): full lock towards
    // its side, since the arc through a point straight behind is no turn at all.
    if (along <= 0.0) return left < 0.0 ? -1.0f : 1.0f;
    const double curvature = 2.0 * left / distance2;

    // The physics turns full lock into the same cornering at any speed: the
    // lock shrinks to atan(a L / v^2).
    const physics::CarTemplate& settings = body.GetSettings();
    double front = 0.0, rear = 0.0;
    for (const physics::CarTemplate::Wheel& wheel : settings.wheels)
        (wheel.steered ? front : rear) += 0.5 * wheel.upperPointCS.y;
    const double wheelbase = std::max(0.5, front - rear);
    const double v2 = std::max(speedMs * speedMs, 0.01);
    const double lock = std::min<double>(settings.maxSteeringAngleRad,
                                         std::atan(settings.fullLockLateralAccelerationMs2 * wheelbase / v2));
    return static_cast<float>(std::clamp(std::atan(curvature * wheelbase) / lock, -1.0, 1.0));
}

void RacingDriver::Pedal(Car& car, double speedMs, double targetMs, double slopeMs2) {
    const double demand = slopeMs2 + SpeedGain * (targetMs - speedMs);
    if (speedMs < CreepMs && targetMs < CreepMs) {
        // Stopped behind a car: rolling to rest, never creeping into it.
        car.throttle = car.brake = 0.0f;
    } else if (demand >= -CoastMs2 || speedMs < CreepMs) {
        car.throttle = static_cast<float>(std::clamp(ThrottleHold + demand / ThrottleMs2, 0.0, 1.0));
        car.brake = 0.0f;
    } else {
        car.throttle = 0.0f;
        car.brake = static_cast<float>(std::clamp(-demand / pedalBrakingMs2, 0.0, 1.0));
    }
}
