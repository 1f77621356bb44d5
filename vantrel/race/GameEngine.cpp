#include "GameEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <iterator>

#include <GL/glew.h>

#include <lumora/OglEffectPass.h>
#include <lumora/OglRenderer.h>
#include <lumora/OglStateManager.h>
#include <nodara/Font.h>
#include <nodara/Geometry.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include <nodara/Mesh.h>
#include <nodara/MeshNode.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/Perspective.h>
#include <nodara/StateManager.h>

#include "cars/Car.h"
#include "CarRecovery.h"
#include "ViewProjection.h"
#include "GhostRace.h"
#include "Replay.h"
#include "RaceField.h"
#include "EngineSound.h"
#include "track/DrawDistance.h"
#include "track/SceneryBatches.h"
#include "hud/ResultsTable.h"
#include "hud/HudNotice.h"
#include "hud/ScreenProjection.h"
#include "track/TerrainTiles.h"
#include "track/TrackList.h"
#include "physics/DynamicObjectCar.h"
#include "physics/World.h"
#include "platform/WindowMessage.h"

namespace {

// The light hangs high above the track's middle and sees all of it.
const Perspective LightProjection(65.0, 1.0, 100.0, 5000.0);
const double Pi = 3.14159265358979323846;

// glPushAttrib mask of the HUD: viewport, depth buffer and lighting among
// others (the value of GL_LIGHTING used as a mask).
const GLbitfield HudAttributes = 0x0B50;

// Names of the renderer's settings by value, for the messages and the panel.
const char* const RenderModeNames[] = {"VertexBufferObjects", "Immediate", "DisplayLists"};
const char* const PolygonModeNames[] = {"Fill", "Wireframe"};
const char* const TextureFilterNames[] = {"Nearest", "Nearest Bilinear", "Nearest Trilinear",
                                          "Linear",  "Bilinear",         "Trilinear"};
const char* const AnisotropicFilterNames[] = {"Off", "2x", "4x", "8x", "16x"};

template <std::size_t N>
const char* NameOf(const char* const (&names)[N], int value) {
    return value >= 0 && static_cast<std::size_t>(value) < N ? names[value] : "?";
}

// A cycle time the race acts on: below a second, and a number.
bool IsUsableStep(float dtS) { return dtS < 1.0f; }

}  // namespace

GameEngine::GameEngine(EventHandler& handler, RecordsStore* records) : handler(handler), records(records) {
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
    ghostRace.reset();
    player.SetCar(nullptr);
    field.reset();
    // The cars' bodies live in the world: they go back to it before it goes.
    cars.reset();
    track.checkpoints.clear();
    track.coarseCopies.clear();
    world.reset();
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
    cars.reset(new CarPool(engine, world.get()));
    return frameStatistics.font && messageFont && smallFont && largeFont;
}

const TrackDescription::Way* GameEngine::ChooseWay() {
    if (!description.IsLoaded()) {
        TrackList list;
        if (list.Load() == 0) {
            std::cout << "[ERROR] GameEngine: no track found in " << TrackList::DataFolder << std::endl;
            return nullptr;
        }
        description = list.GetTracks().front();
        direction = description.GetWays().front().direction;
    }
    const TrackDescription::Way* found = description.FindWay(direction);
    if (!found)
        std::cout << "[ERROR] GameEngine: " << description.GetFile() << " has no "
                  << TrackDescription::DirectionName(direction) << " way" << std::endl;
    return found;
}

std::string GameEngine::RecordsKey() const { return description.RecordsKey(direction, CarPool::NodeNames[carIndex]); }

std::string GameEngine::GhostKey() const { return description.GhostKey(direction); }

bool GameEngine::PlaceAtStart(Car& car) {
    const double heading = way.startHeadingDeg * Pi / 180.0;
    return world && CarRecovery::PlaceAt(car, *world, way.startX, way.startY,
                                         vmath::vec2<double>(-std::sin(heading), std::cos(heading)));
}

