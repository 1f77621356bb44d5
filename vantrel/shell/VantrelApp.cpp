#include "VantrelApp.h"

#include <iostream>

#include <GL/gl.h>
#include <SDL2/SDL_error.h>

#include <lumora/ImageLoader.h>
#include <lumora/ModelLoaderManager.h>
#include <nodara/PerformanceCounter.h>
#include <sonavar/Channel.h>
#include <sonavar/Sound.h>

#include "GameOptions.h"
#include "championship/Championship.h"
#include "championship/SeasonStore.h"
#include "cars/CarPool.h"
#include "hud/HudNotice.h"
#include "online/LinkKeeper.h"
#include "online/OnlineGame.h"
#include "online/OnlineRace.h"
#include "race/EngineSound.h"
#include "race/GameEngine.h"
#include "race/GhostRace.h"
#include "race/TrackSettings.h"
#include "input/GameMode.h"
#include "showroom/ShowRoom.h"
#include "WindowProcedure.h"
#include "platform/AppWindow.h"
#include "platform/EventTranslator.h"
#include "storage/RecordsStore.h"
#include "storage/SettingsStore.h"

const char* const VantrelApp::WindowTitle = "Vantrel";
const char* const VantrelApp::WindowClassName = "VANTREL";
const char* const VantrelApp::MusicFile = "../data/music/Halverd - Evenfall.mp3";

VantrelApp& VantrelApp::Instance() {
    static VantrelApp app;
    return app;
}

VantrelApp::VantrelApp() : notice(new HudNotice) {
    // The modes give their models and images back to the engine's loaders
    // when the application is destroyed at exit. Made before the application
    // is complete, the loaders are destroyed after it, so they (and the
    // plug-in that made the models) are still there then.
    Singleton<ModelLoaderManager>::Instance();
    Singleton<ImageLoader>::Instance();
    // First in the keyboard list, so the mode switches see every key before
    // the modes do.
    eventHandler.AddListener(EventHandler::KeyEvent, this);
    eventHandler.AddListener(EventHandler::QuitEvent, this);
}

VantrelApp::~VantrelApp() {
    // The modes' engines free GL objects as they go, so they go first, while
    // the context is still current. The music and the sound engine follow
    // as members.
    showRoom.reset();
    race.reset();
    onlineRace.reset();
    window.reset();
}

void VantrelApp::Configure(const CommandLine::Choices& choices) {
    settings.reset(new SettingsStore);
    qualityOverride = choices.quality;
    if (qualityOverride) quality = *qualityOverride;
    autopilot = choices.autopilot;
    if (choices.windowWidthPx && choices.windowHeightPx) {
        windowWidthPx = *choices.windowWidthPx;
        windowHeightPx = *choices.windowHeightPx;
        settings->SetWindowSize(windowWidthPx, windowHeightPx);
    } else {
        settings->GetWindowSize(windowWidthPx, windowHeightPx);
    }
    if (choices.fullscreen) settings->SetFullscreen(*choices.fullscreen);
    fullscreen = choices.fullscreen.value_or(settings->GetFullscreen());
}

bool VantrelApp::Initialize() {
    window.reset();
    window = AppWindow::Create(WindowTitle, WindowClassName, windowWidthPx, windowHeightPx);
    if (!window) {
        failure = std::string("the game window could not be opened (") + SDL_GetError() + ")";
        std::cout << "[ERROR] VantrelApp: " << failure << std::endl;
        return false;
    }
    if (fullscreen) window->SetFullscreen(true);
    // A new window gets its first size message before anything is drawn.
    int widthPx = 0, heightPx = 0;
    window->GetClientSize(widthPx, heightPx);
    WindowProcedure(WM_SIZE, 0, MakeLParam(widthPx, heightPx));
    gamepad.Initialize();
    return true;
}

