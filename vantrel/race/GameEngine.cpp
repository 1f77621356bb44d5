#include "GameEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include <GL/glew.h>

#include <lumora/OglRenderer.h>
#include <nodara/Font.h>
#include <nodara/Model.h>
#include <nodara/StateManager.h>
#include <vmath/frame.h>

#include "cars/Car.h"
#include "CarRecovery.h"
#include "ViewProjection.h"
#include "GhostRace.h"
#include "Replay.h"
#include "RaceField.h"
#include "EngineSound.h"
#include "rules/FieldRaceRules.h"
#include "rules/FreeDriveRules.h"
#include "rules/TimeTrialRules.h"
#include "view/RacePicture.h"
#include "track/DrawDistance.h"
#include "hud/HudNotice.h"
#include "hud/ScreenProjection.h"
#include "track/TrackList.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"

namespace {

const double Pi = 3.14159265358979323846;

// glPushAttrib mask of the HUD: viewport, depth buffer and lighting among
// others (the value of GL_LIGHTING used as a mask).
const GLbitfield HudAttributes = 0x0B50;

// A cycle time the race acts on: below a second, and a number.
bool IsUsableStep(float dtS) { return dtS < 1.0f; }

}  // namespace

GameEngine::GameEngine(EventHandler& handler, RecordsStore* records)
    : handler(handler), records(records), rules(new TimeTrialRules(track, records, "")) {
    handler.AddListener(EventHandler::KeyEvent, this);
    handler.AddListener(EventHandler::KeyEvent, &player);
    handler.AddListener(EventHandler::MouseEvent, &player);
    handler.AddListener(EventHandler::MouseEvent, this);
    handler.AddListener(EventHandler::FocusLostEvent, this);
    handler.AddListener(EventHandler::FocusLostEvent, &player);
}

GameEngine::~GameEngine() {
    handler.RemoveListener(EventHandler::KeyEvent, this);
    handler.RemoveListener(EventHandler::KeyEvent, &player);
    handler.RemoveListener(EventHandler::MouseEvent, &player);
    handler.RemoveListener(EventHandler::MouseEvent, this);
    handler.RemoveListener(EventHandler::FocusLostEvent, this);
    handler.RemoveListener(EventHandler::FocusLostEvent, &player);
    if (engineSound) engineSound->Leave();
    ReleaseRace();
    // The engine, a member, goes last with the effect pass and the models.
}

void GameEngine::ReleaseRace() {
    replay.reset();
    // The rules refer to the field and the ghost race: they go first.
    rules.reset(new FreeDriveRules);
    ghostRace.reset();
    player.SetCar(nullptr);
    field.reset();
    // The cars' bodies live in the world: they go back to it before it goes.
    cars.reset();
    track.checkpoints.clear();
    track.coarseCopies.clear();
    world.reset();
    keptPoses.clear();
}

bool GameEngine::Initialize() {
    // NOTE: without an initialised renderer GL's entry points are not loaded,
    // so nothing below may run.
    if (!engine.Initialize()) return false;
    ReleaseRace();
    world.reset(new physics::World);
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    frameStatistics.font = fonts.Generate("Arial", 18);
    frameStatistics.engine = &engine;
    messageFont = fonts.Generate("Arial", 18);
    smallFont = fonts.Generate("Arial", 32);
    largeFont = fonts.Generate("Arial", 64);
    hud.SetFonts(messageFont, smallFont, largeFont);
    cars.reset(new CarPool(engine, world.get()));
    return frameStatistics.font && messageFont && smallFont && largeFont;
}

const TrackDescription::Way* GameEngine::ChooseWay() {
    if (!setup.track.IsLoaded()) {
        TrackList list;
        if (list.Load() == 0) {
            std::cout << "[ERROR] GameEngine: no track found in " << TrackList::DataFolder << std::endl;
            return nullptr;
        }
        setup.track = list.GetTracks().front();
        setup.direction = setup.track.GetWays().front().direction;
    }
    const TrackDescription::Way* found = setup.track.FindWay(setup.direction);
    if (!found)
        std::cout << "[ERROR] GameEngine: " << setup.track.GetFile() << " has no "
                  << TrackDescription::DirectionName(setup.direction) << " way" << std::endl;
    return found;
}

