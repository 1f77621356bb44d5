#!/usr/bin/env bash
# Starts the game program from a foreign working directory under the current X
# display and checks its window: title, X11 class, size and position, icon, and
# that the program moved into its own folder. Then ends it with SIGTERM and,
# on a second run, SIGINT: both must take the quit path and exit with 0.
# Needs xwininfo and xprop (x11-utils).
set -uo pipefail
# Job control: without it a background job starts with SIGINT ignored, and a
# program never sees a signal its parent told it to ignore.
set -m

game=$(realpath "$1")
source "$(dirname "$(realpath "$0")")/KeepGlDriver.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() { echo "FAIL: $*"; [[ -n ${pid:-} ]] && kill -KILL "$pid" 2>/dev/null; exit 1; }

# Prints the xwininfo tree line of the game's window once it is mapped.
# Polls gently: some sandboxed Xvfb servers refuse a connection that follows
# another client's close too closely.
wait_for_window() {
    local line
    for _ in $(seq 120); do
        kill -0 "$pid" 2>/dev/null || return 1
        line=$(xwininfo -root -tree | grep '"VANTREL")' | head -n 1)
        if [[ -n $line ]]; then echo "$line"; return 0; fi
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

run_once TERM
sleep 0.5
run_once INT
echo "PASS"