bool VantrelApp::Start() {
    // Here rather than at construction: the records' folder is read from the
    // environment the program (or a test) has set by now.
    records.reset(new RecordsStore);
    seasonStore.reset(new SeasonStore);
    championship.reset(new Championship(*seasonStore, records.get()));
    if (!settings) settings.reset(new SettingsStore);
    if (qualityOverride) {
        quality = *qualityOverride;
    } else if (const std::optional<QualityPreset::Level> saved = settings->GetQuality()) {
        quality = *saved;
    } else {
        // A first start: what this machine's renderer can afford, kept.
        const GLubyte* renderer = glGetString(GL_RENDERER);
        quality = QualityPreset::ForRenderer(renderer ? reinterpret_cast<const char*>(renderer) : "");
        settings->SetQuality(quality);
    }
    field = FieldSettings::Read(settings.get());
    // A car whose description is refused is left out with its Warn line; the
    // others play. Without any there is nothing to drive.
    if (CarPool::ReloadCars() == 0) {
        failure = std::string("no usable car found in ") + CarList::DataFolder;
        std::cout << "[ERROR] VantrelApp: " << failure << ", the game ends" << std::endl;
        return false;
    }
    // A track whose description is refused is left out with its Warn line;
    // the others play. Without any, the show room still runs and a race says why it cannot start.
    tracks.Load();
    chosenTrack = TrackSettings::Read(settings.get(), tracks);
    online.reset(new OnlineGame(tracks, settings.get()));
    options.reset(new GameOptions(*this));
    options->Read();
    // Sound is a nicety: a machine whose mixer cannot start still plays the game.
    const bool soundStarted = sound.Initialize();
    if (!soundStarted)
        std::cout << "[WARN] VantrelApp: the sound engine did not start, the game runs silently" << std::endl;
    const bool showRoomStarted = StartShowRoom();
    if (soundStarted) {
        music.reset(sound.CreateSound(MusicFile));
        if (music)
            musicChannel.reset(music->Play());
        else
            std::cout << "[WARN] VantrelApp: no music (\"" << MusicFile << "\" did not load), the game runs silently"
                      << std::endl;
    }
    raceSound.reset(new EngineSound(soundStarted ? &sound : nullptr));
    raceSound->SetMusic(musicChannel.get());
    raceSound->KeepIn(settings.get());
    if (!showRoomStarted) {
        failure = "the show room did not start";
        std::cout << "[ERROR] VantrelApp: " << failure << ", the game ends" << std::endl;
    }
    return showRoomStarted;
}

bool VantrelApp::StartShowRoom() {
    if (showRoom) chosenTrack = showRoom->GetTrackChoice();
    race.reset();
    onlineRace.reset();
    showRoom.reset();
    showRoom = std::make_unique<ShowRoom>(eventHandler, records.get());
    showRoom->Choose(chosenCar, chosenEntry);
    showRoom->SetQuality(quality);
    showRoom->SetNotice(notice.get());
    showRoom->SetOpponentSkill(FieldSettings::SkillName(field.skill));
    showRoom->SetTracks(&tracks, chosenTrack, settings.get());
    showRoom->SetPlayers(1, settings.get());
    if (championship) showRoom->SetChampionshipEntry(championship->EntryLine());
    if (options) options->Attach(*showRoom);
    if (online) online->Attach(showRoom->GetOnlinePage());
    return showRoom->Initialize() && showRoom->Load();
}

bool VantrelApp::ChooseTrack(const std::string& key, TrackDescription::Direction direction) {
    if (tracks.IsEmpty()) tracks.Load();
    const std::optional<std::size_t> choice = tracks.Find(key, direction);
    if (!choice) return false;
    chosenTrack = *choice;
    if (showRoom) showRoom->SetTracks(&tracks, chosenTrack, settings.get());
    return true;
}

std::size_t VantrelApp::GetTrackChoice() const { return showRoom ? showRoom->GetTrackChoice() : chosenTrack; }

