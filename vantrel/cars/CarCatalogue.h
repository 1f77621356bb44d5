#pragma once
// The game's cars as one list for the whole run, without GL: the show room,
// the races, the game's drivers and the server all address cars by its index.
#include <cstddef>
#include <string>

#include "CarDescription.h"
#include "CarList.h"

/// The game's cars, read from CarList::DataFolder on the first call and kept
/// for the run; addressed by index 0 .. Count() - 1 everywhere. CarPool
/// hands the same list on to the game's modes.
class CarCatalogue {
public:
    static const CarList& Cars();
    /// Reads the cars again from `folder`: what Cars and Describe gave
    /// before is gone.
    /// @return the number of cars found
    static std::size_t Reload(const std::string& folder = CarList::DataFolder);
    static unsigned Count();
    /// Car `index`'s description; an empty one (IsLoaded false) past the last car.
    static const CarDescription& Describe(unsigned index);
    /// Car `index`'s name as the players read it; empty past the last car.
    static const std::string& ShownName(unsigned index);
};
