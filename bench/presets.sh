#!/bin/bash
# Frame rates of the show room, the race alone and the race with five
# opponents at each graphics preset, from ShowRoomBench and RaceBench at
# 1024 x 768: per column the frames per second of the mean frame, the 95th
# percentile (ms), the 99th percentile over the median and the peak resident
# memory (MB). The race alone replays the Time Trial recorded beside this
# script (RaceBench --replay), so every build draws the very same frames; the
# table ends with the checksum of the replayed poses, the same in every run.
# The race with opponents is driven by the benchmark's driver.
#   bench/presets.sh [build/bin] [frames] [--baseline other/bin] [--runs N] [--presets "high medium low"]
# (from the repository root). With --baseline, the benchmarks of another
# build run in the same session right after each of ours, so both see the
# same load on a shared machine; the table gives that build's rows under
# ours and the ratio of our frame rate to its. With --runs N every figure is
# the median of N such alternating runs.
# A second table sets each p99 / median beside two that tell the game's
# hitches from the machine's: "recurring", the tail of each frame's median
# time over the runs (with --runs 2 or more: a hitch of the game's own, a
# scenery cell or a sound, falls on the same frame every run, a delay the
# machine gives at random does not), and "machine", MachineTailBench given
# the processor time a frame of ours took, drawing nothing, run right after.
# Needs the benchmarks built; starts its own Xvfb when no display is set. The
# player's files go to a scratch folder.
set -euo pipefail

bin=build/bin
frames=1200
baseline=
runs=1
presets="high medium low"
positional=0
arguments=("$@")
while (($#)); do
    case $1 in
    --baseline) baseline=$(realpath "$2"); shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --presets) presets=$2; shift 2 ;;
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
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "${arguments[@]}"
fi
for program in ShowRoomBench RaceBench; do
    for folder in "$bin" ${baseline:+"$baseline"}; do
        [[ -x $folder/$program ]] || { echo "presets: $folder/$program is missing (build the benchmarks)"; exit 1; }
    done
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy

# "mean 12.34 ms (81.0 fps), 95th percentile 15.67 ms", "(1.23 x the median)"
# and "peak memory ...: 171.2 MB" -> "81.0 15.67 1.23 171.2" ("-" for a
# figure an older build does not print).
figures() {
    local times tail memory
    times=$(sed -n 's/.*mean \([0-9.]*\) ms (\([0-9.]*\) fps), 95th percentile \([0-9.]*\) ms.*/\2 \3/p' "$1" | head -n 1)
    tail=$(sed -n 's/^frame time tail:.*(\([0-9.]*\) x the median).*/\1/p' "$1" | head -n 1)
    memory=$(sed -n 's/^peak memory[^:]*: \([0-9.]*\) MB.*/\1/p' "$1" | head -n 1)
    echo "${times:-- -} ${tail:--} ${memory:--}"
}

# run NAME PROGRAM ARGS...: one benchmark run's figures, added to those under NAME.
declare -A result
run() {
    local name=$1
    shift
    "$@" >"$work/$name.txt" 2>&1 || {
        echo "presets: $* failed:"
        tail -n 20 "$work/$name.txt"
        exit 1
    }
    result[$name]+="$(figures "$work/$name.txt");"
}

# The median of each figure over the runs under NAME: "fps p95 tail MB"
# ("-" for a figure no run printed).
median() {
    local field values out=()
    for field in 1 2 3 4; do
        values=$(tr ';' '\n' <<<"${result[$1]}" | awk -v f="$field" 'NF == 4 && $f != "-" { print $f }' | sort -g)
        if [[ -z $values ]]; then
            out+=(-)
        else
            out+=("$(awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }' <<<"$values")")
        fi
    done
    echo "${out[*]}"
}

# "--frame-times FILE" for the benchmark $1 if it can write its frame
# times, FILE for the run named $2 and round $3.
frame_times() {
    grep -q -- --frame-times "$1" && echo "--frame-times $work/frames-$2-$3.txt"
    return 0
}

# The machine's own tail for a frame of the processor work the run named $1
# (of ours) took, if the benchmark is built: under NAME "machine-$1".
machine_run() {
    [[ -x $bin/MachineTailBench ]] || return 0
    local whole main
    read -r whole main < <(sed -n 's/^processor time per frame: whole process \([0-9.]*\) ms, main thread \([0-9.]*\) ms.*/\1 \2/p' "$work/$1.txt")
    [[ -n $main ]] || return 0
    run "machine-$1" "$bin/MachineTailBench" "$frames" --main-ms "$main" --workers-ms "$(awk -v w="$whole" -v m="$main" 'BEGIN { print w - m }')"
}

