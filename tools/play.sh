#!/usr/bin/env bash
# Builds everything and starts the game from its own folder.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"

game=build/bin/Vantrel
if [[ ! -x $game ]]; then
    echo "play.sh: $game was not built; see the build output above."
    exit 1
fi
exec "$game"