std::string GameEngine::RecordsKey() const {
    return setup.track.RecordsKey(setup.direction, CarPool::NodeNames[setup.PlayerCar()]);
}

std::string GameEngine::GhostKey() const { return setup.track.GhostKey(setup.direction); }

bool GameEngine::PlaceAtStart(Car& car) {
    const double heading = way.startHeadingDeg * Pi / 180.0;
    return world && CarRecovery::PlaceAt(car, *world, way.startX, way.startY,
                                         vmath::vec2<double>(-std::sin(heading), std::cos(heading)));
}

bool GameEngine::Fail(const std::string& why) {
    const std::string name = setup.track.IsLoaded() ? setup.track.GetName() : std::string("The track");
    startFailure = name + " cannot be raced: " + why;
    std::cout << "[ERROR] GameEngine: " << startFailure << std::endl;
    return false;
}

bool GameEngine::Start(unsigned carIndex, Mode startMode) {
    startFailure.clear();
    if (!world || !cars) return Fail("the race did not initialise");
    const TrackDescription::Way* chosen = ChooseWay();
    if (!chosen) {
        startFailure = setup.track.IsLoaded() ? setup.track.GetName() + " cannot be raced: it has no " +
                                                    TrackDescription::DirectionName(setup.direction) + " way"
                                              : "No track found in " + std::string(TrackList::DataFolder);
        return false;
    }
    way = *chosen;
    setup.mode = startMode;
    setup.entrants = {RaceSetup::Entrant{carIndex, RaceSetup::Entrant::Driver::LocalPlayer, 0, setup.opponentSkill}};
    // Read and checked with the description; reversed, the loop runs the other way from the same start line.
    track.checkpoints = way.checkpoints;
    track.road = setup.track.RoadFor(setup.direction);
    hud.SetRoad(track.road);
    scene.reset(new RaceScene(engine, quality));
    const std::string failure = scene->Load(setup.track, track, *world);
    if (!failure.empty()) return Fail(failure);

    // Without a car there is nothing to drive, to follow or to draw the
    // instruments of: the race does not start.
    cars->SetSpeedUnit(displaySettings.speedUnit);
    Car* car = cars->GetCar(carIndex);
    if (!car) return Fail("the car could not be made");
    cameraSettings.ApplyTo(*car);
    player.SetCamera(&engine.GetCamera());
    player.SetCar(car);
    scene->Light(setup.track, track);
    // A Race's cars stand on the grid; the others start on the start line.
    if (startMode != Race && startMode != RaceMode::Replay && !PlaceAtStart(*car))
        return Fail("its start lies off its ground");
    if (!scene->AddEffects(track, *car)) return Fail("the effects did not initialise");
    mode = startMode;
    if (mode == Race && !StartField(*car)) return Fail("its field could not be put on the grid");
    ghostRace.reset(new GhostRace(*cars, track.road, GhostKey()));
    ghostRace->SetShown(GhostRace::ReadShown(settings));
    if (mode == TimeTrial) ghostRace->LoadGhost(carIndex);
    BeginRace(mode);
    if (mode != RaceMode::Replay) return true;
    RecordedRun best;
    std::uint32_t bestMs = 0;
    return GhostRace::LoadBestRun(GhostKey(), carIndex, track.road, best, bestMs) && Watch(best);
}

bool GameEngine::StartField(Car& car) {
    // Nothing hand-placed: the line and the gates come from the road itself.
    const double halfWidthM = setup.track.GetRoadHalfWidthM();
    if (track.road.IsEmpty() || !racingLine.Compute(track.road, halfWidthM)) return false;
    std::vector<double> gates;
    for (const Track::Checkpoint& checkpoint : track.checkpoints)
        gates.push_back(track.road.Project(checkpoint.x, checkpoint.y));
    field.reset(new RaceField(*cars, *world, track.road, racingLine, halfWidthM));
    if (!field->Start(car, setup.PlayerCar(), player, setup.opponentCount, setup.opponentSkill, gates)) return false;
    // The opponents are lit, shadowed and reflected as the preset does the player's car.
    for (const Racer& racer : field->GetRacers())
        if (!racer.player) scene->AddCar(*racer.car);
    return true;
}

