#include "ShowRoom.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <iostream>

#include <GL/glew.h>

#include <lumora/OglEffectPass.h>
#include <lumora/OglRenderer.h>
#include <nodara/Font.h>
#include <nodara/GroupNode.h>
#include <nodara/Light.h>
#include <nodara/Model.h>
#include <nodara/ModelNode.h>
#include <nodara/View.h>

#include "cars/CarPool.h"
#include "graphics/ImageTexture.h"
#include "input/KeySets.h"
#include "storage/SettingsStore.h"
#include "hud/HudNotice.h"
#include "race/GhostRace.h"
#include "race/RaceClock.h"
#include "race/TrackSettings.h"
#include "track/TrackList.h"
#include "hud/ScreenProjection.h"
#include "platform/WindowMessage.h"
#include "storage/RecordsStore.h"

const char* const ShowRoom::MenuEntries[EntryCount] = {
    "Free Drive", "Time Trial", "Race", "Championship", "Online", "Track: ", "Opponents: ", "Players: ", "Graphics: ",
    "Options", "Exit Game"};
const char* const ShowRoom::QuitQuestion = "Quit? Return: yes  Escape: no";
const char* const ShowRoom::WatchHint = "   W: watch";
const char* const ShowRoom::RoomFile = "../data/models/ShowRoom/ShowRoom.dae";
const char* const ShowRoom::SignFile = "../data/models/ShowRoom/Sign-Vantrel.jpg";
// The light hangs just above the turntable, so a narrow depth range suffices.
const Perspective ShowRoom::LightProjection(85.0, 1.0, 1.0, 20.0);

namespace {

const char* const PlayersSection = "race";
const char* const PlayersKey = "players";

// A car's name as the join step shows it; the game's car list holds the text.
const char* CarName(unsigned index) {
    return index < CarPool::Count() ? CarPool::ShownName(index).c_str() : "?";
}

// Where each car stands on the turntable, in the room's coordinates.
const vmath::vec3<float> TurntablePlacement(1.68f, 3.63f, -2.1f);

// glPushAttrib mask of the overlay: viewport, depth buffer and lighting
// among others (the value of GL_LIGHTING used as a mask).
const GLbitfield OverlayAttributes = 0x0B50;

void Report(const char* level, const std::string& message) {
    std::cout << "[" << level << "] ShowRoom: " << message << std::endl;
}

}  // namespace

ShowRoom::ShowRoom(EventHandler& handler, RecordsStore* records) : handler(handler), records(records) {
    handler.AddListener(EventHandler::KeyEvent, this);
    handler.AddListener(EventHandler::MouseEvent, this);
}

ShowRoom::~ShowRoom() {
    handler.RemoveListener(EventHandler::KeyEvent, this);
    handler.RemoveListener(EventHandler::MouseEvent, this);
    cars.reset();
    displayNode.reset();
    if (signTexture != 0 && glIsTexture(signTexture)) glDeleteTextures(1, &signTexture);
    pendingEffectPass.reset();
    // The engine goes last, as a member: it deletes the effect pass and the models.
}

bool ShowRoom::Initialize() {
    // A second set of effect pass, car pool and sign would replace the first
    // under the feet of a loaded room; the application never asks for one.
    if (initializeCalled) {
        Report("ERROR", "Initialize was already called, the show room is left as it was");
        return false;
    }
    initializeCalled = true;
    if (!engine.Initialize()) {
        Report("ERROR", "the graphics engine did not initialise");
        return false;
    }
    bool ok = false;
    if (OglRenderer* renderer = dynamic_cast<OglRenderer*>(engine.GetRenderer())) {
        pendingEffectPass.reset(new OglEffectPass(*renderer));
        effectPass = pendingEffectPass.get();
        QualityPreset::Apply(quality, *effectPass, LightProjection);
        ok = effectPass->Initialize(LightProjection);
        if (!ok) Report("ERROR", "the effect pass did not initialise");
    } else {
        Report("ERROR", "the engine's renderer is not an OpenGL renderer");
    }

    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    menuFont = fonts.Generate("Arial", 30);
    frameStatistics.font = fonts.Generate("Arial", 18);
    frameStatistics.engine = &engine;
    cars.reset(new CarPool(engine));

    signTexture = LoadImageTexture(SignFile);
    if (signTexture == 0) {
        Report("ERROR", std::string("the sign \"") + SignFile + "\" did not load");
        return false;
    }
    if (!menuFont || !frameStatistics.font) {
        Report("ERROR", "no font for the menu");
        return false;
    }
    return ok;
}