bool GameEngine::Fail(const std::string& why) {
    const std::string name = description.IsLoaded() ? description.GetName() : std::string("The track");
    startFailure = name + " cannot be raced: " + why;
    std::cout << "[ERROR] GameEngine: " << startFailure << std::endl;
    return false;
}

bool GameEngine::Start(unsigned carIndex, Mode startMode) {
    startFailure.clear();
    if (!world || !cars) return Fail("the race did not initialise");
    const TrackDescription::Way* chosen = ChooseWay();
    if (!chosen) {
        startFailure = description.IsLoaded() ? description.GetName() + " cannot be raced: it has no " +
                                                     TrackDescription::DirectionName(direction) + " way"
                                               : "No track found in " + std::string(TrackList::DataFolder);
        return false;
    }
    way = *chosen;
    Model* skyDome = engine.LoadModel(description.GetSkyFile());
    if (!skyDome) return Fail("its sky did not load");
    Model* trackModel = engine.LoadModel(description.GetModelFile());
    if (!trackModel) return Fail("its model did not load");
    if (!LoadTrack(trackModel)) return Fail("its model has no terrain");

    // Without a car there is nothing to drive, to follow or to draw the
    // instruments of: the race does not start.
    cars->SetSpeedUnit(displaySettings.speedUnit);
    Car* car = cars->GetCar(carIndex);
    if (!car) return Fail("the car could not be made");
    cameraSettings.ApplyTo(*car);
    player.SetCamera(&engine.GetCamera());
    player.SetCar(car);
    this->carIndex = carIndex;
    // The track's light, looking at the middle of its road.
    Light& light = engine.GetScene().GetLight();
    const vmath::vec3<float>& lightAt = description.GetLightPosition();
    light.SetPosition(vmath::vec4<float>(lightAt.x, lightAt.y, lightAt.z, 1.0f));
    const vmath::vec2<double> low = track.road.GetMin(), high = track.road.GetMax();
    light.SetSpotDirection(vmath::vec3<float>(static_cast<float>((low.x + high.x) / 2),
                                              static_cast<float>((low.y + high.y) / 2), 0.0f));
    const vmath::vec3<float>& colour = description.GetLightColour();
    light.SetDiffuse(vmath::vec4<float>(colour.x, colour.y, colour.z, 1.0f));
    light.SetSpecular(vmath::vec4<float>(colour.x, colour.y, colour.z, 1.0f));
    // A Race's cars stand on the grid; the others start on the start line.
    if (startMode != Race && startMode != RaceMode::Replay && !PlaceAtStart(*car))
        return Fail("its start lies off its ground");

    if (OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer())) {
        std::unique_ptr<OglEffectPass> pass(new OglEffectPass(*renderer));
        QualityPreset::Apply(quality, *pass, LightProjection);
        if (!pass->Initialize(LightProjection)) return Fail("the effects did not initialise");
        std::vector<GroupNode*> sky;
        ModelNode* skyNode = skyDome->GetModelNode();
        for (unsigned i = 0; i < skyNode->GetChildCount(); ++i)
            if (GroupNode* group = dynamic_cast<GroupNode*>(skyNode->GetChild(i))) {
                sky.push_back(group);
                pass->AddGroup(OglEffectPass::Environment, *group);
            }
        // Lit per vertex, the ground and the car cost a software rasteriser far less.
        const QualityPreset::Settings settings = QualityPreset::For(quality);
        const auto lit = [](bool perPixel) { return perPixel ? OglEffectPass::PerPixelLighting : OglEffectPass::Standard; };
        ModelNode* trackNode = track.model->GetModelNode();
        for (unsigned i = 0; i < trackNode->GetChildCount(); ++i)
            if (GroupNode* group = dynamic_cast<GroupNode*>(trackNode->GetChild(i))) {
                pass->AddGroup(lit(settings.perPixelTrack), *group);
                pass->AddGroup(OglEffectPass::Environment, *group);
            }
        for (const CoarseCopy& pair : track.coarseCopies) pass->AddStandIn(*pair.fine, *pair.coarse);
        pass->AddGroup(lit(settings.perPixelCar), *car->node);
        pass->AddGroup(OglEffectPass::Reflections, *car->node);
        // Last of its list, behind all: where the ground or the car already
        // stands the depth test spares a software rasteriser the sky's texels
        // (at Low, where everything is in that list).
        for (GroupNode* group : sky) pass->AddGroup(OglEffectPass::Standard, *group);
        effectPass = pass.get();
        engine.AddPass(*pass.release());
    }
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
    const double halfWidthM = description.GetRoadHalfWidthM();
    if (track.road.IsEmpty() || !racingLine.Compute(track.road, halfWidthM)) return false;
    std::vector<double> gates;
    for (const Track::Checkpoint& checkpoint : track.checkpoints)
        gates.push_back(track.road.Project(checkpoint.x, checkpoint.y));
    field.reset(new RaceField(*cars, *world, track.road, racingLine, halfWidthM));
    if (!field->Start(car, carIndex, player, opponentCount, opponentSkill, gates)) return false;
    // The opponents are lit, shadowed and reflected as the preset does the player's car.
    if (effectPass) {
        const QualityPreset::Settings settings = QualityPreset::For(quality);
        for (const Racer& racer : field->GetRacers())
            if (!racer.player) {
                effectPass->AddGroup(settings.perPixelCar ? OglEffectPass::PerPixelLighting : OglEffectPass::Standard,
                                     *racer.car->node);
                effectPass->AddGroup(OglEffectPass::Reflections, *racer.car->node);
            }
    }
    return true;
}