void GameEngine::BeginRace(Mode startMode) {
    mode = startMode;
    if (mode == Race && field) {
        rules.reset(new FieldRaceRules(*field));
    } else if (mode == TimeTrial) {
        auto trial = std::make_unique<TimeTrialRules>(track, records, setup.track.IsLoaded() ? RecordsKey() : "");
        trial->SetGhostRace(ghostRace.get(), setup.PlayerCar());
        rules = std::move(trial);
    } else {
        rules.reset(new FreeDriveRules);
    }
    rules->Begin();
    tick.Reset();
    keptPoses.clear();
    standingS = 0.0f;
    if (ghostRace && player.GetCar()) ghostRace->Restart(*player.GetCar());
}

void GameEngine::RaceAgain() {
    // The track and the car stay loaded: the car only needs a new body at the start.
    const unsigned carIndex = setup.PlayerCar();
    if (cars && cars->ResetCar(carIndex) && !field)
        if (Car* car = cars->GetCar(carIndex)) PlaceAtStart(*car);
    CarPlaced();
    if (field) field->Restart();
    BeginRace(mode);
}

void GameEngine::CarPlaced() {
    wrongWay.Reset();
    player.CarPlaced();
    if (engineSound) engineSound->CarPlaced();
    keptPoses.clear();
}

TimeTrialRules* GameEngine::Trial() const { return dynamic_cast<TimeTrialRules*>(rules.get()); }

unsigned GameEngine::GetNextCheckpoint() const {
    if (field) return field->GetPlayer().nextCheckpoint;
    const TimeTrialRules* trial = Trial();
    return trial ? trial->GetNextCheckpoint() : 0;
}

double GameEngine::GetRemainingTime() const {
    const TimeTrialRules* trial = Trial();
    return trial ? trial->GetRemainingTime() : 0.0;
}

void GameEngine::SetRemainingTime(double seconds) {
    if (TimeTrialRules* trial = Trial()) trial->SetRemainingTime(seconds);
}

const TrialResult& GameEngine::GetResult() const {
    static const TrialResult none;
    const TimeTrialRules* trial = Trial();
    return trial ? trial->GetResult() : none;
}

bool GameEngine::IsPerfect() const {
    const TimeTrialRules* trial = Trial();
    return trial && trial->IsPerfect();
}

void GameEngine::TestCheckpoint(const vmath::vec3<float>& position, float dtS) {
    if (TimeTrialRules* trial = Trial()) trial->TestCheckpoint(position, dtS);
}

void GameEngine::Frame() {
    Step();
    FeedEngineSound();
    frameStatistics.Step();
    RenderScene();
    DrawHud();
}

void GameEngine::FeedEngineSound() {
    if (!engineSound) return;
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    const bool running = !GetRaceClock().IsPaused() && !player.IsSpectator();
    EngineSound::Drive drive = EngineSound::DriveOf(player.GetCar(), running);
    if (replay) {
        drive = replay->SoundDrive(running);
    } else if (mode == TimeTrial && IsPerfect()) {
        // The world stands still after a won trial, the car with it: the
        // engine, whose read-back is frozen, winds down to idle instead.
        if (running && IsUsableStep(dtS)) standingS += dtS;
        drive = EngineSound::WoundDown(drive, standingS);
    }
    engineSound->Update(drive, dtS);
    if (field) {
        // A replay stands the race still: the other cars' engines with it.
        std::vector<EngineSound::FieldEngine> others;
        const Car* car = player.GetCar();
        if (car && car->body && !replay)
            for (const Racer& racer : field->GetRacers())
                if (!racer.player && racer.car->body) {
                    const physics::DynamicObjectCar& body = *racer.car->body;
                    others.push_back({body.GetEngineRpm(), racer.car->controlsEnabled ? racer.car->throttle : 0.0f,
                                      vmath::length(body.GetPosition() - car->body->GetPosition())});
                }
        engineSound->UpdateField(others);
    }
}

