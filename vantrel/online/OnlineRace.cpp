#include "OnlineRace.h"

#include <algorithm>

#include <nodara/PerformanceCounter.h>

#include "OnlineRaceRules.h"
#include "OnlineTrialRules.h"
#include "cars/CarCatalogue.h"
#include "hud/HudNotice.h"
#include "race/GameEngine.h"
#include "race/GhostRace.h"
#include "race/rules/TimeTrialRules.h"
#include "storage/GhostFile.h"
#include "race/FixedTick.h"
#include "race/RaceClock.h"
#include "race/RaceField.h"

OnlineRace::OnlineRace(NetClient& net, const Protocol::RaceStart& start, const Protocol::LobbyState& lobby,
                       double arrivalS)
    : net(net), start(start), arrivalS(arrivalS), trial(net.GetChoice().mode == Protocol::Mode::TimeTrial) {
    for (const Protocol::GridPlace& place : start.grid) {
        GridCar car;
        car.id = place.id;
        const std::size_t model = CarCatalogue::Cars().Find(place.car);
        car.model = model < CarCatalogue::Count() ? static_cast<unsigned>(model) : 0u;
        car.own = place.id == net.GetPlayerId();
        if (place.id >= Protocol::MaxPlayers) {
            const std::size_t driver = place.id - Protocol::MaxPlayers;
            car.name = driver < RaceField::MaxOpponents ? RaceField::DriverNames[driver] : "Driver";
        } else {
            car.name = "Player " + std::to_string(place.id + 1);
            for (const Protocol::LobbyPlayer& player : lobby.players)
                if (player.id == place.id) car.name = player.name;
        }
        // The field tells its racers apart by name.
        const std::string given = car.name;
        for (int n = 2; std::any_of(grid.begin(), grid.end(), [&](const GridCar& c) { return c.name == car.name; });
             ++n)
            car.name = given + " " + std::to_string(n);
        if (!car.own) {
            followers[car.id];
            buffers[car.id];
        }
        grid.push_back(std::move(car));
    }
}

const OnlineRace::GridCar* OnlineRace::GetOwn() const {
    for (const GridCar& car : grid)
        if (car.own) return &car;
    return nullptr;
}

std::vector<std::string> OnlineRace::GridNames() const {
    std::vector<std::string> names;
    for (const GridCar& car : grid) names.push_back(car.name);
    return names;
}

Driver* OnlineRace::DriverOf(std::uint8_t id) {
    const auto found = followers.find(id);
    return found == followers.end() ? nullptr : &found->second;
}

std::optional<std::uint8_t> OnlineRace::IdOf(const std::string& name) const {
    for (const GridCar& car : grid)
        if (car.name == name) return car.id;
    return std::nullopt;
}

const char* const OnlineRace::EndKeys = "Return: lobby   Escape: leave the game";

void OnlineRace::SetUp(GameEngine& engine) {
    std::vector<GameEngine::Guest> guests;
    std::string ownName;
    for (const GridCar& car : grid) {
        if (car.own)
            ownName = car.name;
        else
            guests.push_back({car.model, car.name, DriverOf(car.id)});
    }
    engine.SetOpponents(0, RacingDriver::Skill::Medium);
    if (trial) {
        engine.SetTrialGuests(ownName, std::move(guests),
                              [this](const Track& track, RecordsStore* records, std::string key, TrialGuests& shown) {
                                  return MakeTrialRules(track, records, std::move(key), shown,
                                                        PerformanceCounter::Time());
                              });
    } else {
        engine.SetGridOrder(GridNames());
        engine.SetGuests(ownName, std::move(guests),
                         [this](RaceField& field) { return MakeRules(field, PerformanceCounter::Time()); });
    }
    engine.SetEndTable(EndKeys);
}

