#pragma once
// The letter keys the race answers to, as virtual-key codes, in one place
// below the race: the pad maps its buttons onto them without knowing the race.

namespace GameKeys {

constexpr unsigned Recover = 'R';  ///< back on the road
constexpr unsigned Pause = 'P';    ///< pause / go on
constexpr unsigned Watch = 'W';    ///< watch the run again (a replay)
constexpr unsigned Ghost = 'G';    ///< the ghost of the best run on or off

}  // namespace GameKeys
