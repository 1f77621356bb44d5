#!/usr/bin/env bash
# Installs every Debian package Vantrel needs to build, run and test, skipping
# what is already present. Run as root (or with sudo available).
#   tools/install-deps.sh          build, run and test dependencies
#   tools/install-deps.sh --assets also the tools that regenerate data/ (Blender, lame;
#                                  tools/assets/generate.sh)
set -euo pipefail

packages=(
    # toolchain and test frameworks
    build-essential cmake ninja-build ccache pkg-config
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    # graphics engine: OpenGL 2.0 through Mesa, GLEW, GLU, images and fonts
    libgl-dev libglu1-mesa-dev libglew-dev libgl1-mesa-dri
    libfreeimage-dev libfreetype-dev libfontconfig-dev fonts-liberation2
    # COLLADA plug-in, window and sound, vehicle physics
    libpugixml-dev libsdl2-dev libsdl2-mixer-dev libbullet-dev
    # the coarse far ground and the cars' simplified looks; CRC-32 of ghosts and tracks
    libmeshoptimizer-dev zlib1g-dev
    # network races: the server and the game's online page talk over ENet
    libenet-dev
    # the server's leaderboards: an SQLite file
    libsqlite3-dev
    # COLLADA plug-in: .zae archives; a peer's COLLADA corpus for its tests and
    # the peer's importer for its benchmark
    libzip-dev assimp-testmodels libassimp-dev
    # headless GL tests; lame encodes the sound tests' MP3 tone
    xvfb xauth lame
    # test-only: the program test finds and inspects its window (xwininfo, xprop)
    x11-utils
    # test-only: the show-room program test reads its window back and types keys
    x11-apps xdotool
    # test-only: the data checks (tests/data/check_data.py) read images, COLLADA
    # (schema included) and decode the music with SDL_mixer's MP3 decoder
    python3-numpy python3-pil python3-collada libmpg123-0
    # the Debian package (tools/package.sh): dpkg-shlibdeps computes its
    # dependencies, and CPack finds the ELF files to ask it about with file
    dpkg-dev file
    # test-only: the installation test validates the desktop entry and the
    # AppStream metadata
    desktop-file-utils appstream
)
if [[ "${1:-}" == "--assets" ]]; then
    packages+=(blender lame)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#packages[@]} packages present"
    exit 0
fi

sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
echo "install-deps: installing ${missing[*]}"
# Wait for another apt/dpkg (unattended upgrades) instead of failing on the lock.
apt_opts=(-o DPkg::Lock::Timeout=600 -y -q --no-install-recommends)
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=600 update -q
$sudo apt-get "${apt_opts[@]}" install "${missing[@]}"