bool ShowRoom::Load() {
    Model* room = engine.LoadModel(RoomFile);
    bool anyCar = false;
    for (unsigned i = 0; i < CarPool::Count(); ++i) {
        Car* car = cars ? cars->GetCar(i) : nullptr;
        carLoaded[i] = car != nullptr;
        if (car) {
            footprints[i] = ContactShadow::FootprintOf(*car->node);
            carBoxes[i] = ContactShadow::BoxOf(*car->node);
            car->node->GetTransform().Translate(TurntablePlacement);
            anyCar = true;
        } else {
            Report("WARN", "car \"" + CarPool::Describe(i).GetModelFile() + "\" did not load and cannot be chosen");
        }
    }
    if (!room) {
        Report("ERROR", std::string("the room \"") + RoomFile + "\" did not load");
        return false;
    }
    if (!anyCar || !effectPass) {
        if (!anyCar) Report("ERROR", "no car loaded, there is nothing to show");
        return false;
    }
    // Start on the first car that loaded.
    if (!carLoaded[carIndex]) carIndex = NextLoadedCar(1);
    FindBestRuns();

    ModelNode* roomNode = room->GetModelNode();
    for (unsigned i = 0; i < roomNode->GetChildCount(); ++i) {
        if (GroupNode* group = dynamic_cast<GroupNode*>(roomNode->GetChild(i))) {
            // Boxed, the room bounds where the car's shadow can fall.
            const BoundingBox box = ContactShadow::BoxOf(*group);
            if (!group->GetBoundingVolume() && box.GetMaximum().x >= box.GetMinimum().x)
                group->SetBoundingVolume(*new BoundingBox(box));
            effectPass->AddGroup(OglEffectPass::Shadows, *group);
            effectPass->AddGroup(OglEffectPass::Environment, *group);
            roomGroups.push_back(group);
        }
    }
    displayNode.reset(new GroupNode);
    PutCurrentCarOnStand();
    effectPass->AddGroup(OglEffectPass::Shadows, *displayNode);
    effectPass->AddGroup(OglEffectPass::Reflections, *displayNode);
    engine.AddPass(*pendingEffectPass.release());

    Light& light = engine.GetScene().GetLight();
    light.SetPosition(vmath::vec4<float>(0.0f, -2.0f, 2.5f, 1.0f));
    light.SetSpotDirection(vmath::vec3<float>(0.0f, 3.63f, 0.0f));
    View& view = engine.GetCamera().GetView();
    view.SetEye(vmath::vec3<double>(-0.241, -1.69, -0.2));
    view.SetCenter(vmath::vec3<double>(0.3, 0.2, -0.71));
    return true;
}

void ShowRoom::Choose(unsigned car, int entry) {
    if (car < CarPool::Count()) carIndex = car;
    if (entry >= 0 && entry < EntryCount) selection = entry;
}

std::string ShowRoom::GetBestLine() const {
    if (!records || carIndex >= CarPool::Count()) return "";
    const std::optional<std::uint32_t> best = records->BestMs(RecordsKey(carIndex));
    std::string line = best ? "Best: " + RaceClock::FormatMs(*best) : "";
    // The car's best championship, as its best time is: a place to beat.
    if (const std::optional<unsigned> place = records->BestChampionshipPlace(CarPool::Describe(carIndex).GetKey()))
        line += (line.empty() ? "" : "   ") + std::string("Championship: ") + std::to_string(*place) + ".";
    return line;
}

void ShowRoom::SetPlayers(unsigned count, SettingsStore* keep) {
    if (keep) {
        playersKeep = keep;
        count = static_cast<unsigned>(std::lround(keep->GetNumber(PlayersSection, PlayersKey, 1, MaxPlayers, count)));
    }
    players = std::clamp(count, 1u, MaxPlayers);
}

void ShowRoom::OpenJoin(const KeySets& keys) {
    joinKeys = &keys;
    join.Open(players, GetCarIndex(), CarPool::Count());
}

