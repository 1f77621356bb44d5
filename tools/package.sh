#!/usr/bin/env bash
# Builds the game's Debian package, build-package/vantrel_<version>_amd64.deb,
# from a build of its own (no tests, no benchmarks). Install it with
#   apt install ./build-package/vantrel_<version>_amd64.deb
# which brings in every library and run-time package it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
export CCACHE_BASEDIR="$PWD"
cmake -S . -B build-package -G Ninja -DVANTREL_TESTS=OFF -DVANTREL_BENCHMARKS=OFF
cmake --build build-package -j"$(nproc)"
# A package from an earlier version must not be mistaken for this one.
rm -f build-package/vantrel_*.deb
(cd build-package && cpack -G DEB)
ls -l build-package/vantrel_*.deb
