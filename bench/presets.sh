#!/bin/bash
# Frame times of the show room and the race at each graphics preset, side by
# side from one run: mean and 95th percentile (ms) and the mean's frames per
# second, from ShowRoomBench and RaceBench at 1024 x 768.
#   bench/presets.sh [build/bin] [show-room frames] [race frames]   (from the repository root)
# Needs the benchmarks built; starts its own Xvfb when no display is set. The
# player's files go to a scratch folder.
set -euo pipefail

bin=$(realpath "${1:-build/bin}")
roomFrames=${2:-200}
raceFrames=${3:-300}

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$bin" "$roomFrames" "$raceFrames"
fi
for program in ShowRoomBench RaceBench; do
    [[ -x $bin/$program ]] || { echo "presets: $bin/$program is missing (build the benchmarks)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

# "mean 12.34 ms (81.0 fps), 95th percentile 15.67 ms" -> "12.34 15.67 81.0"
figures() {
    sed -n 's/.*mean \([0-9.]*\) ms (\([0-9.]*\) fps), 95th percentile \([0-9.]*\) ms.*/\1 \3 \2/p' | head -n 1
}

renderer=
declare -A room race
for preset in high medium low; do
    "$bin/ShowRoomBench" "$roomFrames" --quality "$preset" >"$work/room-$preset.txt" 2>&1 ||
        { cat "$work/room-$preset.txt"; exit 1; }
    "$bin/RaceBench" "$raceFrames" 0 --quality "$preset" >"$work/race-$preset.txt" 2>&1 ||
        { cat "$work/race-$preset.txt"; exit 1; }
    room[$preset]=$(figures <"$work/room-$preset.txt")
    race[$preset]=$(figures <"$work/race-$preset.txt")
    renderer=${renderer:-$(sed -n 's/^ShowRoomBench: renderer \(.*\), window.*/\1/p' "$work/room-$preset.txt")}
done

echo "renderer: $renderer; window 1024 x 768; show room $roomFrames frames, race $raceFrames frames"
printf '%-8s | %-28s | %-28s\n' "" "show room" "race (Time Trial, car 0)"
printf '%-8s | %8s %8s %8s   | %8s %8s %8s\n' preset "mean ms" "p95 ms" fps "mean ms" "p95 ms" fps
for preset in high medium low; do
    read -r rm rp rf <<<"${room[$preset]}"
    read -r qm qp qf <<<"${race[$preset]}"
    printf '%-8s | %8s %8s %8s   | %8s %8s %8s\n' "$preset" "$rm" "$rp" "$rf" "$qm" "$qp" "$qf"
done
