#!/usr/bin/env bash
# Plays the real program's show room under the current X display: starts the
# game from a foreign working directory, waits for the show room, reads the
# window back (xwd) and checks the menu, the sign and the turning car, sends
# Down, Down, Up, Right, Left (xdotool) and checks the highlighted entry, then
# quits with Escape: exit status 0, no "[ERROR]" line, and in the sanitizer
# build no leak report. Leaves the last window dump as show-room.png in
# $SHOT_DIR when that is set.
#   ShowRoomProgramTest.sh <Vantrel> <WindowShot>
# Needs xwd (x11-apps), xdotool and xwininfo (x11-utils).
set -uo pipefail

game=$(realpath "$1")
shot=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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

xdotool key Escape
for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 20 s after Escape"
wait "$pid"
rc=$?
pid=
[[ $rc -eq 0 ]] || fail "exit status $rc after Escape"
! grep -q '\[ERROR\]' "$work/out.txt" || fail "printed an error: $(grep '\[ERROR\]' "$work/out.txt" | head -n 3)"
! grep -q 'LeakSanitizer\|AddressSanitizer\|runtime error' "$work/err.txt" || fail "sanitizer report"
echo "PASS"
