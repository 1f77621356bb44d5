#include "TrialGuests.h"

#include <algorithm>
#include <cmath>

#include "GhostRace.h"
#include "cars/Car.h"
#include "cars/CarPool.h"
#include "view/SeeThroughCars.h"

TrialGuests::TrialGuests(CarPool& cars) : cars(cars) {}

TrialGuests::~TrialGuests() {
    for (Guest& guest : guests) cars.ReleaseGhost(*guest.car);
}

bool TrialGuests::Add(unsigned model, std::string name, const vmath::vec3<float>& colour) {
    Car* car = cars.MakeGhost(model);
    if (!car) return false;
    Guest guest;
    guest.car = car;
    guest.driver = std::make_unique<GhostDriver>(none, *car);
    guest.name = std::move(name);
    guest.colour = colour;
    cars.SetOpacity(*car, 0.0f);
    guests.push_back(std::move(guest));
    return true;
}

void TrialGuests::Pose(std::size_t index, const RecordedRun::Sample* shown, const vmath::vec3<float>& ownM) {
    if (index >= guests.size()) return;
    Guest& guest = guests[index];
    guest.shown = shown != nullptr;
    if (!shown) return;
    guest.driver->Show(*guest.car, *shown);
    guest.positionM = shown->positionM;
    // As the best run's ghost fades: it never hides the road in front of the player.
    const float distanceM = vmath::length(shown->positionM - ownM);
    const float share =
        std::clamp((distanceM - GhostRace::FadeNearM) / (GhostRace::FadeFarM - GhostRace::FadeNearM), 0.0f, 1.0f);
    const float opacity = std::isfinite(share) ? GhostRace::MaxOpacity * share : 0.0f;
    if (opacity != guest.opacity) cars.SetOpacity(*guest.car, opacity);
    guest.opacity = opacity;
}

void TrialGuests::Draw(Renderer& renderer, const View& view) const {
    std::vector<const Car*> drawn;
    for (const Guest& guest : guests)
        if (guest.shown && guest.opacity > 0.0f) drawn.push_back(guest.car);
    SeeThroughCars::Draw(renderer, view, drawn);
}

std::vector<MapDot> TrialGuests::MapDots() const {
    std::vector<MapDot> dots;
    for (const Guest& guest : guests) {
        if (!guest.shown) continue;
        MapDot dot{guest.positionM, guest.colour};
        dot.hollow = true;
        dots.push_back(dot);
    }
    return dots;
}