# p99 / median of each frame's median time over the runs named $1
# ("-" with fewer than two runs' frame times).
recurring() {
    local files=("$work/frames-$1-"*.txt)
    if ((${#files[@]} < 2)) || [[ ! -e ${files[0]} ]]; then
        echo -
        return
    fi
    paste "${files[@]}" | awk '{
        n = split($0, v); for (i = 2; i <= n; ++i) for (j = i; j > 1 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        print (n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2) }' | sort -g |
        awk '{ v[NR - 1] = $1 } END { p = int(NR * 99 / 100); if (p > NR - 1) p = NR - 1; printf "%.2f\n", v[p] / v[int(NR / 2)] }'
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

# Every run of ours is followed at once by the same run of the baseline.
for ((r = 0; r < runs; ++r)); do
    for preset in $presets; do
        for build in ours ${baseline:+base}; do
            folder=$bin
            [[ $build == base ]] && folder=$baseline
            # shellcheck disable=SC2046 # the scratch folder's path has no blanks
            run "room-$preset-$build" "$folder/ShowRoomBench" "$frames" --quality "$preset" \
                $(frame_times "$folder/ShowRoomBench" "room-$preset-$build" "$r")
            [[ $build == ours ]] && machine_run "room-$preset-$build"
        done
        for build in ours ${baseline:+base}; do
            folder=$bin
            [[ $build == base ]] && folder=$baseline
            # shellcheck disable=SC2046 # the replay's path has no blanks
            run "race-$preset-$build" "$folder/RaceBench" "$frames" 0 --quality "$preset" $(race_args "$folder") \
                $(frame_times "$folder/RaceBench" "race-$preset-$build" "$r")
            cp "$work/race-$preset-$build.txt" "$work/poses-$preset-$build-$r.txt"
            [[ $build == ours ]] && machine_run "race-$preset-$build"
        done
        for build in ours ${baseline:+base}; do
            folder=$bin
            [[ $build == base ]] && folder=$baseline
            # shellcheck disable=SC2046
            run "field-$preset-$build" "$folder/RaceBench" "$frames" 0 --quality "$preset" --opponents 5 \
                $(frame_times "$folder/RaceBench" "field-$preset-$build" "$r")
            [[ $build == ours ]] && machine_run "field-$preset-$build"
        done
    done
done
renderer=$(sed -n 's/^ShowRoomBench: renderer \(.*\), window.*/\1/p' "$work"/room-*-ours.txt | head -n 1)

echo "renderer: $renderer; window 1024 x 768; $frames frames each; median of $runs run(s) a figure"
printf '%-14s | %-29s | %-29s | %-29s\n' "" "show room" "race alone (replayed)" "race, 5 opponents (driven)"
row='%-14s | %6s %7s %6s %7s | %6s %7s %6s %7s | %6s %7s %6s %7s\n'
printf "$row" preset fps p95 p99/med MB fps p95 p99/med MB fps p95 p99/med MB
for preset in $presets; do
    for build in ours ${baseline:+base}; do
        label=$preset
        [[ $build == base ]] && label="$preset (base)"
        # shellcheck disable=SC2046
        printf "$row" "$label" $(median "room-$preset-$build") $(median "race-$preset-$build") \
            $(median "field-$preset-$build")
    done
    if [[ -n $baseline ]]; then
        read -r ra _ <<<"$(median "room-$preset-ours")"
        read -r rb _ <<<"$(median "room-$preset-base")"
        read -r qa _ <<<"$(median "race-$preset-ours")"
        read -r qb _ <<<"$(median "race-$preset-base")"
        read -r fa _ <<<"$(median "field-$preset-ours")"
        read -r fb _ <<<"$(median "field-$preset-base")"
        awk -v l="$preset ours/base" -v ra="$ra" -v rb="$rb" -v qa="$qa" -v qb="$qb" -v fa="$fa" -v fb="$fb" 'BEGIN {
            printf "%-14s | %6.2f %22s | %6.2f %22s | %6.2f\n", l, ra / rb, "", qa / qb, "", fa / fb }'
    fi
done
echo
echo "p99 / median: the runs' (median), each frame's median over the runs (recurring), MachineTailBench with the same processor time a frame (machine)"
row='%-14s | %6s %9s %7s | %6s %9s %7s | %6s %9s %7s\n'
printf "$row" preset runs recurring machine runs recurring machine runs recurring machine
for preset in $presets; do
    for build in ours ${baseline:+base}; do
        label=$preset
        [[ $build == base ]] && label="$preset (base)"
        cells=()
        for what in room race field; do
            read -r _ _ tail _ <<<"$(median "$what-$preset-$build")"
            machine=-
            if [[ -n ${result[machine-$what-$preset-$build]:-} ]]; then
                read -r _ _ machine _ <<<"$(median "machine-$what-$preset-$build")"
            fi
            cells+=("$tail" "$(recurring "$what-$preset-$build")" "$machine")
        done
        # shellcheck disable=SC2059
        printf "$row" "$label" "${cells[@]}"
    done
done
# How long Return in the show room leaves the player waiting, at worst.
ready=$(cat "$work"/poses-*-ours-*.txt "$work"/field-*-ours.txt 2>/dev/null | sed -n 's/^race ready: \([0-9.]*\) s.*/\1/p' | sort -g | tail -n 1)
[[ -n $ready ]] && echo "race ready (ours): at most $ready s from the start asked to the first frame"
# Every replay drew the same poses, or the frames compared were not the same.
poses=$(sed -n 's/^poses: CRC-32 \([0-9a-f]*\) .*/\1/p' "$work"/poses-*.txt | sort -u)
if [[ $(wc -l <<<"$poses") -eq 1 && -n $poses ]]; then
    echo "race poses: CRC-32 $poses in every replayed run (${replay##*/}, the first $frames frames)"
else
    echo "race poses differ between runs: ${poses//$'\n'/ }"
fi
