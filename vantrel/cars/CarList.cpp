#include "CarList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

const char* const CarList::DataFolder = "../data/cars";
const char* const CarList::OriginalCars[2] = {"NissanSkyline", "BugattiVeyron"};

namespace {

/// Where an original car stands in the list; past them for any other.
std::size_t OriginalRank(const std::string& key) {
    const auto* const end = std::end(CarList::OriginalCars);
    return static_cast<std::size_t>(std::find(std::begin(CarList::OriginalCars), end, key) -
                                    std::begin(CarList::OriginalCars));
}

}  // namespace

std::size_t CarList::Load(const std::string& folder) {
    cars.clear();
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code status;
        if (it->is_directory(status) && std::filesystem::exists(it->path() / CarDescription::FileName, status))
            folders.push_back(it->path());
    }
    for (const std::filesystem::path& path : folders) {
        CarDescription car;
        if (car.Load(path.string())) cars.push_back(std::move(car));
    }
    // The same order on every machine, whatever the folder listing's.
    std::sort(cars.begin(), cars.end(), [](const CarDescription& a, const CarDescription& b) {
        const std::size_t rankA = OriginalRank(a.GetKey()), rankB = OriginalRank(b.GetKey());
        if (rankA != rankB) return rankA < rankB;
        if (a.GetName() != b.GetName()) return a.GetName() < b.GetName();
        return a.GetKey() < b.GetKey();
    });
    return cars.size();
}

std::size_t CarList::Find(const std::string& key) const {
    for (std::size_t i = 0; i < cars.size(); ++i)
        if (cars[i].GetKey() == key) return i;
    return cars.size();
}
