#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a player and a
# desktop see there: the commands work from any folder (options, exit status,
# modelinfo with its plug-in), every installed binary carries RUNPATH $ORIGIN
# and no debug flavour is installed, the desktop entry and the AppStream file
# validate, the icons, the manual pages (with every option --help prints) and
# the copyright file are in place, and the game started through its launcher
# runs from its private folder on the installed libraries and data, draws its
# show room (read back from the window) and ends with 0 on SIGTERM; the
# dedicated server started through its command finds the installed tracks,
# listens on loopback and ends with 0 on SIGTERM.
#   InstallTest.sh <cmake> <build dir> <version> <WindowShot>
# Needs an X display, xwininfo (x11-utils), xwd (x11-apps), readelf
# (binutils), desktop-file-validate (desktop-file-utils), appstreamcli
# (appstream) and gzip.
set -uo pipefail
# Job control: a background job then keeps the default SIGTERM handling.
set -m

cmake=$1 build=$2 version=$3 shot=$(realpath "$4")
here=$(dirname "$(realpath "$0")")
source "$here/KeepGlDriver.sh"
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
# The dedicated server beside the game: its options, and the tracks found
# through the program's own folder. Loopback only.
server=$prefix/games/vantrel-server
out=$("$server" --version) || fail "vantrel-server --version exit status $?"
[[ $out == "vantrel-server $version" ]] || fail "vantrel-server --version printed '$out'"
"$server" --no-such-option >"$work/out.txt" 2>"$work/err.txt"
rc=$?
[[ $rc -eq 2 && ! -s $work/out.txt ]] || fail "vantrel-server, unknown option: exit status $rc"
"$server" --address 127.0.0.1 --port 0 --track KestrelPass >"$work/server.txt" 2>&1 &
server_pid=$!
for _ in $(seq 100); do
    grep -q 'listening on 127\.0\.0\.1:' "$work/server.txt" && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
grep -q 'listening on 127\.0\.0\.1:.*KestrelPass' "$work/server.txt" ||
    { cat "$work/server.txt"; kill -KILL "$server_pid" 2>/dev/null; fail "the installed server did not start on its tracks"; }
kill -TERM "$server_pid"
wait "$server_pid"
rc=$?
[[ $rc -eq 0 ]] || { cat "$work/server.txt"; fail "vantrel-server: exit status $rc after SIGTERM"; }
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
# The desktop's icons: a PNG of each size the theme is told it has.
for size in 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/vantrel.png
    [[ -f $icon ]] || fail "no ${size} px icon at $icon"
    # The PNG signature, then the IHDR chunk's width and height (big-endian).
    read -ra head <<<"$(od -An -tu1 -N24 -w24 "$icon")"
    [[ ${head[*]:0:8} == "137 80 78 71 13 10 26 10" ]] || fail "$icon is not a PNG"
    width=$(((head[16] << 24) | (head[17] << 16) | (head[18] << 8) | head[19]))
    height=$(((head[20] << 24) | (head[21] << 16) | (head[22] << 8) | head[23]))
    [[ $width -eq $size && $height -eq $size ]] || fail "$icon is $width x $height, not $size x $size"
done

# --- Documents: the manual pages, compressed, with the version; the copyright
for page in man6/vantrel.6.gz man6/vantrel-server.6.gz man1/modelinfo.1.gz; do
    text=$(gzip -dc "$prefix/share/man/$page" 2>&1) || fail "manual page $page: $text"
    head -n 1 <<<"$text" | grep -qF "\"Vantrel $version\"" || fail "manual page $page without the version: $(head -n 1 <<<"$text")"
    ! grep -q '@[A-Z_]*@' <<<"$text" || fail "manual page $page keeps a placeholder: $(grep '@[A-Z_]*@' <<<"$text")"
done
"$here/ManualPageTest.sh" "$game" "$prefix/share/man/man6/vantrel.6.gz" || fail "the installed manual page against --help"
"$here/ManualPageTest.sh" "$server" "$prefix/share/man/man6/vantrel-server.6.gz" ||
    fail "the installed server's manual page against its --help"
copyright=$prefix/share/doc/vantrel/copyright
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/' "$copyright" 2>/dev/null &&
    grep -q '^License: ' "$copyright" || fail "no machine-readable copyright file at $copyright"

# --- The game through its launcher, its player's files in the scratch folder
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
"${keep_gl_driver[@]}" "$game" >"$work/out.txt" 2>"$work/err.txt" &
pid=$!
show() { cat "$work/out.txt" "$work/err.txt"; }
# Xvfb now and then refuses a connection that follows another's close: retry.
dump() {
    for _ in 1 2 3 4 5; do
        xwd -id "$id" -silent >"$work/$1.xwd" 2>/dev/null && return 0
        sleep 0.3
    done
    return 1
}
# Polls gently, as the program window test does, for a minute of the clock
# however slowly each look goes: the window first.
deadline=$((SECONDS + 60))
id=
while ((SECONDS < deadline)); do
    kill -0 "$pid" 2>/dev/null || { show; fail "the game ended before its window appeared"; }
    id=$(xwininfo -root -tree 2>/dev/null | grep '"VANTREL")' | head -n 1 | awk '{print $1}')
    [[ -n $id ]] && break
    sleep 0.25
done
[[ -n $id ]] || { show; fail "no window with class VANTREL appeared within 60 s"; }
# Then the show room, drawn from the installed data through the installed
# plug-in: its menu, then a second later the sign, the room and the car
# turning on its turntable.
shown=
while ((SECONDS < deadline)); do
    kill -0 "$pid" 2>/dev/null || { show; fail "the game ended before its show room was drawn"; }
    dump first && "$shot" shown "$work/first.xwd" && { shown=1; break; }
    sleep 0.5
done
[[ -n $shown ]] || { show; fail "the show room's menu was not drawn within 60 s of the start"; }
sleep 1
dump second || fail "cannot read the window back"
"$shot" check "$work/first.xwd" "$work/second.xwd" 0 || { show; fail "the installed game does not draw its show room"; }
grep -q "$bin/libQuorvex.so" "/proc/$pid/maps" || { show; fail "the plug-in was not loaded from $bin"; }
[[ $(readlink "/proc/$pid/cwd") == "$bin" ]] || fail "working directory is $(readlink "/proc/$pid/cwd")"
for library in libNodara.so libLumora.so libSonavar.so; do
    grep -q "$bin/$library" "/proc/$pid/maps" || fail "$library not loaded from $bin"
done
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
