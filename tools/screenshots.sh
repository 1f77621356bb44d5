#!/usr/bin/env bash
# Takes the README's pictures again, with the game's own F12, on a virtual X
# server: the show room, a Race a few seconds after the start at the High
# preset, and the same at Low, each 1024 x 768. They go to docs/screenshots/
# (or the folder given) as showroom.png, race-high.png and race-low.png, in
# 256 colours to keep the repository small.
# The Race's results table needs the player's car home after a whole lap,
# which nothing here can steer, so it has no picture.
#   tools/screenshots.sh [folder]
# Needs a configured build/ (tools/play.sh makes one), xvfb-run (xvfb),
# xdotool, xwd (x11-apps) and xwininfo (x11-utils).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/docs/screenshots}")

# A virtual screen unless one was given: the pictures must not depend on a
# desktop's window manager, and nothing else may take the keys meanwhile.
if [[ -z ${SCREENSHOTS_DISPLAY:-} ]]; then
    export SCREENSHOTS_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$out"
fi

cmake --build "$root/build" --target Vantrel Quorvex WindowShot -j"$(nproc)" >/dev/null || {
    echo "screenshots.sh: the build failed; run tools/play.sh once first"
    exit 1
}
game=$root/build/bin/Vantrel
shot=$root/build/bin/WindowShot
work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill "$pid" 2>/dev/null; "$shot" autorepeat on; rm -rf "$work"' EXIT

fail() {
    echo "screenshots.sh: $*"
    tail -n 20 "$work"/out-*.txt 2>/dev/null
    exit 1
}

# The player's files, pictures included, stay in the scratch folder.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data SDL_AUDIODRIVER=dummy
pictures=$HOME/Pictures/Vantrel
mkdir -p "$HOME"

dump() {
    for _ in 1 2 3 4 5; do
        xwd -id "$id" -silent >"$work/now.xwd" 2>/dev/null && return 0
        sleep 0.3
    done
    return 1
}

# Follows the window until `WindowShot <check> <dump> [entry]` passes.
await() {
    local what=$1 check=$2 entry=${3:-}
    for _ in $(seq 240); do
        kill -0 "$pid" 2>/dev/null || fail "the game ended while waiting for $what"
        dump && "$shot" "$check" "$work/now.xwd" $entry >/dev/null && return 0
        sleep 0.5
    done
    fail "$what did not show within two minutes"
}

# Starts the game at preset $1 and waits for its show room.
start() {
    "$game" --window 1024x768 --quality "$1" >"$work/out-$1.txt" 2>&1 &
    pid=$!
    id=
    for _ in $(seq 120); do
        kill -0 "$pid" 2>/dev/null || fail "the game ended before its window appeared"
        id=$(xwininfo -root -tree 2>/dev/null | grep '"VANTREL")' | head -n 1 | awk '{print $1}')
        [[ -n $id ]] && break
        sleep 0.25
    done
    [[ -n $id ]] || fail "no game window appeared"
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    await "the show room" shown 0
}

# F12, then the new picture, once the game has written all of it, as $1 in
# 256 colours.
take() {
    local file
    ls "$pictures" >"$work/before.txt" 2>/dev/null
    xdotool key F12
    for _ in $(seq 120); do
        kill -0 "$pid" 2>/dev/null || fail "the game ended while taking $1"
        file=$(ls "$pictures" 2>/dev/null | grep -vxF -f "$work/before.txt" | head -n 1)
        file=${file:+$pictures/$file}
        if [[ -n $file ]] && tail -c 12 "$file" | grep -q IEND; then
            "$shot" palette "$file" "$out/$1" || fail "cannot write $out/$1"
            echo "$out/$1: $(($(stat -c %s "$out/$1") / 1024)) KiB (F12 wrote $(($(stat -c %s "$file") / 1024)) KiB)"
            return 0
        fi
        sleep 0.5
    done
    fail "F12 wrote no picture for $1 within a minute"
}

# Down twice to "Race", Return, the countdown, then three seconds flat out.
race() {
    xdotool key Down
    await "\"Time Trial\" highlighted" shown 1
    xdotool key Down
    await "\"Race\" highlighted" shown 2
    xdotool key Return
    await "the Race's countdown" countdown
    await "the start" race
    # Past "3, 2, 1, Go!" before the throttle counts.
    while dump && "$shot" countdown "$work/now.xwd" >/dev/null; do sleep 0.3; done
    xdotool keydown Up
    sleep 3
    take "$1"
    xdotool keyup Up
}

quit() {
    xdotool key Escape
    await "the show room after the race" shown 2
    xdotool key Escape
    sleep 1
    xdotool key Return
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    pid=
    # Its window gone, so the next game's is the only one.
    for _ in $(seq 40); do
        xwininfo -root -tree 2>/dev/null | grep -q '"VANTREL")' || return 0
        sleep 0.25
    done
    fail "the game's window stayed after it ended"
}

mkdir -p "$out"
# A held key must not repeat: the game takes one event a frame.
"$shot" autorepeat off || fail "cannot switch the X server's key auto-repeat off"

start high
# The turntable turns the car a little further into view.
sleep 3
take showroom.png
race race-high.png
quit

start low
race race-low.png
quit
grep -h '\[WARN\]\|\[ERROR\]' "$work"/out-*.txt
exit 0
