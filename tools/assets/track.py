"""Blender script: builds a track from its plan and exports it as COLLADA.

Run: blender -b --factory-startup --python track.py -- TRACK DATA_DIR
     TRACK: GreenValley or KestrelPass (lib/tracks/TRACK.py)

Writes DATA_DIR/tracks/TRACK/TRACK.dae (lib/trackbuild.py builds it); the
track's textures (textures.py) must be there first.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import blendutil as bu  # noqa: E402
import trackbuild  # noqa: E402
import trackdesign as T  # noqa: E402


def main():
    args = bu.args()
    if len(args) != 2:
        raise SystemExit("usage: track.py TRACK DATA_DIR")
    trackbuild.build(T.plan(args[0]), os.path.abspath(args[1]))


main()
