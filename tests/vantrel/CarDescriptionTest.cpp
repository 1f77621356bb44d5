// Cars read from their descriptions: every field of a broken one refused in
// one Warn line while the other cars stay, and the game's three cars in
// their order with what their descriptions make of them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cars/CarList.h"
#include "cars/CarPool.h"

namespace fs = std::filesystem;

namespace {

const char* const OriginalCar = "NissanSkyline";

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// A scratch cars folder holding the first original car: its description,
/// and its model and dials as links to the game's.
class CarFolders : public ::testing::Test {
protected:
    void SetUp() override {
        original = fs::absolute(fs::path(CarList::DataFolder) / OriginalCar);
        if (!fs::exists(original / CarDescription::FileName)) GTEST_SKIP() << "no game data in " << original;
        std::string pattern = (fs::temp_directory_path() / "vantrel-cars-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        description = ReadText(original / CarDescription::FileName);
        MakeCar(OriginalCar, description);
    }
    void TearDown() override {
        if (!root.empty()) fs::remove_all(root);
    }
    /// A car folder `name` with the original's files and `text` as its description.
    fs::path MakeCar(const std::string& name, const std::string& text) {
        const fs::path folder = root / name;
        fs::create_directories(folder / "gauges");
        fs::create_symlink(original / "NissanSkyline.dae", folder / "NissanSkyline.dae");
        for (const char* dial : {"rpm.png", "tacho.png", "tacho-mph.png"})
            fs::create_symlink(original / "gauges" / dial, folder / "gauges" / dial);
        std::ofstream(folder / CarDescription::FileName) << text;
        return folder;
    }
    /// The original's description with `from` replaced by `to` (which must be there).
    std::string Edited(const std::string& from, const std::string& to) const {
        std::string text = description;
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) text.replace(at, from.size(), to);
        return text;
    }

    fs::path original, root;
    std::string description;
};

}  // namespace

TEST_F(CarFolders, EachBrokenFieldIsRefusedInOneWarningNamingFileAndFieldAndTheOtherCarsStay) {
    struct Case {
        const char* from;
        const char* to;
        const char* field;  ///< what the Warn line names after the file
    };
    const Case cases[] = {
        // [car]: names and files.
        {"name = Nissan Skyline\n", "", "[car] name is missing"},
        {"name = Nissan Skyline", "name = Nissan Skyline GT-R V-Spec II Nür", "[car] name is longer than 24"},
        {"model = NissanSkyline.dae", "model = Skyline.dae", "[car] model names \"Skyline.dae\""},
        {"node = NissanSkyline", "node =", "[car] node is missing"},
        {"paint = Paint-material", "paint = Paint-material Paint2-material Trim-material", "[car] paint names 3"},
        // [dials]: an image and four numbers, the scale rising.
        {"rpm = gauges/rpm.png 0 215 9000 30", "rpm = gauges/rpm.png 0 215 9000", "[dials] rpm = "},
        {"speed_kmh = gauges/tacho.png 0 215 320 -35", "speed_kmh = gauges/tacho.png 320 215 0 -35",
         "[dials] speed_kmh = "},
        {"speed_mph = gauges/tacho-mph.png", "speed_mph = gauges/none.png", "[dials] speed_mph names \"gauges/none.png\""},
        // The body and the wheels.
        {"mass = 1500", "mass = 0", "[body] mass = \"0\" is not a number from 100 to 10000"},
        {"half_extents = 1.0 2.35 0.55", "half_extents = 1.0 2.35", "[body] half_extents"},
        {"centre_of_mass_drop = 0.7", "centre_of_mass_drop = nan", "[body] centre_of_mass_drop"},
        {"front_left = 1.1 1.1", "front_left = -1.1 1.1", "[wheels] front_left = \"-1.1 1.1\" is not \"x y\" with x above 0"},
        {"rear_left = 1.1 -1.1", "rear_left = 1.1 1.2", "[wheels] rear_left is not behind front_left"},
        {"drive = rear", "drive = both", "[wheels] drive = \"both\" is none of front, rear and all"},
        {"radius = 0.30\n", "", "[wheels] radius is missing"},
        // Suspension, tyres, brakes.
        {"rest_height = 0.72", "rest_height = high", "[suspension] rest_height"},
        {"rear_grip = 1.35", "rear_grip = 0", "[tyres] rear_grip"},
        {"front_share = 0.6", "front_share = 1.5", "[brakes] front_share"},
        // The engine and the gearbox: their curves and the order of their speeds.
        {"launch_rpm = 3000", "launch_rpm = 8000", "[engine] launch_rpm does not lie between"},
        {"torque_curve = 1000 0.55  2500", "torque_curve = 1000 0.55  900", "[engine] torque_curve"},
        {"torque_curve = 1000 0.55", "torque_curve = 1000 1.2", "[engine] torque_curve"},
        {"torque_curve = 1000 0.55  2500 0.78  4000 0.95  5000 1.0  6500 0.93  7500 0.78",
         "torque_curve = 1000 0.55  2500", "[engine] torque_curve"},
        {"ratios = 3.10 2.15", "ratios = 3.10 3.15", "[gearbox] ratios"},
        {"shift_up_rpm = 7100", "shift_up_rpm = 8000", "[gearbox] shift_up_rpm does not lie between"},
        {"coast_down_rpm = 2200\n", "", "[gearbox] coast_down_rpm is missing"},
        // What the drivers plan with.
        {"top_speed = 77.8", "top_speed =", "[limits] top_speed is missing"},
        {"lateral_grip = 12.2", "lateral_grip = 0.5", "[limits] lateral_grip"},
        // No INI document at all.
        {"[car]", "[car\x01]", "the file is no description"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.to);
        const fs::path broken = MakeCar("Broken", Edited(c.from, c.to));
        CarList cars;
        testing::internal::CaptureStdout();
        const std::size_t found = cars.Load(root.string());
        const std::string output = testing::internal::GetCapturedStdout();
        ASSERT_EQ(found, 1u);
        EXPECT_EQ(cars.GetCars()[0].GetKey(), OriginalCar);
        const std::string line = "[Warn] CarDescription - " + (broken / CarDescription::FileName).string() + ": " +
                                 c.field;
        EXPECT_EQ(output.rfind(line, 0), 0u) << output;
        EXPECT_NE(output.find("; the car is left out\n"), std::string::npos) << output;
        EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
        fs::remove_all(broken);
    }

    // A folder without a description is passed over in silence; a folder
    // whose name cannot be a key is refused; an empty folder has no car.
    fs::create_directories(root / "Spare");
    MakeCar("Not-a-key", description);
    CarList cars;
    testing::internal::CaptureStdout();
    EXPECT_EQ(cars.Load(root.string()), 1u);
    const std::string output = testing::internal::GetCapturedStdout();
    EXPECT_NE(output.find("the folder's name \"Not-a-key\""), std::string::npos) << output;
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_EQ(cars.Load((root / "Spare").string()), 0u);
    EXPECT_TRUE(cars.IsEmpty());
}

