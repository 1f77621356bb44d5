#!/usr/bin/env bash
# Plays the real program under the current X display: starts the game from a
# foreign working directory, waits for the show room, reads the window back
# (xwd) and checks the menu, the sign and the turning car, sends Down, Down,
# Up, Right, Left (xdotool) and checks the highlighted entry. Then the race:
# Return on "Free Drive" starts it, Up held for three seconds moves the car
# (the view and the speed needle change), F1 shows the options panel, Escape
# returns to the show room. Right and Return on "Time Trial" start it with
# car 1 and show the countdown; P shows "Paused" and stops the window still
# (two dumps a second apart are the same), P again lets it run; driven off the
# road at full lock, R puts the car back on it; Escape brings
# the show room back on car 1 and "Time Trial"; Down and Return on "Race"
# show the game's cars on the grid ahead, Escape the show room again; Down
# and Return on "Track" choose the second track (KestrelPass when there, else
# GreenValley reversed), Up and Return race it from its grid; Escape asks
# whether to quit, the game running on under the question, and
# Return answers yes: exit status
# 0, no "[ERROR]" line, a quiet standard output, and in the sanitizer build
# no leak report. With a number of extra mode switches it goes from the show
# room to a race and back that many times before quitting. The player's files
# go to the scratch folder. Leaves the last window dumps as show-room.png,
# race.png, paused.png, off-road.png and recovered.png in $SHOT_DIR when that
# is set.
#   ShowRoomProgramTest.sh <Vantrel> <WindowShot> [extra mode switches]
# Needs xwd (x11-apps), xdotool and xwininfo (x11-utils).
set -uo pipefail

game=$(realpath "$1")
shot=$(realpath "$2")
switches=${3:-0}
work=$(mktemp -d)
trap '"$shot" autorepeat on; rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() {
    echo "FAIL: $*"
    [[ -n ${pid:-} ]] && kill -KILL "$pid" 2>/dev/null
    grep -v '^\[Debug\]' "$work/out.txt" 2>/dev/null | tail -n 20
    tail -n 40 "$work/err.txt" 2>/dev/null
    exit 1
}

# Xvfb now and then refuses a connection that follows another's close: retry.
dump() {
    for _ in 1 2 3 4 5; do
        xwd -id "$id" -silent >"$work/$1.xwd" 2>/dev/null && return 0
        sleep 0.3
    done
    return 1
}

# Records and settings stay out of the real home; the console at its default.
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
unset VANTREL_LOG

source "$(dirname "$(realpath "$0")")/KeepGlDriver.sh"
"${keep_gl_driver[@]}" "$game" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!

# The window first, polling the X server gently (some sandboxed Xvfb servers
# refuse a connection that follows another client's close too closely).
id=
for _ in $(seq 120); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before its window appeared"
    id=$(xwininfo -root -tree 2>/dev/null | grep '"VANTREL")' | head -n 1 | awk '{print $1}')
    [[ -n $id ]] && break
    sleep 0.25
done
[[ -n $id ]] || fail "no window with class VANTREL appeared"

# Then the show room: the models load after the window opens.
shown=
for _ in $(seq 120); do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before the show room appeared"
    dump first && "$shot" shown "$work/first.xwd" && { shown=1; break; }
    sleep 0.5
done
[[ -n $shown ]] || fail "the show room's menu did not appear within 60 s"
echo "show room shown"

sleep 1
dump second || fail "cannot read the window back"
"$shot" check "$work/first.xwd" "$work/second.xwd" 0 || fail "the show room is not drawn as it should be"

# Keys go to the focused window. The game takes one event per frame, and a
# sanitizer build under load draws a frame or two a second, so each menu key
# is followed until its highlight shows.
xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
press() {
    local key=$1 entry=$2
    xdotool key "$key"
    for _ in $(seq 120); do
        dump third && "$shot" shown "$work/third.xwd" "$entry" && return 0
        sleep 0.5
    done
    fail "menu entry $entry was not highlighted within 60 s of $key"
}
press Down 1
press Down 2
press Up 1
xdotool key Right
sleep 0.3
xdotool key Left
sleep 2
dump fourth || fail "cannot read the window back"
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/fourth.xwd" "$SHOT_DIR/show-room.png"
"$shot" check "$work/third.xwd" "$work/fourth.xwd" 1 || fail "after Down, Down, Up the menu should highlight \"Time Trial\""

# A held key must not auto-repeat: the game takes one event a frame, and at a
# few frames a second the repeats would queue up far behind the release.
"$shot" autorepeat off || fail "cannot switch the X server's key auto-repeat off"

# Follows the window until `WindowShot <check> <dump> [entry]` passes.
await() {
    local what=$1 check=$2 entry=${3:-}
    for _ in $(seq 240); do
        kill -0 "$pid" 2>/dev/null || fail "the program ended while waiting for $what"
        dump now && "$shot" "$check" "$work/now.xwd" $entry >/dev/null && return 0
        sleep 0.5
    done
    fail "$what did not show within two minutes"
}

press Up 0
xdotool key Return
await "the Free Drive race" race
echo "Free Drive shown"
# The chase camera runs in over two seconds; the car then stands.
sleep 3
dump standing || fail "cannot read the window back"
xdotool keydown Up
sleep 3
# A slow frame (a sanitizer build under load) may have left the car standing
# so far: hold on until it moves.
moved=
for _ in $(seq 60); do
    dump driving && "$shot" drove "$work/standing.xwd" "$work/driving.xwd" >"$work/drove.txt" && { moved=1; break; }
    sleep 0.5
