#!/bin/bash
# The race at Low beside the peer kart racer at its lowest settings, in one
# session, alternating: the peer's run, then ours, twice over. Ours is
# RaceBench at 1024 x 768 on the Low preset, the race alone replayed from the
# recorded run beside this script and the race against five of the game's
# cars; the peer's is the "Average FPS" its own profile run prints (PEER, by
# default ../shared/tools/peer-bench.sh, on its lighthouse track with one
# kart). Prints every run's figure, then each mean and its ratio to the peer's
# beside the targets (x 1.25 alone, x 1.0 with five cars).
#   bench/peer.sh [build/bin] [frames] [--peer-seconds S] [--rounds N]
# (from the repository root). The machine should be quiet: another build or
# test run beside it moves both figures. Starts its own Xvfb for ours when no
# display is set; the peer's script starts its own.
set -euo pipefail

bin=build/bin
frames=1200
peerSeconds=40
rounds=2
positional=0
while (($#)); do
    case $1 in
    --peer-seconds) peerSeconds=$2; shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    *)
        if ((positional == 0)); then bin=$1; else frames=$1; fi
        positional=$((positional + 1))
        shift
        ;;
    esac
done
bin=$(realpath "$bin")
here=$(dirname "$(realpath "$0")")
peer=${PEER:-$here/../../shared/tools/peer-bench.sh}
replay=$here/GreenValley-NissanSkyline.ghost
[[ -x $bin/RaceBench ]] || { echo "peer: $bin/RaceBench is missing (build the benchmarks)"; exit 1; }
[[ -x $peer ]] || { echo "peer: the peer's benchmark $peer is missing (set PEER)"; exit 1; }

work=$(mktemp -d)
xvfb=
cleanup() {
    [[ -n $xvfb ]] && kill "$xvfb" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
if [[ -z ${DISPLAY:-} ]]; then
    # A display of its own, away from the one the peer's script takes.
    Xvfb :93 -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
    xvfb=$!
    export DISPLAY=:93
    sleep 2
fi
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
    LIBGL_ALWAYS_SOFTWARE=1

# ours NAME ARGS...: RaceBench's frames per second for the mean frame.
ours() {
    local name=$1
    shift
    "$bin/RaceBench" "$frames" 0 --quality low "$@" >"$work/$name.txt" 2>&1 || {
        echo "peer: RaceBench $* failed:" >&2
        tail -n 20 "$work/$name.txt" >&2
        exit 1
    }
    sed -n 's/.*mean [0-9.]* ms (\([0-9.]*\) fps).*/\1/p' "$work/$name.txt" | head -n 1
}

peers=() alone=() field=()
for ((round = 1; round <= rounds; ++round)); do
    figure=$("$peer" "$peerSeconds" | sed -n 's/.*Average FPS:* *\([0-9.]*\).*/\1/p' | head -n 1)
    [[ -n $figure ]] || { echo "peer: the peer's run printed no frame rate" >&2; exit 1; }
    peers+=("$figure")
    alone+=("$(ours "alone-$round" --replay "$replay")")
    field+=("$(ours "field-$round" --opponents 5)")
    printf 'round %d: peer %s fps, race alone %s fps, race with 5 cars %s fps\n' \
        "$round" "${peers[-1]}" "${alone[-1]}" "${field[-1]}"
done

mean() { tr ' ' '\n' <<<"$*" | awk '{ s += $1 } END { printf "%.1f", s / NR }'; }
p=$(mean "${peers[@]}")
a=$(mean "${alone[@]}")
f=$(mean "${field[@]}")
printf 'peer (lowest settings)   %6s fps\n' "$p"
printf 'race at Low, alone       %6s fps  %s x the peer (target 1.25)\n' "$a" "$(awk -v a="$a" -v p="$p" 'BEGIN { printf "%.2f", a / p }')"
printf 'race at Low, 5 cars      %6s fps  %s x the peer (target 1.00)\n' "$f" "$(awk -v a="$f" -v p="$p" 'BEGIN { printf "%.2f", a / p }')"
