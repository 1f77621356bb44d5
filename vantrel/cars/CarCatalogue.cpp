#include "CarCatalogue.h"

namespace {

// Every pool and every table of the run sees the same cars.
struct GameCars {
    CarList list;
    bool read = false;
};

GameCars& TheGameCars() {
    static GameCars cars;
    return cars;
}

}  // namespace

const CarList& CarCatalogue::Cars() {
    if (!TheGameCars().read) Reload();
    return TheGameCars().list;
}

std::size_t CarCatalogue::Reload(const std::string& folder) {
    TheGameCars().read = true;
    return TheGameCars().list.Load(folder);
}

unsigned CarCatalogue::Count() { return static_cast<unsigned>(Cars().GetCount()); }

const CarDescription& CarCatalogue::Describe(unsigned index) {
    static const CarDescription none;
    return index < Count() ? Cars().GetCars()[index] : none;
}

const std::string& CarCatalogue::ShownName(unsigned index) { return Describe(index).GetName(); }