bool VantrelApp::StartOnlineRace(const Protocol::RaceStart& start) {
    NetClient* client = online ? online->GetSession().GetClient() : nullptr;
    if (!client) return false;
    const Protocol::TrackRef& ref = client->GetChoice().track;
    const std::optional<std::size_t> choice =
        tracks.Find(ref.key, ref.reverse ? TrackDescription::Direction::Reverse : TrackDescription::Direction::Forward);
    onlineRace = std::make_unique<OnlineRace>(*client, start, client->GetLobby(), PerformanceCounter::Time());
    if (!choice || !onlineRace->GetOwn()) {
        online->Leave();
        onlineRace.reset();
        return BackToShowRoom(!choice ? "Missing track " + ref.key : "The server's grid has no place for this game");
    }
    if (StartRace(onlineRace->GetOwn()->model, onlineRace->GetMode(), false, *choice)) return true;
    online->Leave();
    onlineRace.reset();
    return false;
}

bool VantrelApp::StartRace(unsigned carIndex, RaceMode mode, bool championshipRace,
                           std::optional<std::size_t> trackOverride) {
    if (showRoom) chosenTrack = showRoom->GetTrackChoice();
    std::size_t trackChoice = trackOverride ? *trackOverride : chosenTrack;
    if (championshipRace) {
        const std::optional<std::size_t> next = championship ? championship->NextChoice(tracks) : std::nullopt;
        if (!next) return BackToShowRoom("The championship's next track is not there");
        trackChoice = *next;
    }
    const bool tracked = trackChoice < tracks.GetChoices().size();
    const TrackList::Choice chosen = tracked ? tracks.GetChoices()[trackChoice] : TrackList::Choice();
    // Loading it again would only fail again.
    if (tracked && !tracks.IsUsable(chosen)) return BackToShowRoom(tracks.WhyUnusable(chosen));
    showRoom.reset();
    race.reset();
    auto made = std::make_unique<GameEngine>(eventHandler, records.get());
    GameEngine& newRace = *made;
    race = std::move(made);
    newRace.SetEngineSound(raceSound.get());
    if (localPlayers.size() > 1) {
        newRace.SetFirstDevice(localPlayers.front().device, KeyBindings());
        for (std::size_t i = 1; i < localPlayers.size(); ++i)
            newRace.AddLocalPlayer(localPlayers[i].carIndex, localPlayers[i].device, KeyBindings());
    }
    for (std::size_t i = 0; i < newRace.GetPlayerCount(); ++i)
        newRace.GetPlayer(i)->SetGamepad(&gamepad, &newRace.GetTrack().road);
    newRace.SetQuality(quality);
    newRace.SetAutopilot(autopilot);
    newRace.SetSettings(settings.get());
    newRace.SetNotice(notice.get());
    newRace.SetOpponents(field.opponents, field.skill);
    if (tracked) newRace.SetTrack(tracks.TrackOf(chosen), chosen.direction);
    if (championshipRace) championship->SetUp(newRace, tracks, field.skill);
    if (onlineRace) onlineRace->SetUp(newRace);
    if (options) options->ApplyTo(newRace);
    bool initialised = false, started = false;
    {
        // Loading stops the frames: a network race's link is kept meanwhile.
        const LinkKeeper keeper(onlineRace && online ? online->GetSession().GetClient() : nullptr);
        initialised = newRace.Initialize();
        started = initialised && newRace.Start(carIndex, mode);
    }
    if (started) {
        // A run fetched from a leaderboard races as this trial's ghost, instead of the player's own best.
        if (mode == RaceMode::TimeTrial && online && newRace.GetGhostRace())
            if (std::optional<GhostFetch::Ghost> ghost =
                    online->GetBoard().TakeGhostFor(newRace.GetRace().GhostKey(), CarPool::Describe(carIndex).GetKey()))
                newRace.GetGhostRace()->SetGhost(carIndex, ghost->run, ghost->timeMs);
        return true;
    }
    // The race said why (a best run set aside says nothing: the show room just comes back).
    std::string why = newRace.GetStartFailure();
    if (!initialised) {
        why = "The race could not start: its graphics did not initialise";
        std::cout << "[ERROR] VantrelApp: " << why << std::endl;
    } else if (tracked && !why.empty() && newRace.IsStartFailureTheTrack()) {
        tracks.MarkUnusable(chosen.track, why);
    }
    race.reset();
    return BackToShowRoom(why);
}