bool GameEngine::LoadTrack(Model* model) {
    if (!model) return false;
    Node& top = *model->GetModelNode();
    GroupNode* frame = dynamic_cast<GroupNode*>(Node::Search(top, "Terrain"));
    if (frame) track.terrainMatrix = frame->GetTransform().GetMatrix();
    MeshNode* meshNode = dynamic_cast<MeshNode*>(Node::Search(top, "Terrain-mesh"));
    if (!meshNode) return false;
    track.model = model;
    track.checkpoints = way.checkpoints;
    // Read and checked with the description; reversed, the loop runs the other way from the same start line.
    track.road = description.RoadFor(direction);
    minimap.SetRoad(track.road);

    const Mesh& mesh = meshNode->GetMesh();
    std::vector<unsigned int> indices;
    for (unsigned i = 0; i < mesh.GetGeometryCount(); ++i) {
        const std::vector<unsigned int>& part = mesh.GetGeometry(i)->GetVertexIndices();
        indices.insert(indices.end(), part.begin(), part.end());
    }
    // NOTE: a terrain the physics refuses (no triangle, a bad index) leaves the
    // car to fall; the data checks keep such a track out of the game.
    world->AddStaticMesh(mesh.GetVertexArray(), indices, track.terrainMatrix.ptr());

    // Drawn whole, the ground would cost every view all of its triangles;
    // drawn one by one, the scenery would cost a draw per tree.
    OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer());
    if (!renderer) return true;
    const QualityPreset::Settings settings = QualityPreset::For(quality);
    if (frame)
        if (Mesh* tiles = TerrainTiles::Split(*model, *frame, *meshNode, settings.groundTileM)) {
            // Beyond a draw distance the hills are drawn coarse rather than not at all.
            if (settings.coarseFarGround)
                track.coarseCopies = TerrainTiles::AddCoarseCopies(*frame, *tiles, settings.coarseErrorM);
            renderer->DeleteRessources(const_cast<Mesh&>(mesh));
            renderer->GenerateRessources(*tiles);
        }
    for (unsigned i = 0; i < top.GetChildCount(); ++i) {
        GroupNode* group = dynamic_cast<GroupNode*>(top.GetChild(i));
        if (group && group != frame)
            if (Mesh* batches = SceneryBatches::Merge(*model, *group)) {
                if (settings.coarseFarScenery)
                    for (const CoarseCopy& pair : SceneryBatches::AddCoarseCopies(*group, *batches, settings.coarseErrorM))
                        track.coarseCopies.push_back(pair);
                renderer->GenerateRessources(*batches);
            }
    }
    return true;
}

