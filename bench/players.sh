#!/bin/bash
# Frame rates of a race shared by two to four local players, beside one
# player's in the same session: RaceBench at 1024 x 768 for each preset,
#   1 player    the Time Trial replayed (as presets.sh), ours and, with
#               --baseline, another build's right after it
#   2 players   the race alone, both at the keyboard driven by the test driver
#   2 + 4       the same with four of the game's cars
#   4 players   two at the keyboard, two on pads standing on the grid
# printing frames per second (mean frame) and the 95th percentile (ms).
#   bench/players.sh [build/bin] [frames] [--baseline other/bin] [--presets "low medium high"]
# (from the repository root). Starts its own Xvfb when no display is set.
set -euo pipefail

bin=build/bin
frames=1200
baseline=
presets="low medium high"
positional=0
arguments=("$@")
while (($#)); do
    case $1 in
    --baseline) baseline=$(realpath "$2"); shift 2 ;;
    --presets) presets=$2; shift 2 ;;
    *)
        if ((positional == 0)); then bin=$1; else frames=$1; fi
        positional=$((positional + 1))
        shift
        ;;
    esac
done
bin=$(realpath "$bin")
replay=$(realpath "$(dirname "$0")/GreenValley-NissanSkyline.ghost")
if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "${arguments[@]}"
fi
for folder in "$bin" ${baseline:+"$baseline"}; do
    [[ -x $folder/RaceBench ]] || { echo "players: $folder/RaceBench is missing (build the benchmarks)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

# "mean 12.34 ms (81.0 fps), 95th percentile 15.67 ms" -> "81.0 15.67"
figures() {
    local times
    times=$(sed -n 's/.*mean \([0-9.]*\) ms (\([0-9.]*\) fps), 95th percentile \([0-9.]*\) ms.*/\2 \3/p' "$1" | head -n 1)
    echo "${times:-- -}"
}
# one NAME FOLDER ARGS...: a run's "fps p95", its output kept.
one() {
    local name=$1 folder=$2
    shift 2
    "$folder/RaceBench" "$frames" 0 "$@" >"$work/$name.txt" 2>&1 || true
    figures "$work/$name.txt"
}

printf '%-8s %-24s %-24s %-24s %-24s %s\n' preset "1 player (fps, p95 ms)" "2 players" "2 players + 4" "4 players" \
    "${baseline:+1 player, baseline}"
for preset in $presets; do
    solo=$(one "$preset-1" "$bin" --quality "$preset" --replay "$replay")
    base=
    [[ -n $baseline ]] && base=$(one "$preset-base" "$baseline" --quality "$preset" --replay "$replay")
    two=$(one "$preset-2" "$bin" --quality "$preset" --players 2)
    field=$(one "$preset-2f" "$bin" --quality "$preset" --players 2 --opponents 4)
    four=$(one "$preset-4" "$bin" --quality "$preset" --players 4)
    printf '%-8s %-24s %-24s %-24s %-24s %s\n' "$preset" "$solo" "$two" "$field" "$four" "$base"
    grep -h '^poses:' "$work/$preset-1.txt" "$work"/"$preset"-base.txt 2>/dev/null | sed 's/^/    /' || true
done