bool VantrelApp::BackToShowRoom(const std::string& why) {
    if (!showRoom && !StartShowRoom()) {
        Fail("the show room did not start again");
        return false;
    }
    if (!why.empty()) notice->Show(why, PerformanceCounter::Time(), true, RaceFailureShownS);
    return false;
}

void VantrelApp::Fail(const std::string& why) {
    failure = why;
    std::cout << "[ERROR] VantrelApp: " << why << ", the game ends" << std::endl;
    eventHandler.DispatchQuit();
}

void VantrelApp::Frame() {
    WindowMessage message;
    if (PeekWindowMessage(message, [this](const SDL_Event& event) { gamepad.HandleEvent(event); }))
        WindowProcedure(message.message, message.wParam, message.lParam);
    // In a race the stick steers the car instead.
    gamepad.Update(showRoom != nullptr);
    const double nowS = PerformanceCounter::Time();
    for (const Screenshot::Outcome& outcome : screenshots.TakeOutcomes())
        notice->Show(outcome.NoticeLine(), nowS, !outcome.saved);
    notice->Update(nowS);
    if (race) race->Frame();
    if (showRoom) showRoom->Frame();
    if (online && onlineRace) {
        GameEngine* raceEngine = dynamic_cast<GameEngine*>(race.get());
        online->Update(raceEngine ? raceEngine->GetFrameStatistics().cycleTime : 0.0);
        if (raceEngine && !onlineRace->Frame(*raceEngine, *notice, nowS) && !wantedSwitch) {
            // The server stopped, or the link went: the game is over.
            const NetClient* client = online->GetSession().GetClient();
            const std::string why = client && !client->GetLine().empty() ? client->GetLine()
                                                                         : "Lost the connection to the server";
            notice->Show(why, nowS, true, RaceFailureShownS);
            wantedSwitch = ModeSwitch{};
            wantedSwitch->leaveOnline = true;
        }
    } else if (online && showRoom && showRoom->GetOnlinePage().IsOpen()) {
        const OnlineGame::Choices choices{CarPool::Describe(showRoom->GetCarIndex()).GetKey(),
                                          showRoom->GetTrackChoice(), field.opponents, field.skill};
        online->Frame(showRoom->GetOnlinePage(), choices, showRoom->GetFrameStatistics().cycleTime);
        if (std::optional<Protocol::RaceStart> start = online->TakeRaceStart(); start && !wantedSwitch) {
            pendingStart = std::move(start);
            wantedSwitch = ModeSwitch{true, chosenCar, RaceMode::Race};
            wantedSwitch->online = true;
        }
    } else if (online) {
        // The page closed (Escape, Back): whatever game it held is over.
        online->Leave();
    }
    AppWindow::SetTextInput(showRoom && showRoom->IsTyping());
    if (GameEngine* raceEngine = dynamic_cast<GameEngine*>(race.get()); raceEngine && championship &&
                                                                         championship->IsActive())
        championship->AfterFrame(*raceEngine);
    // Drawn, not yet swapped: the back buffer holds the frame as shown, HUD and all.
    if (screenshotAsked && window) {
        int widthPx = 0, heightPx = 0;
        window->GetClientSize(widthPx, heightPx);
        screenshots.Take(widthPx, heightPx);
    }
    screenshotAsked = false;
    if (window) window->SwapBuffers();
    if (showRoom && showRoom->GetJoin().IsReady() && !wantedSwitch) {
        // Every place taken: the players in their order, each on their device and car.
        localPlayers.clear();
        for (const JoinScreen::Place& place : showRoom->GetJoin().GetPlaces())
            localPlayers.push_back({place.carIndex, RaceSetup::Entrant::Driver::LocalPlayer, place.device,
                                    field.skill});
        showRoom->CloseJoin();
        chosenCar = localPlayers.front().carIndex;
        if (joinChampionship)
            BeginChampionship(*joinChampionship);
        else
            wantedSwitch = ModeSwitch{true, chosenCar, joinMode};
        joinChampionship.reset();
    }
    SwitchModes();
}

