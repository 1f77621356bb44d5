#include "GameEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include <GL/glew.h>

#include <lumora/OglRenderer.h>
#include <nodara/Font.h>
#include <nodara/GroupNode.h>
#include <nodara/Model.h>
#include <nodara/StateManager.h>
#include <vmath/frame.h>

#include "cars/Car.h"
#include "CarRecovery.h"
#include "ViewProjection.h"
#include "GhostRace.h"
#include "TrialGuests.h"
#include "Replay.h"
#include "RaceField.h"
#include "EngineSound.h"
#include "rules/FieldRaceRules.h"
#include "rules/FreeDriveRules.h"
#include "rules/TimeTrialRules.h"
#include "rules/TrialRun.h"
#include "view/RacePicture.h"
#include "view/SplitLayout.h"
#include "hud/ResultsTable.h"
#include "track/DrawDistance.h"
#include "hud/HudNotice.h"
#include "hud/ScreenProjection.h"
#include "track/TrackList.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"

namespace {

// glPushAttrib mask of the HUD: viewport, depth buffer and lighting among
// others (the value of GL_LIGHTING used as a mask).
const GLbitfield HudAttributes = 0x0B50;

// A cycle time the race acts on: below a second, and a number.
bool IsUsableStep(float dtS) { return dtS < 1.0f; }

}  // namespace

GameEngine::GameEngine(EventHandler& handler, RecordsStore* records) : handler(handler), race(records) {
    handler.AddListener(EventHandler::KeyEvent, this);
    handler.AddListener(EventHandler::KeyEvent, &player);
    handler.AddListener(EventHandler::MouseEvent, &player);
    handler.AddListener(EventHandler::MouseEvent, this);
    handler.AddListener(EventHandler::FocusLostEvent, this);
    handler.AddListener(EventHandler::FocusLostEvent, &player);
    race.AddSeat(player, 0);
    seats.emplace_back();
    seats.back().view.reset(new RaceView(&engine.GetCamera()));
}

void GameEngine::SetFirstDevice(InputDevice device, const KeyBindings& keys) {
    player.SetDevice(device);
    player.SetKeyBindings(keys);
}

bool GameEngine::AddLocalPlayer(unsigned carIndex, InputDevice device, const KeyBindings& keys) {
    if (seats.size() >= SplitLayout::MaxPlayers) return false;
    Seat seat;
    seat.owned.reset(new Player);
    seat.owned->SetDevice(device);
    seat.owned->SetKeyBindings(keys);
    seat.view.reset(new RaceView);
    seat.owned->SetCamera(&seat.view->GetCamera());
    handler.AddListener(EventHandler::KeyEvent, seat.owned.get());
    handler.AddListener(EventHandler::FocusLostEvent, seat.owned.get());
    race.AddSeat(*seat.owned, carIndex);
    seats.push_back(std::move(seat));
    return true;
}

GameEngine::~GameEngine() {
    handler.RemoveListener(EventHandler::KeyEvent, this);
    handler.RemoveListener(EventHandler::KeyEvent, &player);
    handler.RemoveListener(EventHandler::MouseEvent, &player);
    handler.RemoveListener(EventHandler::MouseEvent, this);
    handler.RemoveListener(EventHandler::FocusLostEvent, this);
    handler.RemoveListener(EventHandler::FocusLostEvent, &player);
    for (Seat& seat : seats)
        if (seat.owned) {
            handler.RemoveListener(EventHandler::KeyEvent, seat.owned.get());
            handler.RemoveListener(EventHandler::FocusLostEvent, seat.owned.get());
        }
    if (engineSound) engineSound->Leave();
    ReleaseRace();
    // The engine, a member, goes last with the effect pass and the models.
}

void GameEngine::ReleaseRace() {
    replay.reset();
    // The rules refer to the guests, the guests' cars to the pool.
    race.ReleaseCars();
    trialGuests.reset();
    // The cars' bodies live in the world: they go back to it before it goes.
    cars.reset();
    race.ReleaseWorld();
}

