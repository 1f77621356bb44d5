#!/bin/bash
# How fast the effect pass, the show room and the race could run on this
# machine if lighting and shadows cost nothing per pixel: the benchmarks run
# once with the game's shaders and once with flat stand-ins for the lit and shadowed
# programs (material colour only), everything else unchanged. The gap between
# the two runs is the price of per-pixel shading; the second run is a floor no
# shader work can go below.
#   bench/shading-floor.sh [build/bin] [frames]     (from the repository root)
# Needs the release benchmarks built (cmake --preset default); starts its own
# Xvfb when no display is set.
set -euo pipefail

bin=$(realpath "${1:-build/bin}")
frames=${2:-300}
root=$(cd "$(dirname "$0")/.." && pwd)

if [[ -z ${DISPLAY:-} ]]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$bin" "$frames"
fi
for program in EffectPassBench ShowRoomBench RaceBench; do
    [[ -x $bin/$program ]] || { echo "shading-floor: $bin/$program is missing (build the default preset)"; exit 1; }
done

# The benchmarks read ../data beside their own folder, so the stand-in data
# is a copy of the program folder next to a data folder whose shaders differ.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/data/shaders"
cp "$bin"/EffectPassBench "$bin"/ShowRoomBench "$bin"/RaceBench "$bin"/*.so "$work/bin/"
for folder in cars models music tracks; do ln -s "$root/data/$folder" "$work/data/$folder"; done
cp "$root"/data/shaders/*.vert "$root"/data/shaders/EnvironmentMapping.frag "$work/data/shaders/"
for program in Lighting ShadowMapping; do
    cat >"$work/data/shaders/$program.frag" <<'EOF'
#version 110
void main()
{
    gl_FragColor = gl_FrontMaterial.diffuse;
}
EOF
done

run() {  # label, program folder, benchmark, arguments...
    local label=$1 folder=$2 program=$3
    shift 3
    SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy "$folder/$program" "$@" 2>&1 |
        grep -E "^frame time|^(plain|pass|full)|^  (scene|effect pass \(the scene\)|main view)" | sed "s/^/$label: /"
}

run "effect pass, game shaders" "$bin" EffectPassBench
run "effect pass, flat shaders" "$work/bin" EffectPassBench
run "show room, game shaders" "$bin" ShowRoomBench "$frames"
run "show room, flat shaders" "$work/bin" ShowRoomBench "$frames"
run "race car 0, game shaders" "$bin" RaceBench "$frames" 0
run "race car 0, flat shaders" "$work/bin" RaceBench "$frames" 0
