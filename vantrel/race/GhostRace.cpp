#include "GhostRace.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>

#include <sys/stat.h>

#include <GL/glew.h>

#include <nodara/GroupNode.h>

#include "cars/Car.h"
#include "cars/CarPool.h"
#include "physics/DynamicObjectCar.h"
#include "storage/SettingsStore.h"
#include "track/RoadCentreLine.h"
#include "FieldSettings.h"
#include "view/SeeThroughCars.h"

const char* const GhostRace::SettingsKey = "ghost";

namespace {

// The HUD's green for a gain and red for a loss.
const float AheadRgb[3] = {0.3f, 1.0f, 0.3f};
const float BehindRgb[3] = {1.0f, 0.3f, 0.25f};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

void GapColour(double gapS) {
    const float* rgb = gapS < 0.0 ? AheadRgb : BehindRgb;
    glColor3f(rgb[0], rgb[1], rgb[2]);
}

}  // namespace

GhostRace::GhostRace(CarPool& cars, const RoadCentreLine& road, const std::string& trackKey)
    : cars(cars), road(road), trackKey(trackKey) {}

GhostRace::~GhostRace() {
    ghostDriver.reset();
    if (ghostCar) cars.ReleaseGhost(*ghostCar);
}

bool GhostRace::LoadBestRun(const std::string& trackKey, unsigned carIndex, const RoadCentreLine& road,
                            RecordedRun& run, std::uint32_t& timeMs) {
    // No geometry, no checksum to tell another track's runs from ours.
    if (carIndex >= CarPool::Count() || road.IsEmpty()) return false;
    GhostFile::Info info;
    if (!GhostFile(trackKey, CarPool::Describe(carIndex).GetKey()).Load(road.GetChecksum(), run, info)) return false;
    timeMs = info.timeMs;
    return true;
}