void ShowRoom::SetTracks(const TrackList* list, std::size_t choice, SettingsStore* keep) {
    tracks = list;
    trackChoice = tracks && choice < tracks->GetChoices().size() ? choice : 0;
    trackKeeper = keep;
    FindBestRuns();
}

void ShowRoom::StepTrack(int step) {
    if (!tracks) return;
    const std::size_t n = tracks->GetChoices().size();
    // A track that could not be raced in this run is passed over.
    for (std::size_t tries = 1; tries < n; ++tries) {
        const std::size_t next = (trackChoice + (step < 0 ? n - tries : tries)) % n;
        if (!tracks->IsUsable(tracks->GetChoices()[next])) continue;
        trackChoice = next;
        TrackSettings::Keep(trackKeeper, *tracks, trackChoice);
        FindBestRuns();
        return;
    }
}

std::string ShowRoom::GetTrackEntry() const {
    if (!tracks || tracks->GetChoices().empty()) return std::string(MenuEntries[Track]) + "none";
    return MenuEntries[Track] + tracks->Label(tracks->GetChoices()[trackChoice]);
}

std::string ShowRoom::RecordsKey(unsigned car) const {
    if (!tracks || tracks->GetChoices().empty()) return CarPool::Describe(car).GetKey();
    const TrackList::Choice& chosen = tracks->GetChoices()[trackChoice];
    return tracks->TrackOf(chosen).RecordsKey(chosen.direction, CarPool::Describe(car).GetKey());
}

std::string ShowRoom::GhostKey() const {
    if (!tracks || tracks->GetChoices().empty()) return TrackDescription::OriginalTrack;
    const TrackList::Choice& chosen = tracks->GetChoices()[trackChoice];
    return tracks->TrackOf(chosen).GhostKey(chosen.direction);
}

void ShowRoom::FindBestRuns() {
    for (unsigned i = 0; i < CarPool::Count(); ++i) bestRuns[i] = GhostRace::HasBestRun(GhostKey(), i);
}

Car* ShowRoom::GetCurrentCar() {
    if (!cars || carIndex >= CarPool::Count() || !carLoaded[carIndex]) return nullptr;
    return cars->GetCar(carIndex);
}

unsigned ShowRoom::NextLoadedCar(int step) const {
    const unsigned n = CarPool::Count();
    unsigned index = carIndex;
    for (unsigned tries = 0; tries < n; ++tries) {
        index = (index + n + static_cast<unsigned>(step)) % n;
        if (carLoaded[index]) return index;
    }
    return carIndex;
}

bool ShowRoom::SetQuality(QualityPreset::Level level) {
    quality = level;
    scaledView.ForgetPicture();
    return !effectPass || QualityPreset::Apply(level, *effectPass, LightProjection);
}

std::string ShowRoom::GetGraphicsEntry() const {
    return std::string(MenuEntries[Graphics]) + QualityPreset::Name(quality);
}

void ShowRoom::Frame() {
    PutCurrentCarOnStand();
    Update();
    frameStatistics.Step();
    frameRate.Step(frameStatistics.cycleTime);
    RenderScene();
    DrawOverlay();
}

void ShowRoom::PutCurrentCarOnStand() {
    Car* car = GetCurrentCar();
    if (!car || !displayNode) return;
    const GroupNode& source = *car->node;
    // The copy draws with the car's own transform; made anew, it would take
    // a new box, and the shadow map is drawn again whenever a box changes.
    if (standSource == &source && displayNode->GetChildCount() == source.GetChildCount() &&
        displayNode->GetChild(0) == source.GetChild(0))
        return;
    *displayNode = source;
    standSource = &source;
    const BoundingBox& box = carBoxes[carIndex];
    if (box.GetMaximum().x >= box.GetMinimum().x) displayNode->SetBoundingVolume(*new BoundingBox(box));
}