void VantrelApp::SwitchModes() {
    const std::optional<ModeSwitch> wanted = wantedSwitch;
    wantedSwitch.reset();
    if (!wanted || quitRequested) return;
    if (wanted->online && pendingStart) {
        const Protocol::RaceStart start = *pendingStart;
        pendingStart.reset();
        StartOnlineRace(start);
    } else if (wanted->toRace) {
        StartRace(wanted->car, wanted->mode, wanted->championship);
    } else if (!StartShowRoom()) {
        Fail("the show room did not start again");
    } else if (wanted->leaveOnline && online) {
        online->Leave();
    } else if (wanted->toLobby && online) {
        // The same game's lobby, ready for the next race.
        showRoom->Choose(chosenCar, ShowRoom::Online);
        showRoom->GetOnlinePage().Open();
    }
}

void VantrelApp::OnKey(EventHandler& handler, unsigned key, int state) {
    if (state != 0) return;
    // The options page takes every key but full screen, the screenshot and the volumes.
    if (showRoom && showRoom->IsOptionsShown() && key != VK_F1 + 10 && key != VK_F12) {
        if (raceSound) raceSound->OnVolumeKey(key);
        return;
    }
    // The join step and the online page take every key but full screen and the screenshot.
    if (showRoom && (showRoom->GetJoin().IsOpen() || showRoom->GetOnlinePage().IsOpen()) && key != VK_F1 + 10 &&
        key != VK_F12)
        return;
    GameEngine* raceEngine = dynamic_cast<GameEngine*>(race.get());
    // The switch already asked for answers these keys.
    const bool switching = wantedSwitch.has_value();
    switch (key) {
    case VK_F12:
        screenshotAsked = true;
        break;
    case VK_F1 + 10:
        SetFullscreen(!fullscreen);
        break;
    case VK_RETURN:
        if (raceEngine && onlineRace && !switching) {
            // The results are the server's: back to its lobby once they came.
            if (raceEngine->IsOver() && onlineRace->GetResult()) {
                wantedSwitch = ModeSwitch{};
                wantedSwitch->toLobby = true;
            }
            break;
        }
        if (raceEngine && championship && championship->IsActive() && !switching) {
            // At the end of a championship's race: the standings, then the next race or the show room.
            switch (championship->OnReturn(*raceEngine)) {
            case Championship::Next::NextRace: wantedSwitch = ModeSwitch{true, chosenCar, RaceMode::Race, true}; break;
            case Championship::Next::ShowRoom: wantedSwitch = ModeSwitch{}; break;
            case Championship::Next::Stay: break;
            }
            break;
        }
        if (!showRoom || switching) break;
        if (showRoom->IsQuitAsked()) {
            handler.DispatchQuit();
        } else if (showRoom->GetSelection() == ShowRoom::Options || showRoom->GetSelection() == ShowRoom::Track ||
                   showRoom->GetSelection() == ShowRoom::Online) {
            // The show room opens its pages and steps the track itself.
        } else if (showRoom->GetSelection() == ShowRoom::Graphics) {
            SetQuality(QualityPreset::Next(quality));
        } else if (showRoom->GetSelection() == ShowRoom::Opponents) {
            field.skill = FieldSettings::NextSkill(field.skill);
            FieldSettings::KeepSkill(settings.get(), field.skill);
            showRoom->SetOpponentSkill(FieldSettings::SkillName(field.skill));
        } else if (showRoom->GetSelection() == ShowRoom::ExitGame) {
            showRoom->SetQuitAsked(true);
        } else if (showRoom->GetSelection() == ShowRoom::Players) {
            // The show room steps and keeps the count itself.
        } else if (showRoom->GetSelection() == ShowRoom::Championship) {
            chosenCar = showRoom->GetCarIndex();
            chosenEntry = ShowRoom::Championship;
            if (showRoom->GetPlayers() > 1 && options) {
                joinChampionship = false;
                showRoom->OpenJoin(options->GetKeySets());
                break;
            }
            localPlayers.clear();
            BeginChampionship(false);
        } else {
            chosenCar = showRoom->GetCarIndex();
            chosenEntry = showRoom->GetSelection();
            const RaceMode mode = chosenEntry == ShowRoom::FreeDrive ? RaceMode::FreeDrive
                                  : chosenEntry == ShowRoom::Race    ? RaceMode::Race
                                                                     : RaceMode::TimeTrial;
            if (showRoom->GetPlayers() > 1 && options) {
                // Who plays first: the join step's Return starts the race (Frame).
                joinMode = mode;
                showRoom->OpenJoin(options->GetKeySets());
                break;
            }
            localPlayers.clear();
            wantedSwitch = ModeSwitch{true, chosenCar, mode};
        }
        break;
    case VK_ESCAPE:
        // A pad's B is Escape too, pressed to go back: the show room asks
        // before the game ends, and a second Escape takes the question back.
        if (switching) break;
        if (showRoom) {
            showRoom->SetQuitAsked(!showRoom->IsQuitAsked());
        } else if (race && !(raceEngine && raceEngine->LeaveReplay())) {
            // The season stays kept: the show room offers to go on with it.
            if (championship) championship->Leave();
            // The race reads the link until it goes: the game is left once it has.
            wantedSwitch = ModeSwitch{};
            wantedSwitch->leaveOnline = onlineRace != nullptr;
        }
        break;
    case 'N':
        // On the championship entry, a season kept makes way for a new one.
        if (showRoom && !switching && !showRoom->IsQuitAsked() &&
            showRoom->GetSelection() == ShowRoom::Championship && showRoom->GetPlayers() == 1) {
            chosenCar = showRoom->GetCarIndex();
            chosenEntry = ShowRoom::Championship;
            localPlayers.clear();
            BeginChampionship(true);
        }
        break;
    case GameKeys::Watch:
        // The chosen car's best run, watched in a race of its own; should its
        // file turn out unusable (set aside), the show room comes back.
        if (!showRoom || switching || showRoom->IsQuitAsked() || !showRoom->HasBestRun()) break;
        chosenCar = showRoom->GetCarIndex();
        chosenEntry = showRoom->GetSelection();
        wantedSwitch = ModeSwitch{true, chosenCar, RaceMode::Replay};
        break;
    default:
        // In every mode: 7 / 8 and 9 / 0 set the music's and the race sounds' volume.
        if (raceSound) raceSound->OnVolumeKey(key);
        break;
    }
}

