#!/bin/bash
# Frame times of the show room and the race at each graphics preset, side by
# side from one run: mean and 95th percentile (ms), the mean's frames per
# second and the peak resident memory (MB), from ShowRoomBench and RaceBench
# at 1024 x 768. The race replays the Time Trial recorded beside this script
# (RaceBench --replay), so every build draws the very same frames; the
# table ends with the checksum of the replayed poses, the same in every run.
#   bench/presets.sh [build/bin] [frames] [--baseline other/bin]   (from the repository root)
# With --baseline, the benchmarks of another build (one from before the
# presets, say) run in the same session after each of ours, and the table
# ends with that build's frame and how High compares with it.
# Needs the benchmarks built; starts its own Xvfb when no display is set. The
# player's files go to a scratch folder.
set -euo pipefail

bin=build/bin
frames=1200
baseline=
positional=0
while (($#)); do
    case $1 in
    --baseline) baseline=$(realpath "$2"); shift 2 ;;
    *)
        if ((positional == 0)); then bin=$1; else frames=$1; fi
        positional=$((positional + 1))
        shift
        ;;
    esac
done
bin=$(realpath "$bin")
# Made with: RaceBench 36000 0 --record bench/GreenValley-NissanSkyline.ghost
replay=$(realpath "$(dirname "$0")/GreenValley-NissanSkyline.ghost")

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$bin" "$frames" ${baseline:+--baseline "$baseline"}
fi
for program in ShowRoomBench RaceBench; do
    for folder in "$bin" ${baseline:+"$baseline"}; do
        [[ -x $folder/$program ]] || { echo "presets: $folder/$program is missing (build the benchmarks)"; exit 1; }
    done
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

# "mean 12.34 ms (81.0 fps), 95th percentile 15.67 ms" and "peak memory ...: 171.2 MB"
#   -> "12.34 15.67 81.0 171.2"
figures() {
    local times memory
    times=$(sed -n 's/.*mean \([0-9.]*\) ms (\([0-9.]*\) fps), 95th percentile \([0-9.]*\) ms.*/\1 \3 \2/p' "$1" | head -n 1)
    memory=$(sed -n 's/^peak memory[^:]*: \([0-9.]*\) MB.*/\1/p' "$1" | head -n 1)
    echo "$times ${memory:--}"
}

# run NAME PROGRAM ARGS...: the figures of one benchmark run, kept under NAME.
declare -A result
run() {
    local name=$1
    shift
    "$@" >"$work/$name.txt" 2>&1 || { cat "$work/$name.txt"; exit 1; }
    result[$name]=$(figures "$work/$name.txt")
}

# The race's arguments for the RaceBench in folder $1: the recorded run, or
# for a build from before replays the driver, which drives its own physics.
race_args() {
    if grep -q -- --replay "$1/RaceBench"; then
        echo "--replay $replay"
    else
        echo "presets: $1/RaceBench cannot replay a run: it drives, and its frames may differ" >&2
    fi
}

for preset in high medium low; do
    run "room-$preset" "$bin/ShowRoomBench" "$frames" --quality "$preset"
    # shellcheck disable=SC2046 # the replay's path has no blanks
    run "race-$preset" "$bin/RaceBench" "$frames" 0 --quality "$preset" $(race_args "$bin")
    # The baseline right after our High, so both see the same machine.
    if [[ -n $baseline && $preset == high ]]; then
        run room-baseline "$baseline/ShowRoomBench" "$frames"
        # shellcheck disable=SC2046
        run race-baseline "$baseline/RaceBench" "$frames" 0 $(race_args "$baseline")
    fi
done
renderer=$(sed -n 's/^ShowRoomBench: renderer \(.*\), window.*/\1/p' "$work/room-high.txt")

echo "renderer: $renderer; window 1024 x 768; $frames frames each"
printf '%-9s | %-34s | %-34s\n' "" "show room" "race (Time Trial replayed, car 0)"
row='%-9s | %8s %8s %6s %8s   | %8s %8s %6s %8s\n'
printf "$row" preset "mean ms" "p95 ms" fps "peak MB" "mean ms" "p95 ms" fps "peak MB"
rows="high medium low"
[[ -n $baseline ]] && rows="$rows baseline"
for preset in $rows; do
    read -r rm rp rf rmem <<<"${result[room-$preset]}"
    read -r qm qp qf qmem <<<"${result[race-$preset]}"
    printf "$row" "$preset" "$rm" "$rp" "$rf" "$rmem" "$qm" "$qp" "$qf" "$qmem"
done
# Every replay drew the same poses, or the frames compared were not the same.
poses=$(sed -n 's/^poses: CRC-32 \([0-9a-f]*\) .*/\1/p' "$work"/race-*.txt | sort -u)
if [[ $(wc -l <<<"$poses") -eq 1 && -n $poses ]]; then
    echo "race poses: CRC-32 $poses in every run (${replay##*/}, the first $frames frames)"
else
    echo "race poses differ between runs: ${poses//$'\n'/ }"
fi
if [[ -n $baseline ]]; then
    read -r rh _ <<<"${result[room-high]}"
    read -r rb _ <<<"${result[room-baseline]}"
    read -r qh _ <<<"${result[race-high]}"
    read -r qb _ <<<"${result[race-baseline]}"
    awk -v rh="$rh" -v rb="$rb" -v qh="$qh" -v qb="$qb" 'BEGIN {
        printf "high / baseline mean frame time: show room %.3f, race %.3f\n", rh / rb, qh / qb }'
fi
