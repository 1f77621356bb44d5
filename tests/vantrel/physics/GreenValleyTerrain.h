#pragma once
// The game's own track for the physics tests: its terrain read through the
// COLLADA plug-in and handed to a physics world as the race's track load does.
#include <memory>

#include <physics/World.h>

namespace physics_test {

/// A world holding the terrain of GreenValley.dae; null when the track's
/// file or the plug-in is missing, or the terrain is not found in it.
/// @param trackPath the track's .dae file
/// @param pluginPath the debug COLLADA plug-in
std::unique_ptr<physics::World> LoadGreenValley(const char* trackPath, const char* pluginPath);

}  // namespace physics_test
