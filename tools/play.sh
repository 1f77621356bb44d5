#!/usr/bin/env bash
# Builds everything and starts the game from its own folder.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"

game=build/bin/Vantrel
if [[ ! -x $game ]]; then
    echo "play.sh: the libraries are built; the game program is not part of this build yet."
    exit 0
fi
exec "$game"
