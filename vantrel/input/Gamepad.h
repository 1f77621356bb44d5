#pragma once
#include <cstdint>
#include <map>
#include <vector>

class EventHandler;
class KeyBindings;
struct _SDL_GameController;
union SDL_Event;

/// The game controllers plugged in, through SDL's controller layer and its
/// mapping database, before the start or while the game runs.
///
/// Buttons become the key messages the keyboard sends, handed to the event
/// handler, so the show room and the race take them as keys: the D-pad the
/// arrows, A Return, B and Back Escape, Y R (recovery), Start P (pause); in
/// a race the D-pad, Y and Start send the keys the player bound to those
/// actions instead. In the menus the left stick steps like the arrows, one
/// step per push. In a race the player reads the analogue steering and
/// pedals (GetDriving), through the dead zone and curve the player set.
///
/// A pad unplugged releases every key it held and counts as the player
/// leaving the game (a focus-lost message): the race waits for them.
class Gamepad {
public:
    /// Radial dead zone of the left stick, a fraction of full deflection:
    /// worn sticks rest off centre by several percent.
    static constexpr float StickDeadZone = 0.15f;
    /// Steering = s^SteeringExponent, s the deflection beyond the dead zone
    /// rescaled to 0 ... 1: half a push gives about a third of the lock, so
    /// small corrections at speed are easy and full lock is still there.
    static constexpr float SteeringExponent = 1.8f;
    /// A trigger at rest may read a little above zero; the brake at a
    /// standstill engages reverse, so rest must read 0.
    static constexpr float TriggerDeadZone = 0.05f;
    /// The menu stick steps once past PressDeflection and is ready for the
    /// next step once back below ReleaseDeflection, so a stick wavering
    /// round one value does not step again.
    static constexpr float PressDeflection = 0.5f;
    static constexpr float ReleaseDeflection = 0.3f;

    /// What the pads ask of the car: the largest demand of all pads plugged in.
    struct Driving {
        float steering = 0.0f;  ///< -1 ... 1, positive to the left, as Car::steering
        float throttle = 0.0f;  ///< 0 ... 1
        float brake = 0.0f;     ///< 0 ... 1
    };

    /// `handler` receives the key and focus-lost messages and must outlive the pads.
    explicit Gamepad(EventHandler& handler);
    /// Closes the pads (their rumble stops) and SDL's controller layer.
    ~Gamepad();
    Gamepad(const Gamepad&) = delete;
    Gamepad& operator=(const Gamepad&) = delete;

    /// Starts SDL's controller layer and opens the pads already plugged in.
    /// @return false when the layer does not start; the game then has no pads
    bool Initialize();

    /// One joystick or controller event: a pad plugged in is opened, one
    /// unplugged closed (see the class), a button becomes its key message.
    void HandleEvent(const SDL_Event& event);
    /// Once a frame: in the menus (`stickSteps`) the left stick presses and
    /// releases the arrow keys; otherwise an arrow it holds is released.
    void Update(bool stickSteps);

    /// The left stick's steering and the triggers' pedals, dead zones and
    /// curve applied; all 0 without a pad.
    Driving GetDriving() const;
    /// The stick's dead zone (0 ... 1, clamped below 0.95) and curve
    /// exponent (at least 1) for GetDriving; StickDeadZone and
    /// SteeringExponent until set.
    void SetSteering(float deadZone, float exponent);
    float GetDeadZone() const { return deadZone; }
    float GetCurve() const { return curve; }
    /// The race's keys the buttons send while set (the player's bindings,
    /// which must outlive the setting); null in the menus. A button held
    /// meanwhile is released as the key it pressed.
    void SetKeyBindings(const KeyBindings* value) { bindings = value; }
    /// A rumble of the given strengths (0 ... 1) for `durationMs` on every
    /// pad that has one, replacing the last; strengths 0 stop it.
    void Rumble(float lowFrequency, float highFrequency, std::uint32_t durationMs);

    /// Number of pads open.
    std::size_t GetCount() const { return pads.size(); }

    /// The steering of a left stick at (x, y), each -1 ... 1 with x to the
    /// right: radial dead zone, rescale, then the power curve along x.
    static float SteeringFromStick(float x, float y, float deadZone = StickDeadZone,
                                   float exponent = SteeringExponent);
    /// A trigger's pedal from its reading 0 ... 1: dead zone, then linear.
    static float PedalFromTrigger(float value);

private:
    void Open(int deviceIndex);
    void Close(std::int32_t instanceId);
    /// Presses or releases `key` for one holder; the message goes out when
    /// the first holder presses and the last releases (B and Back both hold
    /// Escape, the D-pad and the stick both an arrow).
    void Hold(unsigned key, bool down);
    void ReleaseAll();
    /// The key `button` stands for now, or 0 for none.
    unsigned KeyOfButton(std::uint8_t button) const;

    EventHandler& handler;
    bool started = false;  ///< SDL's controller layer is ours to quit
    std::vector<_SDL_GameController*> pads;
    std::map<unsigned, int> held;  ///< key -> holders
    std::map<std::uint8_t, unsigned> buttonKeys;  ///< button held -> the key it pressed
    const KeyBindings* bindings = nullptr;
    float deadZone = StickDeadZone;
    float curve = SteeringExponent;
    unsigned stickKey = 0;         ///< arrow the menu stick holds, 0 for none
};
