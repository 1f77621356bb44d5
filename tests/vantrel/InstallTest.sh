#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a player and a
# desktop see there: the commands work from any folder (options, exit status,
# modelinfo with its plug-in), every installed binary carries RUNPATH $ORIGIN
# and no debug flavour is installed, the desktop entry and the AppStream file
# validate, and the game started through its launcher runs from its private
# folder on the installed libraries and data until SIGTERM ends it with 0.
#   InstallTest.sh <cmake> <build dir> <version>
# Needs an X display, xwininfo (x11-utils), readelf (binutils),
# desktop-file-validate (desktop-file-utils) and appstreamcli (appstream).
set -uo pipefail
# Job control: a background job then keeps the default SIGTERM handling.
set -m

cmake=$1 build=$2 version=$3
source "$(dirname "$(realpath "$0")")/KeepGlDriver.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() { echo "FAIL: $*"; [[ -n ${pid:-} ]] && kill -KILL "$pid" 2>/dev/null; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.txt" 2>&1 ||
    { cat "$work/install.txt"; fail "cmake --install"; }
bin=$(realpath "$prefix/lib/vantrel/bin")
game=$prefix/games/vantrel
mkdir "$work/elsewhere" && cd "$work/elsewhere" || exit 1

# --- Commands
out=$("$game" --version) || fail "--version exit status $?"
[[ $out == "Vantrel $version" ]] || fail "--version printed '$out'"
out=$("$game" --help) || fail "--help exit status $?"
[[ $out == *--help* && $out == *--version* ]] || fail "--help printed '$out'"
"$game" --no-such-option >"$work/out.txt" 2>"$work/err.txt"
rc=$?
[[ $rc -eq 2 && ! -s $work/out.txt ]] || fail "unknown option: exit status $rc, stdout '$(cat "$work/out.txt")'"
grep -q -- '--version' "$work/err.txt" || fail "unknown option printed no usage: $(cat "$work/err.txt")"
# Image paths count from the current folder, so it checks from the model's.
(cd "$prefix/share/games/vantrel/models/ShowRoom" && modelinfo=$prefix/bin/modelinfo &&
    "$modelinfo" ShowRoom.dae >"$work/modelinfo.txt") ||
    { cat "$work/modelinfo.txt"; fail "modelinfo on the installed show room"; }

# --- Binaries: found beside each other wherever the prefix is, release only
for file in "$bin"/*; do
    readelf -d "$file" | grep -q 'runpath: \[\$ORIGIN\]$' || fail "RUNPATH of $file: $(readelf -d "$file" | grep -i path)"
done
debug=$(ls "$bin" | grep 'D\.so$') && fail "debug flavour installed: $debug"

# --- Desktop files
desktop-file-validate "$prefix/share/applications/vantrel.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >"$work/appstream.txt" ||
    { cat "$work/appstream.txt"; fail "AppStream metadata"; }

# --- The game through its launcher, its player's files in the scratch folder
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
"${keep_gl_driver[@]}" "$game" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
show() { cat "$work/out.txt" "$work/err.txt"; }
# Polls gently, as the program window test does; the plug-in is loaded on the
# show room's first model, so once it is mapped the data has been reached.
for _ in $(seq 240); do
    kill -0 "$pid" 2>/dev/null || { show; fail "the game ended before its show room was up"; }
    grep -q "$bin/libQuorvex.so" "/proc/$pid/maps" && xwininfo -root -tree | grep -q '"VANTREL")' && break
    sleep 0.25
done
xwininfo -root -tree | grep -q '"VANTREL")' || { show; fail "no window with class VANTREL appeared"; }
grep -q "$bin/libQuorvex.so" "/proc/$pid/maps" || { show; fail "the plug-in was not loaded from $bin"; }
[[ $(readlink "/proc/$pid/cwd") == "$bin" ]] || fail "working directory is $(readlink "/proc/$pid/cwd")"
for library in libNodara.so libLumora.so libSonavar.so; do
    grep -q "$bin/$library" "/proc/$pid/maps" || fail "$library not loaded from $bin"
done
# The show room loads on after the plug-in; it must still be running.
sleep 1
kill -0 "$pid" 2>/dev/null || { show; fail "the game ended while loading its show room"; }
kill -TERM "$pid"
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 10 s after SIGTERM"
wait "$pid"
rc=$?
pid=
show
[[ $rc -eq 0 ]] || fail "exit status $rc after SIGTERM"
! grep -q '\[ERROR\]' "$work/out.txt" || fail "printed an error"
echo "PASS"
