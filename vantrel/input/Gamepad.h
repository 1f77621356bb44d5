#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

class EventHandler;
class KeyBindings;
struct _SDL_GameController;
union SDL_Event;

/// The game controllers plugged in, through SDL's controller layer and its
/// mapping database, before the start or while the game runs.
///
/// Each pad has a slot of its own, from 0 in the order they came: a pad
/// unplugged leaves its slot waiting, and the same pad (by SDL's GUID and,
/// where the pad reports one, its serial) takes it back when it returns; a
/// new pad takes the next slot. Slots are how players are bound to pads
/// (InputDevice::PadSlot).
///
/// Buttons become the key events the keyboard sends, handed to the event
/// handler with the pad's slot (EventHandler::GetPadSlot), so the show room
/// and the race take them as keys: the D-pad the arrows, A Return, B and
/// Back Escape, Y R (recovery), Start P (pause); in a race the D-pad, Y and
/// Start send the keys the player bound to those actions instead. In the
/// menus the left stick steps like the arrows, one step per push. In a race
/// the player reads the analogue steering and pedals (GetDriving), through
/// the dead zone and curve the player set.
///
/// A pad unplugged releases every key it held and counts as the player
/// leaving the game (a focus-lost event with its slot): the race waits for
/// them.
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

    /// Slots kept waiting for their pads; past them a new pad takes the
    /// first slot whose pad is away.
    static constexpr int MaxSlots = 8;

    /// What a pad asks of the car, or the largest demand of all pads plugged in.
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
    /// curve applied, the largest of every pad's; all 0 without a pad.
    Driving GetDriving() const;
    /// The same of the pad in `slot` alone; all 0 while it is unplugged.
    Driving GetDriving(int slot) const;
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
    /// The same on the pad in `slot` alone; nothing while it is unplugged.
    void Rumble(int slot, float lowFrequency, float highFrequency, std::uint32_t durationMs);

    /// Number of pads open.
    std::size_t GetCount() const;
    /// Number of slots: those with a pad and those waiting for theirs.
    int GetSlotCount() const { return static_cast<int>(slots.size()); }
    /// Whether a pad is in `slot` now; false past the slots.
    bool IsPlugged(int slot) const;

    /// The steering of a left stick at (x, y), each -1 ... 1 with x to the
    /// right: radial dead zone, rescale, then the power curve along x.
    static float SteeringFromStick(float x, float y, float deadZone = StickDeadZone,
                                   float exponent = SteeringExponent);
    /// A trigger's pedal from its reading 0 ... 1: dead zone, then linear.
    static float PedalFromTrigger(float value);

private:
    /// One pad's place, and what its pad holds.
    struct Slot {
        _SDL_GameController* pad = nullptr;  ///< null while it is away
        std::string identity;                ///< of the pad last here: GUID and serial
        std::map<unsigned, int> held;        ///< key -> holders
        std::map<std::uint8_t, unsigned> buttonKeys;  ///< button held -> the key it pressed
        unsigned stickKey = 0;               ///< arrow the menu stick holds, 0 for none
    };

    void Open(int deviceIndex);
    void Close(std::int32_t instanceId);
    /// The slot of the pad open as `instanceId`; -1 for none.
    int SlotOf(std::int32_t instanceId) const;
    /// Where a pad of `identity` goes: the free slot it left, else a new one
    /// (past MaxSlots, the first free one); slots.size() for a new one.
    std::size_t SlotFor(const std::string& identity) const;
    /// Presses or releases `key` for one holder on the pad in `slot`; the
    /// event goes out when the first holder presses and the last releases (B
    /// and Back both hold Escape, the D-pad and the stick both an arrow).
    void Hold(std::size_t slot, unsigned key, bool down);
    /// Releases every key the pad in `slot` holds.
    void ReleaseAll(std::size_t slot);
    /// The key `button` stands for now, or 0 for none.
    unsigned KeyOfButton(std::uint8_t button) const;
    /// What one open pad asks of the car.
    Driving DrivingOf(_SDL_GameController* pad) const;

    EventHandler& handler;
    bool started = false;  ///< SDL's controller layer is ours to quit
    std::vector<Slot> slots;
    const KeyBindings* bindings = nullptr;
    float deadZone = StickDeadZone;
    float curve = SteeringExponent;
};