bool GhostRace::HasBestRun(const std::string& trackKey, unsigned carIndex) {
    if (carIndex >= CarPool::Count()) return false;
    const std::string path = GhostFile(trackKey, CarPool::Describe(carIndex).GetKey()).GetPath();
    struct stat status;
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool GhostRace::LoadGhost(unsigned carIndex) {
    RecordedRun run;
    std::uint32_t timeMs = 0;
    if (!LoadBestRun(trackKey, carIndex, road, run, timeMs)) return false;
    hadGhostFile = true;
    return SetGhost(carIndex, run, timeMs);
}

bool GhostRace::SetGhost(unsigned carIndex, const RecordedRun& run, std::uint32_t timeMs) {
    // A second ghost replaces the first: its car is made anew, so its wheels
    // start from the model's rest.
    ghostDriver.reset();
    if (ghostCar) cars.ReleaseGhost(*ghostCar);
    ghostCar = nullptr;
    ghostRun = RecordedRun();
    if (run.GetSampleCount() < 2) return false;
    ghostCar = cars.MakeGhost(carIndex);
    if (!ghostCar) return false;
    ghostRun = run;
    ghostTimeMs = timeMs;
    ghostDriver.reset(new GhostDriver(ghostRun, *ghostCar));
    ghostDriver->PoseAt(*ghostCar, recorder.GetTimeS());
    return true;
}

void GhostRace::Restart(const Car& car) {
    released = false;
    split.reset();
    splitAgeS = 0.0f;
    Frame(car, 0.0f, false, false);
}

void GhostRace::Frame(const Car& car, float dtS, bool carReleased, bool over) {
    if (!car.body) return;
    const vmath::vec3<float> p = car.body->GetPosition();
    if (!carReleased) {
        // Held for the start: the run begins wherever the car stands when let go.
        released = false;
        progress.Start(road, p.x, p.y);
        recorder.Start(car, progress.GetDistanceM());
    } else if (recorder.IsRecording()) {
        released = true;
        if (over) {
            recorder.Stop();
        } else {
            progress.Update(road, p.x, p.y);
            recorder.Record(car, progress.GetDistanceM(), dtS);
        }
    }
    if (carReleased && std::isfinite(dtS) && dtS > 0.0f) splitAgeS += dtS;
    if (!ghostDriver) return;
    ghostDriver->PoseAt(*ghostCar, recorder.GetTimeS());
    // Gone before the player's car reaches it, so it never hides the road ahead.
    const float distanceM = vmath::length(ghostDriver->GetSample().positionM - p);
    const float share = std::clamp((distanceM - FadeNearM) / (FadeFarM - FadeNearM), 0.0f, 1.0f);
    opacity = std::isfinite(share) ? MaxOpacity * share : 0.0f;
    cars.SetOpacity(*ghostCar, opacity);
}

std::optional<double> GhostRace::GetGapS() const {
    if (!ghostDriver || !released || !recorder.IsRecording()) return std::nullopt;
    return ghostRun.GapS(recorder.GetTimeS(), progress.GetDistanceM());
}

void GhostRace::CheckpointPassed(unsigned index) {
    const std::optional<double> gap = GetGapS();
    if (!gap) return;
    split = gap;
    splitCheckpoint = index;
    splitAtFinish = false;
    splitAgeS = 0.0f;
}

bool GhostRace::TrialWon(unsigned carIndex, std::uint32_t timeMs, bool newBest) {
    recorder.Stop();
    if (ghostDriver) {
        // At the finish the times themselves compare, not a distance either run may fall short of.
        split = (static_cast<double>(timeMs) - static_cast<double>(ghostTimeMs)) / 1000.0;
        splitAtFinish = true;
        splitAgeS = 0.0f;
    }
    if ((!newBest && hadGhostFile) || carIndex >= CarPool::Count() || road.IsEmpty()) return false;
    GhostFile file(trackKey, CarPool::Describe(carIndex).GetKey());
    const auto dateS = static_cast<std::int64_t>(std::time(nullptr));
    if (!inputs) return file.Save(recorder.GetRun(), road.GetChecksum(), timeMs, dateS);
    RecordedRun run = recorder.GetRun();
    run.SetInputs(*inputs);
    return file.Save(run, road.GetChecksum(), timeMs, dateS);
}

std::string GhostRace::FormatGap(double gapS) {
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f", std::clamp(gapS, -5999.0, 5999.0));
    return text;
}

void GhostRace::DrawLines(Renderer::FontManager& fonts, Font& gapFont, Font& splitFont, float w, float h) const {
    if (!shown || !ghostDriver) return;
    if (const std::optional<double> gap = GetGapS()) {
        GapColour(*gap);
        fonts.Print(gapFont, w / 2 - 45, h - 92, FormatGap(*gap));
    }
    if (split && (splitAtFinish || splitAgeS < SplitShownS)) {
        char line[48];
        if (splitAtFinish)
            std::snprintf(line, sizeof line, "Ghost: %s", FormatGap(*split).c_str());
        else
            std::snprintf(line, sizeof line, "Split %u: %s", splitCheckpoint + 1, FormatGap(*split).c_str());
        GapColour(*split);
        fonts.Print(splitFont, w / 2 - 60, h - 122, line);
    }
}

std::vector<MapDot> GhostRace::MapDots() const {
    if (!shown || !ghostDriver) return {};
    // Cyan: apart from the white road, the red player and the yellow checkpoint.
    MapDot dot{ghostDriver->GetSample().positionM, vmath::vec3<float>(0.2f, 0.9f, 1.0f)};
    dot.hollow = true;
    return {dot};
}

void GhostRace::Draw(Renderer& renderer, const View& view) const {
    if (!shown || !ghostCar || opacity <= 0.0f) return;
    SeeThroughCars::Draw(renderer, view, {ghostCar});
}

bool GhostRace::ReadShown(SettingsStore* store) {
    if (!store) return true;
    const std::optional<std::string> text = store->Get(FieldSettings::Section, SettingsKey);
    if (!text || text->empty() || Lower(*text) == "on") return true;
    if (Lower(*text) == "off") return false;
    std::cout << "[WARN] GhostRace: [race] ghost = \"" << *text << "\" is neither on nor off; on it is" << std::endl;
    return true;
}

void GhostRace::KeepShown(SettingsStore* store, bool value) {
    if (store) store->Set(FieldSettings::Section, SettingsKey, value ? "on" : "off");
}
