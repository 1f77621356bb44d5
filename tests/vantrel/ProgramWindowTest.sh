#!/usr/bin/env bash
# Starts the game program from a foreign working directory under the current X
# display and checks its window: title, X11 class, size and position, icon, and
# that the program moved into its own folder. Then ends it with SIGTERM and,
# on a second run, SIGINT: both must take the quit path and exit with 0.
# A third run, at --quality low: F11 makes the window cover the screen and
# F11 again gives it back its 1024x768, and the choice is kept in the
# settings. The player's files go to the scratch folder.
# Needs xwininfo and xprop (x11-utils), xdotool.
set -uo pipefail
# Job control: without it a background job starts with SIGINT ignored, and a
# program never sees a signal its parent told it to ignore.
set -m

game=$(realpath "$1")
source "$(dirname "$(realpath "$0")")/KeepGlDriver.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"

fail() { echo "FAIL: $*"; [[ -n ${pid:-} ]] && kill -KILL "$pid" 2>/dev/null; exit 1; }

# Prints the xwininfo tree line of the game's window once it is mapped.
# Polls gently: some sandboxed Xvfb servers refuse a connection that follows
# another client's close too closely.
wait_for_window() {
    local line unnamed=0
    for _ in $(seq 120); do
        kill -0 "$pid" 2>/dev/null || return 1
        line=$(xwininfo -root -tree | grep '"VANTREL")' | head -n 1)
        # The class is set as the window is made and the title just after:
        # a window still without a name is looked at again.
        if [[ -n $line && ($line != *'(has no name)'* || $unnamed -ge 8) ]]; then
            echo "$line"; return 0
        fi
        [[ -n $line ]] && unnamed=$((unnamed + 1))
        sleep 0.25
    done
    return 1
}

run_once() {
    local signal=$1
    "${keep_gl_driver[@]}" "$game" >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    if ! line=$(wait_for_window); then
        cat "$work/out.txt" "$work/err.txt"
        fail "no window with class VANTREL appeared"
    fi
    echo "window: $line"
    [[ $line == *'"Vantrel": ("VANTREL" "VANTREL")'* ]] || fail "title or class: $line"
    [[ $line == *' 1024x768+0+0 '* ]] || fail "size or position: $line"
    id=$(awk '{print $1}' <<<"$line")
    icon=$(xprop -id "$id" _NET_WM_ICON)
    [[ ${icon:0:200} =~ 48\ x\ 48|=\ 48,\ 48 ]] || fail "no 48 x 48 icon: ${icon:0:80}"
    # The window found may still be the previous run's, closing: give this
    # run a moment to reach its own folder before judging.
    local cwd=""
    for _ in $(seq 50); do
        cwd=$(readlink "/proc/$pid/cwd")
        [[ $cwd == "$(dirname "$game")" ]] && break
        sleep 0.1
    done
    [[ $cwd == "$(dirname "$game")" ]] || fail "working directory is $cwd"

    kill "-$signal" "$pid"
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "still running 10 s after SIG$signal"
    wait "$pid"
    local rc=$?
    pid=
    cat "$work/out.txt" "$work/err.txt"
    [[ $rc -eq 0 ]] || fail "exit status $rc after SIG$signal"
    ! grep -q '\[ERROR\]' "$work/out.txt" || fail "printed an error"
    echo "SIG$signal: clean exit"
}

# Follows the window's geometry until it reads `$1`.
await_geometry() {
    local line
    for _ in $(seq 80); do
        line=$(xwininfo -id "$id" 2>/dev/null | awk '/-geometry/ {print $2}')
        [[ $line == "$1"* ]] && return 0
        sleep 0.25
    done
    fail "window geometry $line, not $1"
}

# Follows the settings file until it holds the line `$1`: the window may take
# its new size before the game has written the choice down.
await_setting() {
    for _ in $(seq 80); do
        grep -qx "$1" "$work/config/vantrel/settings.ini" 2>/dev/null && return 0
        sleep 0.25
    done
    fail "$2"
}

full_screen() {
    # The earlier runs kept the preset of their renderer; the player chose another since.
    sed -i 's/^quality = .*/quality = medium/' "$work/config/vantrel/settings.ini"
    "${keep_gl_driver[@]}" "$game" --quality low >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    line=$(wait_for_window) || fail "no window at --quality low"
    id=$(awk '{print $1}' <<<"$line")
    screen=$(xwininfo -root | awk '/-geometry/ {print $2}' | cut -d+ -f1)
    # The window exists before it is mapped, and focusing it then fails
    # (BadMatch), so that F11 would go to no window: wait until it shows.
    for _ in $(seq 120); do
        xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && break
        sleep 0.25
    done
    timeout 10 xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id" || fail "cannot focus the window"
    xdotool key F11
    await_geometry "$screen"
    echo "F11: full screen $screen"
    await_setting 'fullscreen = true' "full screen not kept"
    xdotool key F11
    await_geometry 1024x768
    echo "F11 again: 1024x768"
    await_setting 'fullscreen = false' "the window not kept"
    # --quality is for the run only: the preset kept stays.
    grep -q '^quality = medium$' "$work/config/vantrel/settings.ini" || fail "--quality was saved"
    kill -TERM "$pid"
    wait "$pid"
    local rc=$?
    pid=
    [[ $rc -eq 0 ]] || fail "exit status $rc at --quality low"
}

run_once TERM
sleep 0.5
run_once INT
sleep 0.5
full_screen
echo "PASS"