done
xdotool keyup Up
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/driving.xwd" "$SHOT_DIR/race.png"
cat "$work/drove.txt"
[[ -n $moved ]] || fail "Up held for three seconds and more did not move the car"

xdotool key F1
await "the options panel" options
echo "options panel shown"
xdotool key Escape
await "the show room after the race" shown 0
# The Time Trial with car 1, silver and red where car 0 is blue.
press Down 1
xdotool key Right
for _ in $(seq 120); do
    dump car && ! "$shot" bluecar "$work/car.xwd" >/dev/null && break
    sleep 0.5
done
"$shot" bluecar "$work/car.xwd" >/dev/null && fail "Right did not show car 1"
xdotool key Return
await "the Time Trial's countdown" countdown
echo "countdown shown"

# P stops the world and the clocks: nothing on the window moves.
xdotool key p
await "\"Paused\"" paused
sleep 1
dump pausedA || fail "cannot read the window back"
sleep 1
dump pausedB || fail "cannot read the window back"
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/pausedB.xwd" "$SHOT_DIR/paused.png"
cmp -s "$work/pausedA.xwd" "$work/pausedB.xwd" || fail "the paused race still moves"
echo "paused"
xdotool key p
resumed=
for _ in $(seq 60); do
    dump runA && sleep 0.5 && dump runB && ! "$shot" paused "$work/runB.xwd" &&
        ! cmp -s "$work/runA.xwd" "$work/runB.xwd" && { resumed=1; break; }
done
[[ -n $resumed ]] || fail "P again did not let the race run on"
echo "running again"

# Off the road at full lock once "Go!" releases the car, then R puts it back.
xdotool keydown Up keydown Left
await "the car off the road" offroad
xdotool keyup Left keyup Up
"$shot" offroad "$work/now.xwd"
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/now.xwd" "$SHOT_DIR/off-road.png"
xdotool key r
await "the car back on the road after R" onroad
"$shot" onroad "$work/now.xwd"
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/now.xwd" "$SHOT_DIR/recovered.png"

xdotool key Escape
await "the show room after the Time Trial" shown 1
"$shot" bluecar "$work/now.xwd" >/dev/null && fail "the show room came back on car 0 instead of car 1"
echo "show room back on car 1 and \"Time Trial\""

# A Race: the game's cars stand on the grid ahead of the player's.
press Down 2
xdotool key Return
await "the Race's countdown" countdown
await "the opponents' cars ahead" opponents
"$shot" opponents "$work/now.xwd"
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/now.xwd" "$SHOT_DIR/race-grid.png"
xdotool key Escape
await "the show room after the Race" shown 2
echo "show room back on \"Race\""

# The second track: Return on "Track" steps through the tracks and their
# ways, each choice kept in the settings at once. KestrelPass when the data
# has it, else the second entry, GreenValley reversed; then a Race on it.
if [[ -f "$(dirname "$game")/../data/tracks/KestrelPass/track.ini" ]]; then
    wanted="track = KestrelPass"$'\n'"direction = forward"
else
    wanted="track = GreenValley"$'\n'"direction = reverse"
fi
settings="$work/config/vantrel/settings.ini"
press Down 3
press Down 4
press Down 5
picked=
for _ in 1 2 3 4 5 6; do
    xdotool key Return
    for _ in $(seq 120); do
        grep -q "^track = " "$settings" 2>/dev/null && break
        sleep 0.5
    done
    sleep 1
    [[ "$(grep -A1 '^track = ' "$settings" 2>/dev/null)" == "$wanted" ]] && { picked=1; break; }
done
[[ -n $picked ]] || fail "Return on \"Track\" never chose \"${wanted//$'\n'/, }\": $(grep -A1 '^track' "$settings")"
echo "chose ${wanted//$'\n'/, }"
press Up 4
press Up 3
press Up 2
xdotool key Return
await "the Race's countdown on the second track" countdown
await "the opponents' cars ahead on the second track" opponents
[[ -n ${SHOT_DIR:-} ]] && "$shot" png "$work/now.xwd" "$SHOT_DIR/second-track.png"
xdotool key Escape
await "the show room after the Race on the second track" shown 2
echo "raced the second track"

# Mode switches, each followed until the new mode shows.
for ((i = 0; i < switches; i += 2)); do
    xdotool key Return
    await "race $((i / 2 + 1)) of the mode switches" race
    xdotool key Escape
    await "the show room after race $((i / 2 + 1)) of the mode switches" shown 2
done
((switches > 0)) && echo "$switches mode switches done"

# Escape only asks: the game runs on until Return answers.
xdotool key Escape
sleep 3
kill -0 "$pid" 2>/dev/null || fail "Escape in the show room quit at once instead of asking"
xdotool key Return
for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 20 s after Escape and Return"
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "exit status $rc after Escape and Return"
! grep -q '\[ERROR\]' "$work/out.txt" || fail "printed an error: $(grep '\[ERROR\]' "$work/out.txt" | head -n 3)"
# Without --verbose the game says what went wrong and nothing more.
lines=$(wc -l <"$work/out.txt")
((lines <= 3)) || fail "$lines lines on standard output without --verbose"
! grep -q 'LeakSanitizer\|AddressSanitizer\|runtime error' "$work/err.txt" || fail "sanitizer report"
echo "PASS"