void GameEngine::RenderScene() {
    const ViewProjection projection(cameraSettings.VerticalFieldOfViewDeg());
    const QualityPreset::Settings settings = QualityPreset::For(quality);
    DrawDistance::Cull(engine, settings.drawDistanceM, track.coarseCopies, settings.coarseBeyondM);
    // Far cars are drawn from their simplified looks, and at Low near ones as well.
    if (cars)
        cars->GetLevelOfDetail().Select(engine.GetCamera().GetView().GetEye(), settings.carDetailDistanceScale,
                                        settings.nearCarLook);
    const bool scaled = scaledView.Begin(settings.renderScale);
    engine.RenderScene();
    // See-through, so after everything it shows through.
    if (ghostRace && !replay) ghostRace->Draw(*engine.GetRenderer(), engine.GetCamera().GetView());
    if (scaled) scaledView.End();
}

void GameEngine::Step() {
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    // The message fades and the frame rate is counted even while the race waits.
    options.Step(IsUsableStep(dtS) ? dtS : 0.0f);
    frameRate.Step(dtS);
    if (!IsUsableStep(dtS) || GetRaceClock().IsPaused()) return;
    if (replay) {
        // The recording drives, a frame at a time; only the spectator's camera is the player's.
        if (player.IsSpectator()) player.Update(dtS);
        replay->Update(dtS, !player.IsSpectator());
        return;
    }
    const int ticks = tick.Advance(dtS);
    for (int i = 0; i < ticks; ++i) {
        if (i == ticks - 1) KeepPoses();
        Tick();
    }
    // A world that stands still (a won trial) leaves the cars and the camera where they are.
    if (!player.IsSpectator() && rules->IsWorldRunning()) PoseCars(tick.GetBlend(), dtS);
}

void GameEngine::Tick() {
    const float tickS = static_cast<float>(FixedTick::TickS);
    rules->BeforeTick(tickS);
    player.Update(tickS);
    Car* car = player.GetCar();
    // Once the trial is over (time up) or the player home, the car only brakes.
    if (car) car->controlsEnabled = rules->AreControlsEnabled();
    if (player.IsSpectator() || !world || !car) return;
    if (rules->IsWorldRunning()) {
        world->Step(tickS);
        if (car->body) wrongWay.Update(track.road, car->body->GetPosition(), car->body->GetLinearVelocity(), tickS);
        if (ghostRace) ghostRace->Frame(*car, tickS, rules->IsReleased(), IsOver());
    }
    rules->AfterTick(tickS, *car);
}

std::vector<Car*> GameEngine::PosedCars() const {
    std::vector<Car*> posed;
    if (field) {
        for (const Racer& racer : field->GetRacers())
            if (racer.car && racer.car->body) posed.push_back(racer.car);
    } else if (Car* car = player.GetCar(); car && car->body) {
        posed.push_back(car);
    }
    return posed;
}

void GameEngine::KeepPoses() {
    const std::vector<Car*> posed = PosedCars();
    keptPoses.resize(posed.size());
    for (std::size_t i = 0; i < posed.size(); ++i) posed[i]->body->GetMatrixGL(keptPoses[i].data());
}

void GameEngine::PoseCars(float blend, float dtS) {
    const std::vector<Car*> posed = PosedCars();
    Car* playerCar = player.GetCar();
    for (std::size_t i = 0; i < posed.size(); ++i) {
        Car& car = *posed[i];
        float now[16], frame[16];
        car.body->GetMatrixGL(now);
        // A car put down since the last tick has no earlier pose to come from.
        if (i < keptPoses.size() && keptPoses.size() == posed.size())
            vmath::blend_frames_gl(keptPoses[i].data(), now, blend, frame);
        else
            std::copy(now, now + 16, frame);
        car.PoseNodes(frame, dtS);
        if (&car == playerCar) car.UpdateCamera(engine.GetCamera(), frame, car.body->GetLinearVelocity(), dtS);
    }
}

std::string GameEngine::FormatClock(double seconds) { return RaceClock::Format(seconds); }

const char* GameEngine::CountdownDigit(float countdownS) { return RaceHud::CountdownDigit(countdownS); }