bool GameEngine::Initialize() {
    // NOTE: without an initialised renderer GL's entry points are not loaded,
    // so nothing below may run.
    if (!engine.Initialize()) return false;
    ReleaseRace();
    race.NewWorld();
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    frameStatistics.font = fonts.Generate("Arial", 18);
    frameStatistics.engine = &engine;
    messageFont = fonts.Generate("Arial", 18);
    smallFont = fonts.Generate("Arial", 32);
    largeFont = fonts.Generate("Arial", 64);
    for (Seat& seat : seats) seat.view->GetHud().SetFonts(messageFont, smallFont, largeFont);
    cars.reset(new CarPool(engine, race.GetWorld()));
    return frameStatistics.font && messageFont && smallFont && largeFont;
}

const TrackDescription::Way* GameEngine::ChooseWay() {
    RaceSetup& setup = race.GetSetup();
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

bool GameEngine::Fail(const std::string& why, bool theTrack) {
    startFailureIsTrack = theTrack;
    const TrackDescription& described = race.GetSetup().track;
    const std::string name = described.IsLoaded() ? described.GetName() : std::string("The track");
    startFailure = name + " cannot be raced: " + why;
    std::cout << "[ERROR] GameEngine: " << startFailure << std::endl;
    return false;
}

bool GameEngine::Start(unsigned carIndex, Mode startMode) {
    startFailure.clear();
    startFailureIsTrack = false;
    physics::World* world = race.GetWorld();
    if (!world || !cars) return Fail("the race did not initialise", false);
    const TrackDescription::Way* chosen = ChooseWay();
    const RaceSetup& setup = race.GetSetup();
    if (!chosen) {
        startFailureIsTrack = setup.track.IsLoaded();
        startFailure = setup.track.IsLoaded() ? setup.track.GetName() + " cannot be raced: it has no " +
                                                    TrackDescription::DirectionName(setup.direction) + " way"
                                              : "No track found in " + std::string(TrackList::DataFolder);
        return false;
    }
    race.SetWay(*chosen);
    Track& track = race.GetTrack();
    for (Seat& seat : seats) seat.view->GetHud().SetRoad(track.road);
    scene.reset(new RaceScene(engine, quality));
    const std::string failure = scene->Load(setup.track, track, *world);
    if (!failure.empty()) return Fail(failure);

    // Without a car there is nothing to drive, to follow or to draw the
    // instruments of: the race does not start.
    cars->SetSpeedUnit(displaySettings.speedUnit);
    race.GetSeat(0).carIndex = carIndex;
    for (std::size_t i = 0; i < seats.size(); ++i) {
        const unsigned model = race.GetSeat(i).carIndex;
        // A second player of the same car drives a copy of it, in their own colour.
        const vmath::vec3<float> colour = Race::PlayerColour(i);
        const float paint[3] = {colour.x, colour.y, colour.z};
        Car* car = i == 0 ? cars->GetCar(model) : cars->MakePlayerCar(model, paint);
        if (!car) return Fail("the car could not be made", false);
        cameraSettings.ApplyTo(*car);
        race.SetCar(i, car);
    }
    Car* car = race.GetSeat(0).car;
    player.SetCamera(&engine.GetCamera());
    scene->Light(setup.track, track);
    // A Race's cars stand on the grid; the others start on the start line.
    if (startMode != RaceMode::Race && startMode != RaceMode::Replay)
        for (std::size_t i = 0; i < seats.size(); ++i)
            if (!race.PlaceAtStart(i)) return Fail("its start lies off its ground");
    if (!scene->AddEffects(track, *car)) return Fail("the effects did not initialise", false);
    for (std::size_t i = 1; i < seats.size(); ++i) scene->AddCar(*race.GetSeat(i).car);
    if (startMode == RaceMode::Race) {
        std::vector<RaceField::Entry> others;
        for (std::size_t i = 0; i < guests.size(); ++i) {
            const vmath::vec3<float> colour = Race::PlayerColour(i + 1);
            const float paint[3] = {colour.x, colour.y, colour.z};
            Car* guest = cars->MakeOpponent(guests[i].model, paint);
            if (!guest) return Fail("a car of the field could not be made", false);
            others.push_back({guest, guests[i].model, guests[i].driver, guests[i].name, colour});
        }
        if (!race.StartField(*cars, others)) return Fail("its field could not be put on the grid");
        // The opponents and the guests are lit, shadowed and reflected as the preset does the player's car.
        for (const Racer& racer : race.GetField()->GetRacers())
            if (!racer.player) scene->AddCar(*racer.car);
        for (const RaceField::Entry& guest : others) scene->AddCar(*guest.car);
    }
    trialGuests.reset();
    if (startMode == RaceMode::TimeTrial && trialRules && seats.size() == 1) {
        trialGuests = std::make_unique<TrialGuests>(*cars);
        for (std::size_t i = 0; i < guests.size(); ++i)
            if (!trialGuests->Add(guests[i].model, guests[i].name, Race::PlayerColour(i + 1)))
                return Fail("a car of the trial could not be made", false);
    }
    // The game's driver at the player's wheel: along the field's racing
    // line, or for a trial one kept within a checkpoint's reach of the
    // centre line, where the gates are.
    if (autopilotAsked && (startMode == RaceMode::Race || startMode == RaceMode::TimeTrial)) {
        const double reachM = std::min<double>(race.GetSetup().track.GetRoadHalfWidthM(), TrialRun::CheckpointReach);
        const bool lined = startMode == RaceMode::Race || autopilotLine.Compute(track.road, reachM);
        if (lined) {
            autopilot = std::make_unique<RacingDriver>(startMode == RaceMode::Race ? race.GetRacingLine() : autopilotLine,
                                                       RacingDriver::CarLimits(carIndex), RacingDriver::Skill::Medium);
            player.SetAutopilot(autopilot.get());
        }
    }
    race.StartGhostRace(*cars);
    GhostRace& ghostRace = *race.GetGhostRace();
    // Sharing the screen, each player races the others, not a ghost.
    ghostRace.SetShown(seats.size() == 1 && GhostRace::ReadShown(settings));
    if (startMode == RaceMode::TimeTrial && seats.size() == 1) ghostRace.LoadGhost(carIndex);
    BeginRace(startMode);
    if (startMode != RaceMode::Replay) return true;
    RecordedRun best;
    std::uint32_t bestMs = 0;
    return GhostRace::LoadBestRun(race.GhostKey(), carIndex, track.road, best, bestMs) && Watch(best);
}

void GameEngine::BeginRace(Mode startMode) {
    std::unique_ptr<RaceRules> given;
    if (guestRules && race.GetField())
        given = guestRules(*race.GetField());
    else if (trialRules && trialGuests)
        given = trialRules(race.GetTrack(), race.GetRecords(), race.RecordsKey(race.GetSeat(0).carIndex), *trialGuests);
    race.Begin(startMode, std::move(given));
    standingS = 0.0f;
}

void GameEngine::RaceAgain() {
    if (cars) race.RaceAgain(*cars);
    if (engineSound)
        for (std::size_t i = 0; i < seats.size(); ++i) engineSound->CarPlaced(static_cast<unsigned>(i));
    standingS = 0.0f;
}

std::optional<std::size_t> GameEngine::SeatOfKey(unsigned key, KeyBindings::Action action) const {
    for (std::size_t i = 0; i < seats.size(); ++i)
        if (race.GetSeat(i).player->ActionOf(handler, key) == action) return i;
    return std::nullopt;
}

std::optional<std::size_t> GameEngine::SeatMissingPad() const {
    if (seats.size() < 2) return std::nullopt;
    for (std::size_t i = 0; i < seats.size(); ++i)
        if (race.GetSeat(i).player->IsPadMissing()) return i;
    return std::nullopt;
}

unsigned GameEngine::GetNextCheckpoint() const {
    if (const RaceField* field = race.GetField()) return field->GetPlayer().nextCheckpoint;
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
    // Once every trial is decided the world stands still, the won cars with it.
    const bool standing = GetMode() == RaceMode::TimeTrial && !GetRules().IsWorldRunning();
    if (standing && running && IsUsableStep(dtS)) standingS += dtS;
    // Each player's own engine and tyres.
    std::vector<EngineSound::Drive> drives;
    for (std::size_t i = 0; i < seats.size(); ++i) {
        EngineSound::Drive drive = EngineSound::DriveOf(race.GetSeat(i).car, running);
        if (replay && i == 0) {
            drive = replay->SoundDrive(running);
        } else if (const TimeTrialRules* trial = Trial();
                   standing && trial && i < trial->GetPlayerCount() && trial->IsPerfect(i)) {
            // A won trial's car stands with the world, its read-back frozen: the engine winds down to idle instead.
            drive = EngineSound::WoundDown(drive, standingS);
        }
        drives.push_back(drive);
    }
    if (seats.size() == 1)
        engineSound->Update(drives.front(), dtS);
    else
        engineSound->Update(drives, dtS);
    if (const RaceField* field = race.GetField()) {
        // A replay stands the race still: the other cars' engines with it.
        std::vector<EngineSound::FieldEngine> others;
        if (!replay)
            for (const Racer& racer : field->GetRacers()) {
                if (racer.player || !racer.car->body) continue;
                const physics::DynamicObjectCar& body = *racer.car->body;
                // Heard by the nearest player.
                float nearestM = -1.0f;
                for (const Car* car : race.SeatCars())
                    if (car && car->body) {
                        const float m = vmath::length(body.GetPosition() - car->body->GetPosition());
                        if (nearestM < 0.0f || m < nearestM) nearestM = m;
                    }
                if (nearestM >= 0.0f)
                    others.push_back({body.GetEngineRpm(), racer.car->controlsEnabled ? racer.car->throttle : 0.0f,
                                      nearestM});
            }
        engineSound->UpdateField(others);
    }
}

std::vector<ViewRect> GameEngine::GetViewRects() const {
    std::vector<ViewRect> rects;
    for (const Seat& seat : seats) rects.push_back(seat.view->GetRect());
    return rects;
}

void GameEngine::RenderScene() {
    // The window's viewport, as its size message set it.
    GLint windowViewport[4];
    glGetIntegerv(GL_VIEWPORT, windowViewport);
    const ViewRect window{windowViewport[0], windowViewport[1], windowViewport[2], windowViewport[3]};
    const std::vector<ViewRect> rects = SplitLayout::Views(static_cast<unsigned>(seats.size()), window);
    const bool shared = seats.size() > 1;
    const QualityPreset::Settings settings = QualityPreset::For(quality);
    Camera& engineCamera = engine.GetCamera();
    const Camera firstCamera = engineCamera;
    for (std::size_t i = 0; i < seats.size(); ++i) {
        RaceView& view = *seats[i].view;
        view.SetRect(rects[i]);
        if (shared) {
            glViewport(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
            // The engine draws from its own camera: each view's in turn.
            if (i > 0) engineCamera = view.GetCamera();
        }
        const ViewProjection projection(view.FieldOfViewDeg(cameraSettings.VerticalFieldOfViewDeg()));
        DrawDistance::Cull(engine, settings.drawDistanceM, race.GetTrack().coarseCopies, settings.coarseBeyondM);
        // Far cars are drawn from their simplified looks, and at Low near ones as well.
        if (cars)
            cars->GetLevelOfDetail().Select(engineCamera.GetView().GetEye(), settings.carDetailDistanceScale,
                                            settings.nearCarLook);
        const bool scaled = scaledView.Begin(settings.renderScale);
        // Drawn straight into the window, the view's clear must spare the
        // others; a scaled view's own target is the view's size already.
        if (shared && !scaled) {
            glScissor(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
            glEnable(GL_SCISSOR_TEST);
        }
        engine.RenderScene();
        // See-through, so after everything it shows through.
        if (GhostRace* ghostRace = race.GetGhostRace(); ghostRace && !replay) ghostRace->Draw(*engine.GetRenderer(), engineCamera.GetView());
        if (trialGuests && !replay) trialGuests->Draw(*engine.GetRenderer(), engineCamera.GetView());
        if (shared) glDisable(GL_SCISSOR_TEST);
        if (scaled) scaledView.End();
    }
    if (shared) {
        engineCamera = firstCamera;
        glDisable(GL_SCISSOR_TEST);
        glViewport(window.x, window.y, window.width, window.height);
    }
}

void GameEngine::Step() {
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    // Back in its slot, the pad ends the notice; the players go on with P.
    if (!padNotice.empty() && !SeatMissingPad()) padNotice.clear();
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
    if (!race.Step(dtS, player.IsSpectator())) return;
    // Each view's chase camera behind its car as drawn.
    for (std::size_t i = 0; i < seats.size(); ++i) {
        const Race::Seat& seat = race.GetSeat(i);
        if (seat.car && seat.car->body)
            seat.car->UpdateCamera(seats[i].view->GetCamera(), seat.shown.data(), seat.car->body->GetLinearVelocity(),
                                   dtS);
    }
}

std::string GameEngine::FormatClock(double seconds) { return RaceClock::Format(seconds); }

const char* GameEngine::CountdownDigit(float countdownS) { return RaceHud::CountdownDigit(countdownS); }

RacePicture GameEngine::Picture(std::size_t seat) {
    RacePicture picture;
    const RaceField* field = race.GetField();
    picture.mode = GetMode();
    picture.rules = &race.GetRules();
    picture.track = &race.GetTrack();
    picture.car = race.GetSeat(seat).car;
    picture.field = field;
    picture.player = seat;
    picture.ghostRace = seats.size() == 1 ? race.GetGhostRace() : nullptr;
    picture.wrongWay = &race.GetSeat(seat).wrongWay;
    const TimeTrialRules* trial = Trial();
    if (field) {
        picture.nextCheckpoint = field->GetPlayer(seat).nextCheckpoint;
    } else if (trial && seat < trial->GetPlayerCount()) {
        picture.nextCheckpoint = trial->GetNextCheckpoint(seat);
        picture.remainingTime = trial->GetRemainingTime(seat);
        picture.result = &trial->GetResult(seat);
    }
    // Sharing the screen, the results are the whole window's.
    picture.endScreen = seats.size() == 1;
    if ((field || trialGuests) && (endKeys || endTable)) picture.table = &EndTable();
    if (!hudLines.empty()) picture.lines = &hudLines;
    if ((field || trialGuests) && !guests.empty()) picture.labels = GuestLabels(seat);
    if (trialGuests) picture.guestDots = trialGuests->MapDots();
    return picture;
}

void GameEngine::DrawHud() {
    GLint windowViewport[4];
    glGetIntegerv(GL_VIEWPORT, windowViewport);
    const ViewRect window{windowViewport[0], windowViewport[1], windowViewport[2], windowViewport[3]};
    const bool shared = seats.size() > 1;
    // The effect pass leaves depth testing, culling and textures on units 0
    // to 2 behind; the HUD draws over everything, untextured but for its dials.
    glPushAttrib(HudAttributes | GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
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
    endScreen.Clear(static_cast<float>(window.height));
    Renderer& renderer = *engine.GetRenderer();

    if (replay && !player.IsSpectator() && smallFont && messageFont) {
        const ScreenProjection screen;
        replay->DrawHud(engine, seats.front().view->GetHud().GetMinimap(), *smallFont, *messageFont,
                        screen.GetWidth(), screen.GetHeight());
    } else if (!player.IsSpectator()) {
        // Each view its own HUD, inside its own rectangle only.
        for (std::size_t i = 0; i < seats.size(); ++i) {
            const ViewRect& rect = seats[i].view->GetRect().IsEmpty() ? window : seats[i].view->GetRect();
            if (shared) {
                glViewport(rect.x, rect.y, rect.width, rect.height);
                glScissor(rect.x, rect.y, rect.width, rect.height);
                glEnable(GL_SCISSOR_TEST);
            }
            // A smaller view draws its dials and map smaller too.
            const ScreenProjection screen(seats[i].view->HudScale());
            seats[i].view->GetHud().Draw(engine, Picture(i), screen.GetWidth(), screen.GetHeight(),
                                         shared ? nullptr : &endScreen);
        }
        if (shared) {
            const ViewRect spare = SplitLayout::SpareQuarter(static_cast<unsigned>(seats.size()), window);
            if (!spare.IsEmpty()) DrawSpareQuarter(spare);
            glDisable(GL_SCISSOR_TEST);
            glViewport(window.x, window.y, window.width, window.height);
        }
    }

    const ScreenProjection screen;
    const float w = screen.GetWidth(), h = screen.GetHeight();
    if (shared && !replay && !player.IsSpectator()) DrawSharedEnd(w, h);
    if (displaySettings.showFrameRate && messageFont) frameRate.Draw(renderer.GetFontManager(), *messageFont, 10, 8);
    if (messageFont) options.Draw(renderer, *messageFont, frameStatistics, quality, w, h);
    if (GetRaceClock().IsPaused() && largeFont) {
        glColor3f(1.0f, 1.0f, 0.0f);
        renderer.GetFontManager().Print(*largeFont, w / 2 - 100, h / 2 + 190, "Paused");
        if (!padNotice.empty() && smallFont)
            renderer.GetFontManager().Print(*smallFont, w / 2 - 160, h / 2 + 140, padNotice);
    }
    if (notice && messageFont) notice->Draw(renderer, *messageFont);

    glPopAttrib();
}

void GameEngine::DrawSpareQuarter(const ViewRect& quarter) {
    glViewport(quarter.x, quarter.y, quarter.width, quarter.height);
    glScissor(quarter.x, quarter.y, quarter.width, quarter.height);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(0.08f, 0.1f, 0.12f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    const ScreenProjection screen;
    const float w = screen.GetWidth(), h = screen.GetHeight();
    RaceHud& hud = seats.front().view->GetHud();
    const RaceField* field = race.GetField();
    if (Car* car = race.GetSeat(0).car; car && car->body) {
        // Every car on the map: the first player's as the map's own marker, the others as dots.
        hud.GetMinimap().Draw(w, h, *car->body, nullptr,
                              field ? field->MapDots(0) : SeatDots());
    }
    if (!smallFont || !messageFont) return;
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    glColor3f(1.0f, 1.0f, 0.0f);
    float y = h - 50;
    if (field) {
        for (const ResultsTable::Row& row : field->Results()) {
            char line[96];
            std::snprintf(line, sizeof line, "%u  %s", row.position, row.name.c_str());
            if (row.player) glColor3f(1.0f, 1.0f, 1.0f); else glColor3f(1.0f, 1.0f, 0.0f);
            fonts.Print(*messageFont, 30, y, line);
            y -= 22;
        }
    } else if (const TimeTrialRules* trial = Trial()) {
        for (std::size_t i = 0; i < trial->GetPlayerCount(); ++i) {
            char line[96];
            std::snprintf(line, sizeof line, "Player %zu  checkpoint %u  %s", i + 1,
                          trial->GetNextCheckpoint(i) + 1, RaceClock::Format(trial->GetRemainingTime(i)).c_str());
            fonts.Print(*messageFont, 30, y, line);
            y -= 22;
        }
    }
}

std::vector<RacePicture::Label> GameEngine::GuestLabels(std::size_t seat) {
    std::vector<RacePicture::Label> labels;
    RaceView& view = *seats[seat].view;
    const ViewRect& rect = view.GetRect();
    // A Race's guests are in its field, a trial's beside it.
    std::vector<std::pair<const Car*, const std::string*>> named;
    if (const RaceField* field = race.GetField()) {
        for (const Racer& racer : field->GetRacers())
            if (std::any_of(guests.begin(), guests.end(), [&](const Guest& g) { return g.name == racer.name; }))
                named.push_back({racer.car, &racer.name});
    } else if (trialGuests) {
        for (std::size_t i = 0; i < trialGuests->GetCount(); ++i)
            if (trialGuests->IsSeen(i)) named.push_back({trialGuests->GetCar(i), &trialGuests->GetName(i)});
    }
    if (rect.IsEmpty() || named.empty()) return labels;
    const View& eye = view.GetCamera().GetView();
    const double fovDeg = view.FieldOfViewDeg(cameraSettings.VerticalFieldOfViewDeg());
    const double aspect = static_cast<double>(rect.width) / rect.height;
    for (const auto& [car, name] : named) {
        if (!car || !car->node) continue;
        // Over the roof as drawn this frame; the name goes once the car is far.
        const vmath::mat4<float>& frame = car->node->GetTransform().GetMatrix();
        const vmath::vec3<double> roof(frame[12], frame[13], frame[14] + LabelHeightM);
        if (vmath::length(roof - eye.GetEye()) > LabelReachM) continue;
        double x = 0.0, y = 0.0;
        if (eye.Project(roof, fovDeg, aspect, x, y) && x > 0.0 && x < 1.0 && y > 0.0 && y < 1.0)
            labels.push_back({static_cast<float>(x), static_cast<float>(y), *name});
    }
    return labels;
}

const ResultsTable::Table& GameEngine::EndTable() {
    if (endTable) return *endTable;
    // The results change while the others are still racing: made anew each frame.
    shownTable = ResultsTable::Table();
    if (const RaceField* field = race.GetField()) {
        shownTable.rows = field->Results();
    } else if (const TimeTrialRules* trial = Trial(); trial && trial->IsOver(0)) {
        // The player's own outcome until the others' come.
        ResultsTable::Row row;
        row.position = 1;
        row.name = race.PlayerName(0);
        row.car = CarPool::ShownName(race.GetSeat(0).carIndex);
        row.player = true;
        row.result = trial->IsPerfect(0) ? RaceClock::Format(trial->GetTakenS(0)) : "Time is up";
        shownTable.rows.push_back(row);
    }
    if (endKeys) shownTable.keys = *endKeys;
    return shownTable;
}

std::vector<MapDot> GameEngine::SeatDots() const {
    std::vector<MapDot> dots;
    for (std::size_t i = 1; i < seats.size(); ++i)
        if (const Car* car = race.GetSeat(i).car; car && car->body)
            dots.push_back({car->body->GetPosition(), Race::PlayerColour(i)});
    return dots;
}

void GameEngine::DrawSharedEnd(float w, float h) {
    if (!IsOver() || !messageFont || !smallFont) return;
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    if (const RaceField* field = race.GetField()) {
        if (endKeys || endTable)
            ResultsTable::Draw(fonts, *messageFont, EndTable(), w, h, &endScreen);
        else
            ResultsTable::Draw(fonts, *messageFont, field->Results(), w, h, &endScreen);
        return;
    }
    const TimeTrialRules* trial = Trial();
    if (!trial) return;
    // Every player's time, or that theirs ran out, then the keys.
    std::vector<ResultsTable::Row> rows;
    for (std::size_t i = 0; i < trial->GetPlayerCount(); ++i) {
        ResultsTable::Row row;
        row.position = static_cast<unsigned>(i + 1);
        row.name = "Player " + std::to_string(i + 1);
        row.car = CarPool::ShownName(race.GetSeat(i).carIndex);
        row.player = true;
        row.result = trial->IsPerfect(i) ? RaceClock::Format(trial->GetTakenS(i)) : "Time is up";
        if (trial->GetResult(i).IsNewRecord()) row.result += "  New record!";
        rows.push_back(row);
    }
    ResultsTable::Draw(fonts, *messageFont, rows, w, h, &endScreen);
}

void GameEngine::OnFocusLost(EventHandler&) {
    if (race.GetRules().CanPause()) race.GetRules().GetClock().Pause();
    // Called after the players heard it: a pad of theirs that went is missing now.
    if (const std::optional<std::size_t> seat = SeatMissingPad())
        padNotice = "Player " + std::to_string(*seat + 1) + ": pad unplugged";
}

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
    if (!replay || GetMode() == RaceMode::Replay) return false;
    replay.reset();
    return true;
}

void GameEngine::ToggleGhost() {
    GhostRace* ghostRace = race.GetGhostRace();
    const bool shown = !(ghostRace ? ghostRace->IsShown() : GhostRace::ReadShown(settings));
    if (ghostRace) ghostRace->SetShown(shown);
    GhostRace::KeepShown(settings, shown);
    options.SetMessage(shown ? "Ghost: On [G]" : "Ghost: Off [G]");
}

void GameEngine::OnKey(EventHandler&, unsigned key, int state) {
    if (replay && replay->OnKey(key, state, player.IsSpectator())) return;
    const bool alone = seats.size() == 1;
    if (state == 0 && alone && key == GameKeys::Watch && IsOver() && !replay && race.GetGhostRace()) {
        Watch(race.GetGhostRace()->GetRun());
        return;
    }
    if (state == 0 && alone && key == GameKeys::Ghost) {
        ToggleGhost();
        return;
    }
    if (state == 0 && key == VK_RETURN && IsOver() && !replay && !endKeys) {
        RaceAgain();
        return;
    }
    if (state == 0 && SeatOfKey(key, KeyBindings::Pause)) {
        // The race waits for a player whose pad is away.
        if (race.GetRules().CanPause() && (!GetRaceClock().IsPaused() || !SeatMissingPad()))
            race.GetRules().GetClock().TogglePause();
        return;
    }
    if (const std::optional<std::size_t> seat = SeatOfKey(key, KeyBindings::Recover); seat && state == 0) {
        // The spectator's world stands still.
        if (!player.IsSpectator() && race.Recover(*seat) && engineSound)
            engineSound->CarPlaced(static_cast<unsigned>(*seat));
        return;
    }
    if (state == 0) options.OnKey(*engine.GetRenderer(), key);
}