void ShowRoom::RenderScene() {
    const QualityPreset::Settings settings = QualityPreset::For(quality);
    GLint window[4] = {};
    glGetIntegerv(GL_VIEWPORT, window);
    // The car on the stand is near whatever the preset's distances: the near
    // look or full detail, as the preset draws near cars.
    if (cars) cars->GetLevelOfDetail().Select(engine.GetCamera().GetView().GetEye(), 1.0f, settings.nearCarLook);
    const bool scaled = scaledView.Begin(settings.renderScale);
    // The car changes no pixel of the room but where it and its shadow
    // stand (its reflections are drawn on the car).
    const bool carAlone = scaled && DrawCarOverStillRoom(settings.shadows);
    if (!carAlone) engine.RenderScene();
    // Without the shadow map the car still stands on the turntable, not above it.
    if (!settings.shadows && GetCurrentCar() && displayNode)
        ContactShadow::Draw(*engine.GetRenderer(), engine.GetCamera().GetView(), displayNode->GetTransform().GetMatrix(),
                            footprints[carIndex]);
    // The translucent bands under the menu blend over half the window: drawn
    // into the reduced view, a software rasteriser blends a quarter of the
    // pixels at Low, and the stretch gives the same grey.
    bandsInView = scaled;
    if (scaled) {
        glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_TRANSFORM_BIT);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        // The window's pixels, whatever the view's own size.
        glOrtho(0, window[2], 0, window[3], -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        DrawBands(static_cast<float>(window[2]), static_cast<float>(window[3]));
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
        scaledView.End();
    }
}

// The camera, the light and the room stand still here; only the car turns.
// So the room is drawn once into a kept picture, and each frame puts it back,
// colour and depth, and draws the car over it: the room's pixels were about
// 5 ms of processor time of a 12 ms frame at Low. Under the shadow map the
// car's shadow changes the room as well: within the rectangle the car and
// its shadow can reach, the room is mixed from two more pictures of it, lit
// and with the light hidden, by the map (lit again per pixel there, it was
// 40 % of the frame at Medium and High).
bool ShowRoom::DrawCarOverStillRoom(bool shadowed) {
    if (!effectPass || !displayNode) return false;
    if (!scaledView.RestorePicture()) {
        if (pictureRefused) return false;
        // The room alone: neither the car nor its shadow.
        displayNode->SetCulled(true);
        const bool casts = effectPass->RemoveGroup(OglEffectPass::Shadows, *displayNode);
        roomLight.Forget();
        if (shadowed) {
            // Without them the room is lit again where the shadow falls.
            const std::pair<OglEffectPass::LightVisibility, OglShadowedPicture::Light> pictures[] = {
                {OglEffectPass::Everywhere, OglShadowedPicture::Seen},
                {OglEffectPass::Nowhere, OglShadowedPicture::Hidden}};
            for (const auto& [visibility, light] : pictures) {
                effectPass->SetLightVisibility(visibility);
                engine.RenderScene();
                roomLight.Keep(light);
            }
            effectPass->SetLightVisibility(OglEffectPass::Mapped);
        }
        engine.RenderScene();
        if (casts) effectPass->AddGroup(OglEffectPass::Shadows, *displayNode);
        displayNode->SetCulled(false);
        // The room is drawn all the same: the car still goes over it this once.
        pictureRefused = !scaledView.KeepPicture();
    }
    if (shadowed) {
        effectPass->SetRedrawnAround(displayNode.get());
        effectPass->SetStillPicture(&roomLight);
        engine.RenderScene();
        effectPass->SetStillPicture(nullptr);
        effectPass->SetRedrawnAround(nullptr);
        return true;
    }
    for (GroupNode* group : roomGroups) group->SetCulled(true);
    effectPass->SetClearsView(false);
    engine.RenderScene();
    effectPass->SetClearsView(true);
    for (GroupNode* group : roomGroups) group->SetCulled(false);
    return true;
}

void ShowRoom::DrawBands(float w, float h) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_CULL_FACE);
    for (GLenum unit = GL_TEXTURE0; unit <= GL_TEXTURE3; ++unit) {
        glActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_CUBE_MAP);
    }
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.3f, 0.3f, 0.3f, 0.6f);
    // The top band reaches down past the last menu entry; the bottom bar
    // holds the arrows and the car line.
    const float bandBottom = h - 230 + std::min(0.0f, 200.0f - MenuLineHeightPx * EntryCount);
    glBegin(GL_QUADS);
    glVertex2f(0, bandBottom);
    glVertex2f(w, bandBottom);
    glVertex2f(w, h - 30);
    glVertex2f(0, h - 30);
    glVertex2f(0, 15);
    glVertex2f(w, 15);
    glVertex2f(w, 70);
    glVertex2f(0, 70);
    glEnd();
    glPopAttrib();
}