RacePicture GameEngine::Picture() {
    RacePicture picture;
    picture.mode = mode;
    picture.rules = rules.get();
    picture.track = &track;
    picture.car = player.GetCar();
    picture.field = field.get();
    picture.ghostRace = ghostRace.get();
    picture.wrongWay = &wrongWay;
    picture.nextCheckpoint = GetNextCheckpoint();
    picture.remainingTime = GetRemainingTime();
    picture.result = &GetResult();
    return picture;
}

void GameEngine::DrawHud() {
    const ScreenProjection screen;
    const float w = screen.GetWidth(), h = screen.GetHeight();
    // The effect pass leaves depth testing, culling and textures on units 0
    // to 2 behind; the HUD draws over everything, untextured but for its dials.
    glPushAttrib(HudAttributes | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    for (GLenum unit = GL_TEXTURE0; unit <= GL_TEXTURE2; ++unit) {
        glActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    endScreen.Clear(h);
    Renderer& renderer = *engine.GetRenderer();
    if (displaySettings.showFrameRate && messageFont) frameRate.Draw(renderer.GetFontManager(), *messageFont, 10, 8);

    if (replay && !player.IsSpectator() && smallFont && messageFont)
        replay->DrawHud(engine, hud.GetMinimap(), *smallFont, *messageFont, w, h);
    else if (!player.IsSpectator())
        hud.Draw(engine, Picture(), w, h, &endScreen);

    if (messageFont) options.Draw(renderer, *messageFont, frameStatistics, quality, w, h);
    if (GetRaceClock().IsPaused() && largeFont) {
        glColor3f(1.0f, 1.0f, 0.0f);
        renderer.GetFontManager().Print(*largeFont, w / 2 - 100, h / 2 + 190, "Paused");
    }
    if (notice && messageFont) notice->Draw(renderer, *messageFont);

    glPopAttrib();
}

void GameEngine::OnFocusLost(EventHandler&) { rules->GetClock().Pause(); }

void GameEngine::OnMouse(EventHandler& events, int x, int y, int button, int state) {
    const int pressed = endScreen.OnMouse(x, y, button, state);
    if (pressed == ClickAreas::None) return;
    // As the key itself.
    events.DispatchKey(static_cast<unsigned>(pressed), 0);
    events.DispatchKey(static_cast<unsigned>(pressed), 1);
}

bool GameEngine::Watch(const RecordedRun& run) {
    Car* car = player.GetCar();
    if (!car || !cars || run.GetSampleCount() < 2) return false;
    // One replay at a time, the car given back by the last before the next takes it.
    replay.reset();
    replay.reset(new Replay(run, *car, *cars, engine.GetCamera()));
    return true;
}

bool GameEngine::LeaveReplay() {
    if (!replay || mode == RaceMode::Replay) return false;
    replay.reset();
    return true;
}

void GameEngine::ToggleGhost() {
    const bool shown = !(ghostRace ? ghostRace->IsShown() : GhostRace::ReadShown(settings));
    if (ghostRace) ghostRace->SetShown(shown);
    GhostRace::KeepShown(settings, shown);
    options.SetMessage(shown ? "Ghost: On [G]" : "Ghost: Off [G]");
}

void GameEngine::OnKey(EventHandler&, unsigned key, int state) {
    if (replay && replay->OnKey(key, state, player.IsSpectator())) return;
    if (state == 0 && key == GameKeys::Watch && IsOver() && !replay && ghostRace) {
        Watch(ghostRace->GetRun());
        return;
    }
    if (state == 0 && key == GameKeys::Ghost) {
        ToggleGhost();
        return;
    }
    if (state == 0 && key == VK_RETURN && IsOver() && !replay) {
        RaceAgain();
        return;
    }
    if (state == 0 && key == player.GetKeyBindings().KeyOf(KeyBindings::Pause)) {
        rules->GetClock().TogglePause();
        return;
    }
    if (key == player.GetKeyBindings().KeyOf(KeyBindings::Recover) && state == 0) {
        Car* car = player.GetCar();
        // A paused world must not move, and a recovery then would be free.
        if (car && car->controlsEnabled && !IsOver() && !GetRaceClock().IsPaused() && !player.IsSpectator() &&
            world && CarRecovery::Recover(*car, *world, track.road))
            CarPlaced();
        return;
    }
    if (state == 0) options.OnKey(*engine.GetRenderer(), key);
}