TEST(GameCars, TheOriginalCarsComeFirstAndTheThirdDrivesAllFourWheelsOnStickierTyres) {
    if (!fs::exists(CarList::DataFolder)) GTEST_SKIP() << "no game data beside " << fs::current_path();
    // The original two keep their indices, so the players' records and the
    // tests that name them by index find them; the third follows.
    ASSERT_EQ(CarPool::Count(), 3u);
    EXPECT_EQ(CarPool::Describe(0).GetKey(), "NissanSkyline");
    EXPECT_EQ(CarPool::Describe(1).GetKey(), "BugattiVeyron");
    EXPECT_EQ(CarPool::Describe(2).GetKey(), "VesperRS");
    EXPECT_EQ(CarPool::ShownName(2), "Vesper RS");
    EXPECT_FALSE(CarPool::Describe(3).IsLoaded());
    EXPECT_EQ(CarPool::ShownName(3), "");

    // The physics each description makes: who drives, who steers, the struts
    // fitted so each car stands at its model's height.
    for (unsigned i = 0; i < CarPool::Count(); ++i) {
        SCOPED_TRACE(CarPool::Describe(i).GetKey());
        const physics::CarTemplate& car = CarPool::Describe(i).GetTemplate();
        for (int w = 0; w < 4; ++w) {
            EXPECT_EQ(car.wheels[w].steered, w < 2);
            EXPECT_EQ(car.wheels[w].driven, i == 2 || w >= 2);
        }
        EXPECT_GT(car.suspensionRestLengthM, car.suspensionTravelM);
        EXPECT_GT(car.suspensionTravelM, 0.25f);
    }
    const physics::CarTemplate& hatch = CarPool::Describe(2).GetTemplate();
    const physics::CarTemplate& first = CarPool::Describe(0).GetTemplate();
    EXPECT_LT(hatch.massKg, first.massKg);
    EXPECT_GT(hatch.frontGrip, first.frontGrip);
    EXPECT_LT(CarPool::Describe(2).GetLimits().topSpeedMs, CarPool::Describe(0).GetLimits().topSpeedMs);
    EXPECT_GT(CarPool::Describe(2).GetLimits().lateralGripMs2, CarPool::Describe(0).GetLimits().lateralGripMs2);
}