void ShowRoom::Update() {
    if (Car* car = GetCurrentCar())
        car->node->GetTransform().Rotate(static_cast<float>(TurntableSpeedDegS * frameStatistics.cycleTime),
                                         vmath::vec3<float>(0.0f, 0.0f, 1.0f));
}

void ShowRoom::OnChar(EventHandler&, unsigned character) {
    if (optionsPage.IsOpen())
        optionsPage.OnChar(character);
    else if (onlinePage.IsOpen())
        onlinePage.OnChar(character);
}

void ShowRoom::OnKey(EventHandler& handler, unsigned key, int state) {
    if (optionsPage.IsOpen()) {
        optionsPage.OnKey(key, state);
        return;
    }
    if (onlinePage.IsOpen()) {
        onlinePage.OnKey(key, state);
        return;
    }
    if (join.IsOpen()) {
        if (state == 0 && joinKeys) join.OnKey(handler, *joinKeys, key);
        return;
    }
    if (state != 0 || quitAsked) return;
    if (selection == Players && key == VK_RETURN) {
        SetPlayers(players % MaxPlayers + 1, nullptr);
        if (playersKeep) playersKeep->SetNumber(PlayersSection, PlayersKey, players, 0);
        return;
    }
    if (selection == Track && (key == VK_RETURN || key == VK_LEFT || key == VK_RIGHT)) {
        StepTrack(key == VK_LEFT ? -1 : 1);
        return;
    }
    switch (key) {
    case VK_RETURN:
        if (selection == Options) optionsPage.Open();
        if (selection == Online) onlinePage.Open();
        break;
    case VK_UP: selection = (selection + EntryCount - 1) % EntryCount; break;
    case VK_DOWN: selection = (selection + 1) % EntryCount; break;
    case VK_LEFT:
    case VK_RIGHT: {
        Car* shown = GetCurrentCar();
        if (!shown) break;
        // The next car takes over the placement and the turntable's angle.
        const vmath::mat4<float> matrix = shown->node->GetTransform().GetMatrix();
        carIndex = NextLoadedCar(key == VK_RIGHT ? 1 : -1);
        GetCurrentCar()->node->GetTransform().SetMatrix(matrix);
        break;
    }
    default: break;
    }
}