void VantrelApp::OnQuit(EventHandler&) { quitRequested = true; }

void VantrelApp::BeginChampionship(bool anew) {
    if (!championship) return;
    // Named as the race names its players, so that its results score them.
    std::vector<Season::Driver> players;
    if (localPlayers.size() < 2)
        players.push_back({"You", chosenCar, true});
    else
        for (std::size_t i = 0; i < localPlayers.size(); ++i)
            players.push_back({"Player " + std::to_string(i + 1), localPlayers[i].carIndex, true});
    const std::string told = championship->Begin(anew, tracks, players, field.opponents);
    if (!told.empty()) notice->Show(told, PerformanceCounter::Time(), true, RaceFailureShownS);
    if (!championship->IsActive()) {
        BackToShowRoom("No track found for a championship");
        return;
    }
    // A season goes on in the car it began with.
    for (const Season::Driver& driver : championship->GetSeason().GetDrivers())
        if (driver.player) {
            chosenCar = driver.carIndex;
            break;
        }
    wantedSwitch = ModeSwitch{true, chosenCar, RaceMode::Race, true};
}

void VantrelApp::SetQuality(QualityPreset::Level level) {
    quality = level;
    if (showRoom) showRoom->SetQuality(quality);
    if (settings) settings->SetQuality(quality);
}

void VantrelApp::SetFullscreen(bool value) {
    if (!window) return;
    fullscreen = value;
    window->SetFullscreen(fullscreen);
    if (settings) settings->SetFullscreen(fullscreen);
}

void VantrelApp::SetWindowSize(int widthPx, int heightPx) {
    windowWidthPx = widthPx;
    windowHeightPx = heightPx;
    if (window) window->SetClientSize(widthPx, heightPx);
    if (settings) settings->SetWindowSize(widthPx, heightPx);
}
