#pragma once
#include <vector>

#include <vmath/vec3.h>

class GroupNode;
class SwitchNode;

/// Chooses, once a frame, the look each car is drawn with by its distance
/// from the camera: full detail near (or the near look of about 8,000
/// triangles, where the preset asks for it), the copy of about 2,000
/// triangles beyond `MiddleDistanceM`, the one of about 500 beyond
/// `FarDistanceM` (the levels CarDetailLevels hangs in a car's tree). A car
/// can be kept from the finer looks: an opponent is never drawn finer than
/// the middle look, say.
class CarLevelOfDetail {
public:
    static constexpr float MiddleDistanceM = 30.0f;
    static constexpr float FarDistanceM = 150.0f;
    /// A car goes back to a finer look only this much nearer than the
    /// distance it left it at (m), so one keeping near a threshold does not
    /// switch back and forth from frame to frame.
    static constexpr float HysteresisM = 2.0f;

    /// Adds `car` (not owned), whose transform places it in the world, drawn
    /// no finer than `finestLevel` (0: full detail); a car already added only
    /// takes the new finest level. Its switches show `finestLevel` until the
    /// next Select.
    void Add(GroupNode& car, unsigned finestLevel = 0);
    /// Forgets `car`; its switches stay as they are. Unknown cars are ignored.
    void Remove(const GroupNode& car);
    /// Sets every car's switches for a camera at `eye` (world, m), the
    /// distances (thresholds and margin) times `distanceScale`: below 1 the
    /// simplified looks take over nearer, as a preset for a software
    /// rasteriser wants even for the player's car behind the chase camera.
    /// `nearLook`: the cars inside the middle distance are drawn from the near
    /// look instead of at full detail.
    void Select(const vmath::vec3<double>& eye, float distanceScale = 1.0f, bool nearLook = false);

    /// The level `car` is drawn at (CarDetailLevels: Full, Near, Middle or
    /// Far); 0 for a car not added.
    unsigned GetLevel(const GroupNode& car) const;
    unsigned GetCarCount() const { return static_cast<unsigned>(cars.size()); }

private:
    struct Entry {
        GroupNode* car;
        std::vector<SwitchNode*> switches;
        unsigned finest;
        unsigned level;
        unsigned band;  ///< 0 inside the middle distance, 1 inside the far one, 2 beyond
    };
    static void Show(Entry& entry, unsigned level);

    std::vector<Entry> cars;
};