bool OnlineRace::Frame(GameEngine& engine, HudNotice& notice, double nowS) {
    if (net.GetState() != NetClient::State::InLobby) return false;
    for (const std::string& line : TakeLeftLines()) notice.Show(line, nowS);
    std::uint32_t tick = 0;
    if (const auto* rules = dynamic_cast<const OnlineRaceRules*>(&engine.GetRules())) tick = rules->GetTick();
    const auto* trialRules = dynamic_cast<const OnlineTrialRules*>(&engine.GetRules());
    if (trialRules) tick = trialRules->GetTick();
    std::vector<std::string> lines = HudLines(tick * FixedTick::TickS);
    if (trialRules && trialRules->IsWaiting()) lines.insert(lines.begin(), "Waiting for the other games");
    engine.SetHudLines(std::move(lines));
    if (trialRules && trialRules->IsCheckable() && engine.IsPerfect() && !runSent) {
        runSent = true;
        SubmitWonRun(engine);
    }
    for (const Protocol::RunVerdict& verdict : net.TakeVerdicts()) notice.Show(verdict.line, nowS, false, VerdictShownS);
    if (result && !resultsShown) {
        engine.SetEndTable(EndKeys, Results(EndKeys));
        resultsShown = true;
    }
    return true;
}

std::unique_ptr<RaceRules> OnlineRace::MakeRules(RaceField& field, double nowS) {
    const double lateS = std::max(0.0, nowS - arrivalS);
    return std::make_unique<OnlineRaceRules>(field, *this, static_cast<std::uint32_t>(lateS / FixedTick::TickS));
}

void OnlineRace::TakeArrivals(double nowS) {
    for (const Protocol::CarState& state : net.TakeStates())
        if (const auto buffer = buffers.find(state.playerId); buffer != buffers.end()) buffer->second.Push(state, nowS);
    if (std::optional<Protocol::RaceResult> over = net.TakeRaceResult()) result = std::move(over);
}

std::unique_ptr<TimeTrialRules> OnlineRace::MakeTrialRules(const Track& track, RecordsStore* records,
                                                           std::string recordsKey, TrialGuests& guests, double nowS) {
    const double lateS = std::max(0.0, nowS - arrivalS);
    return std::make_unique<OnlineTrialRules>(track, records, std::move(recordsKey), *this, guests,
                                              static_cast<std::uint32_t>(lateS / FixedTick::TickS));
}

void OnlineRace::SubmitWonRun(const GameEngine& engine) {
    const GhostRace* ghostRace = engine.GetGhostRace();
    const RunInputs& inputs = engine.GetRace().GetInputs();
    if (!ghostRace || inputs.IsEmpty()) return;
    const Protocol::RaceChoice& choice = net.GetChoice();
    net.SubmitRun({choice.track, CarCatalogue::Describe(GetOwn() ? GetOwn()->model : 0).GetKey(),
                   engine.GetResult().GetTakenMs(), GhostFile::SamplesCrc(ghostRace->GetRun()),
                   static_cast<std::uint32_t>(inputs.GetTickCount()), GhostFile::EncodeInputs(inputs)});
}

ResultsTable::Table OnlineRace::Results(const std::string& keys) const {
    ResultsTable::Table table;
    table.keys = keys;
    if (!result) return table;
    unsigned position = 0;
    for (const Protocol::ResultRow& row : result->rows) {
        const auto car = std::find_if(grid.begin(), grid.end(), [&](const GridCar& c) { return c.id == row.id; });
        if (car == grid.end()) continue;
        ResultsTable::Row line;
        line.position = ++position;
        line.name = car->name;
        line.car = CarCatalogue::ShownName(car->model);
        line.player = car->own;
        line.result = row.finished ? RaceClock::Format(row.timeMs / 1000.0) : "did not finish";
        table.rows.push_back(std::move(line));
    }
    return table;
}

std::vector<std::string> OnlineRace::HudLines(double nowS) const {
    std::vector<std::string> lines{"Ping " + std::to_string(net.GetPingMs()) + " ms"};
    // Once the results came no more states do: nobody lags.
    if (result) return lines;
    for (const GridCar& car : grid) {
        if (gone.count(car.id)) continue;
        const auto buffer = buffers.find(car.id);
        RemoteCarBuffer::Shown shown;
        if (buffer != buffers.end() && buffer->second.At(nowS, shown) && shown.lagging)
            lines.push_back(car.name + " lagging");
    }
    return lines;
}

std::vector<std::string> OnlineRace::TakeLeftLines() {
    std::vector<std::string> lines;
    for (const Protocol::PlayerLeft& left : net.TakeLeft())
        for (const GridCar& car : grid)
            if (car.id == left.playerId) {
                lines.push_back(car.name + " left");
                gone.insert(car.id);
            }
    return lines;
}