void GameEngine::BeginRace(Mode startMode) {
    // The game always has checkpoints, but a track without any leaves the
    // clock alone rather than reading past the end.
    if (nextCheckpoint < track.checkpoints.size()) remainingTime = track.checkpoints[nextCheckpoint].time;
    countdown = CountdownS;
    mode = startMode;
    goTime = GoS;
    standingS = 0.0f;
    raceClock.Start();
    result.Clear();
    if (ghostRace && player.GetCar()) ghostRace->Restart(*player.GetCar());
}

void GameEngine::RaceAgain() {
    // The track and the car stay loaded: the car only needs a new body at the start.
    if (cars && cars->ResetCar(carIndex) && !field)
        if (Car* car = cars->GetCar(carIndex)) PlaceAtStart(*car);
    CarPlaced();
    nextCheckpoint = 0;
    if (field) field->Restart();
    BeginRace(mode);
}

void GameEngine::CarPlaced() {
    wrongWay.Reset();
    player.CarPlaced();
    if (engineSound) engineSound->CarPlaced();
}

void GameEngine::Frame() {
    UpdatePlayer();
    Update();
    FeedEngineSound();
    frameStatistics.Step();
    RenderScene();
    DrawHud();
}

void GameEngine::FeedEngineSound() {
    if (!engineSound) return;
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    const bool running = !raceClock.IsPaused() && !player.IsSpectator();
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

void GameEngine::UpdatePlayer() {
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    if (!IsUsableStep(dtS) || raceClock.IsPaused()) return;
    if (replay) {
        // The recording drives; only the spectator's camera is the player's.
        if (player.IsSpectator()) player.Update(dtS);
        return;
    }
    player.Update(dtS);
    Car* car = player.GetCar();
    if (mode == FreeDrive) {
        if (car) car->controlsEnabled = true;
    } else {
        countdown -= dtS;
        // Once the trial is over (time up) or the player home, the car only brakes.
        if (car) car->controlsEnabled = countdown < 0.0f && !IsOver();
    }
    if (field) field->Drive(dtS, countdown < 0.0f);
}

void GameEngine::Update() {
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    if (replay) {
        // Watched from the spectator's camera too: the run goes on meanwhile.
        if (IsUsableStep(dtS) && !raceClock.IsPaused()) replay->Update(dtS, !player.IsSpectator());
        return;
    }
    if (!IsUsableStep(dtS) || player.IsSpectator() || raceClock.IsPaused()) return;
    // A Race runs on after the player is home, until every car is.
    const bool racing = field ? !field->IsEveryoneFinished() : nextCheckpoint < track.checkpoints.size();
    Car* car = player.GetCar();
    if (racing && world) {
        world->Step(dtS);
        if (car) {
            car->UpdateNodes(dtS);
            car->UpdateCamera(engine.GetCamera(), dtS);
            if (car->body) wrongWay.Update(track.road, car->body->GetPosition(), car->body->GetLinearVelocity(), dtS);
            if (ghostRace) ghostRace->Frame(*car, dtS, mode == FreeDrive || countdown < 0.0f, IsOver());
        }
    }
    if (field) {
        const bool released = countdown < 0.0f;
        if (released && !field->IsPlayerFinished()) raceClock.Elapse(dtS);
        if (racing) field->Update(dtS, raceClock.GetTakenS(), released);
        return;
    }
    if (racing && remainingTime > 0.0 && mode == TimeTrial && car && car->body)
        TestCheckpoint(car->body->GetPosition(), dtS);
}

void GameEngine::TestCheckpoint(const vmath::vec3<float>& position, float dtS) {
    if (nextCheckpoint >= track.checkpoints.size()) return;
    if (countdown < 0.0f) raceClock.Elapse(dtS);
    const Track::Checkpoint& next = track.checkpoints[nextCheckpoint];
    if (std::fabs(next.x - position.x) < CheckpointReach && std::fabs(next.y - position.y) < CheckpointReach) {
        ++nextCheckpoint;
        if (nextCheckpoint < track.checkpoints.size()) {
            remainingTime += track.checkpoints[nextCheckpoint].time;
            if (ghostRace) ghostRace->CheckpointPassed(nextCheckpoint - 1);
        } else {
            result.Finish(records, RecordsKey(), raceClock.GetTakenS());
            if (ghostRace) ghostRace->TrialWon(carIndex, result.GetTakenMs(), result.IsNewRecord());
        }
        return;
    }
    remainingTime -= dtS;
    if (remainingTime < 0.0) remainingTime = 0.0;
}

bool GameEngine::IsOver() const {
    if (field) return field->IsPlayerFinished();
    return mode == TimeTrial && !track.checkpoints.empty() && (remainingTime <= 0.0 || IsPerfect());
}

bool GameEngine::IsPerfect() const {
    return !track.checkpoints.empty() && nextCheckpoint == track.checkpoints.size() && remainingTime > 0.0;
}

std::string GameEngine::FormatClock(double seconds) { return RaceClock::Format(seconds); }

const char* GameEngine::CountdownDigit(float countdownS) {
    if (countdownS < 0.0f || countdownS >= 3.0f) return nullptr;
    if (countdownS >= 2.0f) return "3";
    if (countdownS >= 1.0f) return "2";
    return "1";
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
    const float dtS = static_cast<float>(frameStatistics.cycleTime);
    endScreen.Clear(h);
    frameRate.Step(dtS);
    if (displaySettings.showFrameRate && messageFont)
        frameRate.Draw(engine.GetRenderer()->GetFontManager(), *messageFont, 10, 8);

    if (replay && !player.IsSpectator() && smallFont && messageFont) {
        replay->DrawHud(engine, minimap, *smallFont, *messageFont, w, h);
    } else if (!player.IsSpectator()) {
        Car* car = player.GetCar();
        const unsigned next = field ? field->GetPlayer().nextCheckpoint : nextCheckpoint;
        const bool checkpointAhead = mode != FreeDrive && next < track.checkpoints.size();
        if (car && car->body)
            minimap.Draw(w, h, *car->body, checkpointAhead ? &track.checkpoints[next] : nullptr,
                         field ? field->MapDots() : ghostRace ? ghostRace->MapDots() : std::vector<MapDot>());
        if (mode != FreeDrive) DrawRaceLines(w, h, dtS);
        if (car) car->DrawInstruments(engine, w);
    }

    messageAge += dtS;
    if (messageAge < 4.0f && messageFont) {
        glColor4f(0.9f, 0.9f, 0.9f, 1.0f - 0.25f * messageAge);
        engine.GetRenderer()->GetFontManager().Print(*messageFont, 50.0f, 50.0f, message);
    }
    if (showOptions) DrawOptions(w, h);
    if (raceClock.IsPaused() && largeFont) {
        glColor3f(1.0f, 1.0f, 0.0f);
        engine.GetRenderer()->GetFontManager().Print(*largeFont, w / 2 - 100, h / 2 + 190, "Paused");
    }
    if (notice && messageFont) notice->Draw(*engine.GetRenderer(), *messageFont);

    glPopAttrib();
}

void GameEngine::DrawRaceLines(float w, float h, float dtS) {
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    if (!smallFont || !largeFont) return;
    // The Time Trial's clock runs from the start, countdown included, and
    // shows it; a Race has no clock to beat, only the time taken.
    glColor3f(1.0f, 1.0f, 0.0f);
    fonts.Print(*smallFont, w / 2 - 50, h - 50, FormatClock(field ? raceClock.GetTakenS() : remainingTime));
    if (field) DrawFieldLines(w, h);
    if (countdown >= 0.0f) {
        glColor4f(1.0f, 0.8f, 0.0f, 1.0f);
        if (const char* digit = CountdownDigit(countdown)) fonts.Print(*largeFont, w / 2 - 20, h / 2 + 100, digit);
        return;
    }
    if (!raceClock.IsPaused()) goTime -= dtS;
    if (goTime > 0.0f) {
        glColor4f(1.0f, 0.8f, 0.0f, goTime * 0.5f);
        fonts.Print(*largeFont, w / 2 - 30, h / 2 + 100, "Go!");
    }
    if (field) return;
    glColor3f(1.0f, 1.0f, 0.0f);
    char line[64];
    Car* car = player.GetCar();
    if (nextCheckpoint < track.checkpoints.size() && car && car->body) {
        const Track::Checkpoint& next = track.checkpoints[nextCheckpoint];
        const vmath::vec3<float> p = car->body->GetPosition();
        std::snprintf(line, sizeof line, "Checkpoint: %d  (%.0f m)", static_cast<int>(nextCheckpoint) + 1,
                      std::hypot(next.x - p.x, next.y - p.y));
    } else {
        std::snprintf(line, sizeof line, "Checkpoint: %d", static_cast<int>(nextCheckpoint) + 1);
    }
    fonts.Print(*smallFont, 30, h - 50, line);
    wrongWay.Draw(fonts, *largeFont, w, h);
    if (remainingTime <= 0.0) {
        fonts.Print(*largeFont, w / 2 - 130, h / 2, "Time is up !");
    } else if (nextCheckpoint == track.checkpoints.size()) {
        fonts.Print(*largeFont, w / 2 - 100, h / 2, "Perfect !");
    }
    if (ghostRace && messageFont) ghostRace->DrawLines(fonts, *smallFont, *messageFont, w, h);
    if (IsOver()) result.Draw(fonts, *smallFont, w, h, &endScreen);
}

void GameEngine::DrawFieldLines(float w, float h) {
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    const double nowS = raceClock.GetTakenS();
    glColor3f(1.0f, 1.0f, 0.0f);
    fonts.Print(*smallFont, 30, h - 50, field->PositionLine());
    if (messageFont) {
        fonts.Print(*messageFont, 30, h - 80, field->GapAheadLine(nowS));
        fonts.Print(*messageFont, 30, h - 102, field->GapBehindLine(nowS));
    }
    wrongWay.Draw(fonts, *largeFont, w, h);
    if (field->IsPlayerFinished()) ResultsTable::Draw(fonts, *messageFont, field->Results(), w, h, &endScreen);
}

void GameEngine::DrawOptions(float w, float h) {
    glColor4f(0.2f, 0.2f, 0.8f, 0.6f);
    glBegin(GL_QUADS);
    glVertex3f(50.0f, 400.0f, -0.5f);
    glVertex3f(w - 50.0f, 400.0f, -0.5f);
    glVertex3f(w - 50.0f, h - 50.0f, -0.5f);
    glVertex3f(50.0f, h - 50.0f, -0.5f);
    glEnd();
    frameStatistics.DrawFrameRateLine(h);
    if (!messageFont) return;
    Renderer& renderer = *engine.GetRenderer();
    StateManager& states = renderer.GetStateManager();
    Renderer::FontManager& fonts = renderer.GetFontManager();
    char line[128];
    glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
    std::snprintf(line, sizeof line, "RenderMode: %s [F6]", NameOf(RenderModeNames, renderer.GetRenderMode()));
    fonts.Print(*messageFont, 70, h - 100, line);
    std::snprintf(line, sizeof line, "PolygonMode: %s [F3]", NameOf(PolygonModeNames, renderer.GetPolygonMode()));
    fonts.Print(*messageFont, 70, h - 120, line);
    std::snprintf(line, sizeof line, "Texture filtering: %s [F4]",
                  NameOf(TextureFilterNames, states.GetTextureFilter()));
    fonts.Print(*messageFont, 70, h - 140, line);
    // The degree in force: the renderer may take less than the setting asks.
    const int filter = states.GetAnisotropicFilter();
    const int filterCount = static_cast<int>(std::size(OglStateManager::AnisotropicFilters));
    int degree = filter >= 0 && filter < filterCount ? OglStateManager::AnisotropicFilters[filter] : 1;
    if (auto* oglStates = dynamic_cast<OglStateManager*>(&states))
        degree = std::min(degree, std::max(1, oglStates->SupportedAnisotropy()));
    if (degree > 1)
        std::snprintf(line, sizeof line, "Anisotropic filtering: %dx [F5]", degree);
    else
        std::snprintf(line, sizeof line, "Anisotropic filtering: Off [F5]");
    fonts.Print(*messageFont, 70, h - 160, line);
    fonts.Print(*messageFont, 70, h - 180,
                renderer.GetRenderTransparency() ? "Render Transparencies: On [F9]" : "Render Transparencies: Off [F9]");
    std::snprintf(line, sizeof line, "Graphics: %s (in the show room)", QualityPreset::Name(quality));
    fonts.Print(*messageFont, 70, h - 200, line);
}

void GameEngine::SetMessage(const std::string& text) {
    message = text.substr(0, 255);
    messageAge = 0.0f;
}

void GameEngine::OnFocusLost(EventHandler&) { raceClock.Pause(); }

void GameEngine::OnMouse(EventHandler& events, int x, int y, int button, int state) {
    const int pressed = endScreen.OnMouse(x, y, button, state);
    if (pressed == ClickAreas::None) return;
    // As the key itself: Escape deletes this race, so nothing of it is
    // touched from here on.
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
    SetMessage(shown ? "Ghost: On [G]" : "Ghost: Off [G]");
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
        raceClock.TogglePause();
        return;
    }
    if (key == player.GetKeyBindings().KeyOf(KeyBindings::Recover) && state == 0) {
        Car* car = player.GetCar();
        // A paused world must not move, and a recovery then would be free.
        if (car && car->controlsEnabled && !IsOver() && !raceClock.IsPaused() && !player.IsSpectator() && world &&
            CarRecovery::Recover(*car, *world, track.road))
            CarPlaced();
        return;
    }
    if (state != 0 || key < VK_F1 || key > VK_F1 + 8) return;
    Renderer& renderer = *engine.GetRenderer();
    StateManager& states = renderer.GetStateManager();
    switch (key - VK_F1 + 1) {
    case 1:
        showOptions = !showOptions;
        messageAge = 4.0f;
        break;
    case 3: {
        const int mode = (renderer.GetPolygonMode() + 1) % 2;
        renderer.SetPolygonMode(static_cast<Renderer::PolygonMode>(mode));
        SetMessage(std::string("PolygonMode: ") + NameOf(PolygonModeNames, mode));
        break;
    }
    case 4: {
        const int filter = (states.GetTextureFilter() + 1) % 6;
        states.SetTextureFilter(static_cast<StateManager::TextureFilter>(filter));
        SetMessage(std::string("Texture filtering: ") + NameOf(TextureFilterNames, filter));
        break;
    }
    case 5: {
        const int filter = (states.GetAnisotropicFilter() + 1) % 5;
        states.SetAnisotropicFilter(static_cast<StateManager::AnisotropicFilter>(filter));
        SetMessage(std::string("Anisotropic filtering: ") + NameOf(AnisotropicFilterNames, filter));
        break;
    }
    case 6: {
        const int mode = (renderer.GetRenderMode() + 1) % 3;
        renderer.SetRenderMode(static_cast<Renderer::RenderMode>(mode));
        SetMessage(std::string("RenderMode: ") + NameOf(RenderModeNames, mode));
        break;
    }
    case 9: {
        const bool transparency = !renderer.GetRenderTransparency();
        renderer.SetRenderTransparency(transparency);
        SetMessage(transparency ? "Render Transparencies: On" : "Render Transparencies: Off");
        break;
    }
    default: break;  // F2, F7 and F8 are free
    }
}
