#pragma once
// The cars the game finds in its data: what the show room offers and the
// races are driven in.
#include <cstddef>
#include <string>
#include <vector>

#include "CarDescription.h"

/// Every usable description in "<folder>/*/car.ini": the game's two original
/// cars first, in their old order (the players' settings and the tests know
/// them by index), then by name (then by folder). A description that is
/// refused leaves its car out, the others stay.
class CarList {
public:
    /// Where the program finds the cars, from its own folder.
    static const char* const DataFolder;  ///< "../data/cars"
    /// The keys of the cars the game had before they were data.
    static const char* const OriginalCars[2];  ///< "NissanSkyline", "BugattiVeyron"

    /// Reads every car folder under `folder`, replacing what the list held.
    /// Folders without a car.ini are passed over silently.
    /// @return the number of cars found
    std::size_t Load(const std::string& folder = DataFolder);

    const std::vector<CarDescription>& GetCars() const { return cars; }
    std::size_t GetCount() const { return cars.size(); }
    bool IsEmpty() const { return cars.empty(); }
    /// The index of the car with key `key`, or GetCount() for none.
    std::size_t Find(const std::string& key) const;

private:
    std::vector<CarDescription> cars;
};