void ShowRoom::DrawOverlay() {
    const ScreenProjection screen;
    const float w = screen.GetWidth(), h = screen.GetHeight();
    glPushAttrib(OverlayAttributes);
    glDisable(GL_LIGHTING);

    if (!bandsInView) DrawBands(w, h);
    // The sign at the top band's right end.
    glPushMatrix();
    glTranslatef(0, h - 230, 0);

    glActiveTexture(GL_TEXTURE3);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, signTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glTranslatef(w - 400, 0, 0);
    glBegin(GL_QUADS);
    glMultiTexCoord2f(GL_TEXTURE3, 0, 0);
    glVertex3f(0, 0, -0.2f);
    glMultiTexCoord2f(GL_TEXTURE3, 1, 0);
    glVertex3f(300, 0, -0.2f);
    glMultiTexCoord2f(GL_TEXTURE3, 1, 1);
    glVertex3f(300, 200, -0.2f);
    glMultiTexCoord2f(GL_TEXTURE3, 0, 1);
    glVertex3f(0, 200, -0.2f);
    glEnd();
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);

    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    menuAreas.Clear(h);
    const bool pageOpen = optionsPage.IsOpen() || onlinePage.IsOpen();
    if (menuFont && !pageOpen) {
        for (int i = 0; i < EntryCount; ++i) {
            if (i == selection)
                glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
            else
                glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
            const std::string entry = i == Graphics    ? GetGraphicsEntry()
                                      : i == Opponents ? GetOpponentsEntry()
                                      : i == Players   ? MenuEntries[i] + std::to_string(players)
                                      : i == Track     ? GetTrackEntry()
                                      : i == Championship ? championshipEntry
                                                       : std::string(MenuEntries[i]);
            menuAreas.Print(fonts, *menuFont, 110, h - MenuLineHeightPx * (i + 1), entry, EntryArea(i));
        }
    }

    if (menuFont && !pageOpen) {
        // An arrow the pointer is on lights up as the chosen entry does.
        const int hovered = quitAsked ? ClickAreas::None : menuAreas.Hovered();
        const auto arrowColour = [hovered](int key) {
            if (hovered == key)
                glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
            else
                glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
        };
        arrowColour(VK_LEFT);
        menuAreas.Print(fonts, *menuFont, 200, 30, "<<", VK_LEFT);
        glColor4f(0.9f, 0.9f, 0.9f, 1.0f);
        fonts.Print(*menuFont, w / 2 - 100, 30, "Choose your car");
        arrowColour(VK_RIGHT);
        menuAreas.Print(fonts, *menuFont, w - 250, 30, ">>", VK_RIGHT);
    }
    // In the strip under the bar, in the small font: it fits there.
    const std::string best = GetBestLine() + (HasBestRun() ? WatchHint : "");
    if (!best.empty() && frameStatistics.font) fonts.Print(*frameStatistics.font, w / 2 - 50, 2, best);

    if (showFrameRate && frameStatistics.font) frameRate.Draw(fonts, *frameStatistics.font, 10, 2);
    if (optionsPage.IsOpen()) optionsPage.Draw(fonts, w, h);
    if (join.IsOpen() && menuFont) join.Draw(fonts, *menuFont, w, h, &CarName);
    if (onlinePage.IsOpen() && menuFont && frameStatistics.font)
        onlinePage.Draw(fonts, *menuFont, *frameStatistics.font, w, h);
    if (quitAsked) DrawQuitQuestion(w, h);
    if (notice && frameStatistics.font) notice->Draw(*engine.GetRenderer(), *frameStatistics.font);
    glPopAttrib();
}

void ShowRoom::DrawQuitQuestion(float w, float h) {
    // Over everything, the menu entries included; DrawOverlay's attributes restore the test.
    glDisable(GL_DEPTH_TEST);
    // The bands' grey, nearly opaque: the menu entries under it would blur the words.
    glColor4f(0.3f, 0.3f, 0.3f, 0.95f);
    glBegin(GL_QUADS);
    glVertex3f(0, h / 2 - 45, -0.1f);
    glVertex3f(w, h / 2 - 45, -0.1f);
    glVertex3f(w, h / 2 + 45, -0.1f);
    glVertex3f(0, h / 2 + 45, -0.1f);
    glEnd();
    if (!menuFont) return;
    // Yellow, as the chosen menu entry: the question is what the keys answer
    // now. The answers are the mouse's too.
    glColor4f(1.0f, 1.0f, 0.0f, 1.0f);
    menuAreas.PrintLine(engine.GetRenderer()->GetFontManager(), *menuFont, w / 2 - 215, h / 2 - 12, QuitQuestion,
                        ClickAreas::KeyParts(QuitQuestion));
}

void ShowRoom::OnMouse(EventHandler& events, int x, int y, int button, int state) {
    if (optionsPage.IsOpen()) {
        optionsPage.OnMouse(x, y, button, state);
        return;
    }
    // The online page is the keys' alone.
    if (onlinePage.IsOpen()) return;
    const int pressed = menuAreas.OnMouse(x, y, button, state);
    // While the question is up only its answers count.
    const auto isAnswer = [](int id) { return id == VK_RETURN || id == VK_ESCAPE; };
    const int hovered = menuAreas.Hovered();
    if (!quitAsked && hovered >= EntryArea(0) && hovered < EntryArea(EntryCount)) selection = hovered - EntryArea(0);
    if (pressed == ClickAreas::None || quitAsked != isAnswer(pressed)) return;
    const unsigned key = pressed >= EntryArea(0) ? VK_RETURN : static_cast<unsigned>(pressed);
    // As the key itself, for every listener; a race's entry replaces this
    // show room only once the frame is over.
    events.DispatchKey(key, 0);
    events.DispatchKey(key, 1);
}

void ShowRoom::OnWheel(EventHandler&, int x, int y, int notches) {
    if (optionsPage.IsOpen()) optionsPage.OnWheel(x, y, notches);
}
