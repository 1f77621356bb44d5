#!/usr/bin/env bash
# Regenerates the game data under data/ (everything but data/shaders) from the
# scripts in this folder, then runs the data checks.
#   tools/assets/generate.sh [DATA_DIR]
# Needs: tools/install-deps.sh --assets (Blender 3.4, lame, python3-numpy,
# python3-pil, python3-collada). Takes about three minutes.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
data=$(realpath -m "${1:-$root/data}")
py=/usr/bin/python3
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# Blender prints a lot; show the scripts' own lines (indented), all of it on failure.
run_blender() {
    local script=$1; shift
    echo "blender $script $*"
    if ! blender -b --factory-startup --python-exit-code 1 --python "$here/$script" -- "$@" >"$log" 2>&1; then
        cat "$log"
        echo "generate: $script failed" >&2
        exit 1
    fi
    grep '^  ' "$log" || true
}

mkdir -p "$data"
echo "textures";  $py "$here/textures.py" "$data"
echo "dials";     $py "$here/gauges.py" "$data"
echo "sign";      $py "$here/sign.py" "$data"
echo "music";     $py "$here/music.py" "$data"
echo "sounds";    $py "$here/sounds.py" "$data"
echo "icons";     $py "$here/icon.py" "$root/packaging/icons"
run_blender car.py NissanSkyline "$data"
run_blender car.py BugattiVeyron "$data"
run_blender car.py VesperRS "$data"
for track in GreenValley KestrelPass; do
    run_blender track.py "$track" "$data"
    echo "road $track"; $py "$here/road.py" "$track" "$data"
done
run_blender skydome.py "$data"
run_blender skydome.py "$data" KestrelPass
run_blender showroom.py "$data"
for track in GreenValley KestrelPass; do
    echo "plan $track"; $py "$here/plan.py" "$track"
done
echo "checks"
$py "$root/tests/data/check_data.py" "$data"
