#include "Replay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

#include <GL/gl.h>

#include <lumora/Lumora.h>
#include <nodara/Camera.h>
#include <nodara/GroupNode.h>

#include "RaceClock.h"
#include "cars/Car.h"
#include "cars/CarPool.h"
#include "hud/Gauge.h"
#include "hud/Minimap.h"
#include "platform/WindowMessage.h"

const char* const Replay::KeysLine = "Up/Down: speed   P: pause   C: view   S: spectator   Escape: back";

std::vector<vmath::mat4<float>> Replay::KeepNodes(Car& car, CarPool& cars) {
    std::vector<vmath::mat4<float>> nodes;
    if (car.node) nodes.push_back(car.node->GetTransform().GetMatrix());
    for (const std::vector<GroupNode*>* group : {&car.wheels, &car.steeringNodes})
        for (const GroupNode* node : *group) nodes.push_back(node->GetTransform().GetMatrix());
    // The recording turns the wheels from the model's rest, not from
    // wherever the last frame of driving left them.
    cars.PutWheelsAtRest(car);
    return nodes;
}

Replay::Replay(const RecordedRun& recorded, Car& car, CarPool& cars, Camera& camera)
    : run(recorded),
      car(car),
      camera(camera),
      savedNodes(KeepNodes(car, cars)),
      savedCameraHeightTerm(car.cameraHeightTerm),
      savedCameraTime(car.cameraTime),
      savedView(camera.GetView()),
      driver(run, car) {
    std::copy(std::begin(car.cameraPosition), std::end(car.cameraPosition), savedCameraPosition);
    // The camera runs in from behind the car, as at a start.
    car.cameraTime = 0.0f;
    car.cameraHeightTerm = 1.0f;
    driver.PoseAt(car, 0.0);
}

Replay::~Replay() {
    std::size_t next = 0;
    if (car.node && next < savedNodes.size()) car.node->GetTransform().SetMatrix(savedNodes[next++]);
    for (const std::vector<GroupNode*>* group : {&car.wheels, &car.steeringNodes})
        for (GroupNode* node : *group)
            if (next < savedNodes.size()) node->GetTransform().SetMatrix(savedNodes[next++]);
    std::copy(std::begin(savedCameraPosition), std::end(savedCameraPosition), car.cameraPosition);
    car.cameraHeightTerm = savedCameraHeightTerm;
    car.cameraTime = savedCameraTime;
    camera.SetView(savedView);
}

void Replay::Update(float dtS, bool follow) {
    if (!std::isfinite(dtS) || dtS <= 0.0f) return;
    driver.Drive(car, dtS * GetSpeed());
    const RecordedRun::Sample& sample = driver.GetSample();
    car.ShowSpeed(sample.speedMs);  // in the player's unit, dial and number
    if (car.rpmGauge) car.rpmGauge->SetValue(sample.engineRpm);
    if (!follow) return;
    // The camera lags by the distance the car covers on the screen, so by
    // its speed as the player sees it.
    const vmath::mat4<float> frame = RecordedRun::MatrixGL(sample);
    car.UpdateCamera(camera, frame.ptr(), GetVelocityMs() * GetSpeed(), dtS);
}

bool Replay::OnKey(unsigned key, int state, bool spectator) {
    if ((key != VK_UP && key != VK_DOWN) || spectator) return false;
    if (state == 0) speedIndex = std::clamp(speedIndex + (key == VK_UP ? 1 : -1), 0, SpeedCount - 1);
    return true;
}

vmath::vec3<float> Replay::GetVelocityMs() const {
    // Over one sample either side: the blend between two samples is a
    // straight line, and its slope alone would jump at every sample.
    const double stepS = 1.0 / run.GetSampleRateHz();
    const double from = std::max(0.0, GetTimeS() - stepS), to = std::min(run.GetDurationS(), GetTimeS() + stepS);
    if (to <= from) return vmath::vec3<float>(0.0f, 0.0f, 0.0f);
    return (run.At(to).positionM - run.At(from).positionM) * static_cast<float>(1.0 / (to - from));
}

EngineSound::Drive Replay::SoundDrive(bool running) const {
    const RecordedRun::Sample& sample = driver.GetSample();
    EngineSound::Drive drive;
    drive.running = running;
    drive.rpm = sample.engineRpm;
    drive.throttle = sample.throttle;
    drive.speedMs = sample.speedMs;
    // The recording has no tyre forces: the sideways drift alone tells a slide.
    const vmath::mat4<float> frame = RecordedRun::MatrixGL(sample);
    const vmath::vec3<float> sideways(frame[0], frame[1], frame[2]);
    drive.slip = EngineSound::SlipFrom(0.0f, vmath::dot(GetVelocityMs(), sideways), sample.speedMs);
    return drive;
}

std::string Replay::StatusLine() const {
    const float speed = GetSpeed();
    char text[48];
    std::snprintf(text, sizeof text, speed < 1.0f ? "Replay %.2gx%s" : "Replay %.0fx%s", speed,
                  IsFinished() ? "  end" : "");
    return text;
}

void Replay::DrawHud(Lumora& engine, Minimap& map, Font& clockFont, Font& lineFont, float w, float h) {
    const RecordedRun::Sample& sample = driver.GetSample();
    const vmath::mat4<float> frame = RecordedRun::MatrixGL(sample);
    map.Draw(w, h, sample.positionM, vmath::vec3<float>(frame[4], frame[5], frame[6]), nullptr);
    Renderer::FontManager& fonts = engine.GetRenderer()->GetFontManager();
    glColor3f(1.0f, 1.0f, 0.0f);
    fonts.Print(clockFont, w / 2 - 50, h - 50, RaceClock::Format(GetTimeS()));
    fonts.Print(clockFont, 30, h - 50, StatusLine());
    glColor3f(0.9f, 0.9f, 0.9f);
    fonts.Print(lineFont, 30, h - 80, KeysLine);
    car.DrawInstruments(engine, w, sample.gear);
}
