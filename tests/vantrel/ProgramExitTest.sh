#!/usr/bin/env bash
# The program's exit status when the game cannot start: without a display it
# cannot open its window, and from a copy of its folder whose data has no
# show room it cannot start the show room, nor from data without a usable
# car. Each must end at once with status 1 and say why on standard output (a
# player's quit returning 0 is ProgramWindowTest.sh's and ShowRoomProgramTest.sh's).
#   ProgramExitTest.sh <Vantrel>
set -uo pipefail

game=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export XDG_DATA_HOME="$work/player" XDG_CONFIG_HOME="$work/player"
unset VANTREL_LOG

fail() { echo "FAIL: $*"; cat "$work/out.txt" "$work/err.txt" 2>/dev/null | grep -v '^\[Debug\]' | tail -n 20; exit 1; }
source "$(dirname "$(realpath "$0")")/KeepGlDriver.sh"

# Runs the game `$1` with the rest as env's settings; fails unless it ends
# within a minute with status 1, having printed `$expected`.
expect_failure() {
    local program=$1 rc
    shift
    timeout 60 env "$@" "${keep_gl_driver[@]}" "$program" >"$work/out.txt" 2>"$work/err.txt"
    rc=$?
    [[ $rc -eq 1 ]] || fail "exit status $rc, not 1, for: $expected"
    grep -qF "$expected" "$work/out.txt" || fail "no \"$expected\" on standard output"
    echo "exit status 1: $expected"
}

expected="[ERROR] VantrelApp: the game window could not be opened"
expect_failure "$game" -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11

# The program finds its data beside its own folder: a copy of the folder
# (linked where the file system allows) beside data without the show room.
mkdir -p copy/bin copy/data
for file in "$(dirname "$game")"/*; do
    [[ -f $file ]] && { cp -l "$file" copy/bin/ 2>/dev/null || cp "$file" copy/bin/; }
done
data=$(realpath "$(dirname "$game")/../data")
for part in shaders cars tracks; do ln -s "$data/$part" "copy/data/$part"; done
expected="[ERROR] VantrelApp: the show room did not start, the game ends"
expect_failure "copy/bin/$(basename "$game")"
grep -qF "[ERROR] ShowRoom:" "$work/out.txt" || fail "the show room did not say what it lacks"

# Data whose every car is refused: one warning per car naming its file and
# field, then one line saying there is nothing to drive.
rm copy/data/cars
mkdir -p copy/data/models copy/data/cars/Broken
ln -s "$data/models/ShowRoom" copy/data/models/ShowRoom
ln -s "$data/models/SkyDome" copy/data/models/SkyDome
printf '[car]\nname = Broken\n' >copy/data/cars/Broken/car.ini
expected="[ERROR] VantrelApp: no usable car found in ../data/cars, the game ends"
expect_failure "copy/bin/$(basename "$game")"
grep -qF "[Warn] CarDescription - ../data/cars/Broken/car.ini: [car] model is missing; the car is left out" \
    "$work/out.txt" || fail "the refused car was not named"
