#!/usr/bin/python3
"""Writes a track's road centre line for the game: tracks/TRACK/TRACK.road.

Usage: road.py TRACK DATA_DIR     (TRACK: GreenValley or KestrelPass)

The race reads it to put a car back on the road, to draw its map and to tell
which way the race runs. It is the centre line the track's mesh is built
along (lib/trackdesign.py), so it needs numpy only, no Blender.

Format, plain text:
    vantrel-road 1 N    magic, format version, point count
    x y                 N lines, metres in world coordinates on the ground
                        plane (z up; the terrain's frame is the identity)
The points run once round the closed loop in the race's direction, evenly
spaced (about trackdesign.ROAD_STEP m); the first is the start line at
(0, 0), and the last joins the first.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import trackdesign as T  # noqa: E402


def main():
    if len(sys.argv) != 3:
        raise SystemExit("usage: road.py TRACK DATA_DIR")
    plan = T.plan(sys.argv[1])
    data = os.path.abspath(sys.argv[2])
    path = os.path.join(data, "tracks", plan.NAME, plan.NAME + ".road")
    points = T.centre_line(T.Road(plan))
    T.write_road(path, points)
    print("  %s: %d points" % (os.path.relpath(path, data), len(points)))


if __name__ == "__main__":
    main()
