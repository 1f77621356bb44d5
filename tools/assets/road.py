#!/usr/bin/python3
"""Writes GreenValley's road centre line for the game: tracks/GreenValley/GreenValley.road.

Usage: road.py DATA_DIR

The race reads it to put a car back on the road, to draw its map and to tell
which way the race runs. It is the centre line track.py builds the road
along (lib/trackdesign.py), so it needs numpy only, no Blender.

Format, plain text:
    vantrel-road 1 N    magic, format version, point count
    x y                 N lines, metres in world coordinates on the ground
                        plane (z up; the terrain's frame is the identity)
The points run once round the closed loop in the race's direction, evenly
spaced (about STEP m); the first is the start line at (0, 0), and the last
joins the first.
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import trackdesign as T  # noqa: E402

MAGIC = "vantrel-road"
VERSION = 1
# A chord 2 m long strays under 5 mm from the tightest curve (R 106 m).
STEP = 2.0


def centre_line(road, step=STEP):
    """Evenly spaced points of the closed centre line, the start first."""
    count = int(round(road.length / step))
    pos, _, _ = road.at(np.arange(count) * (road.length / count))
    return pos


def write(path, points):
    with open(path, "w", newline="\n") as f:
        f.write("%s %d %d\n" % (MAGIC, VERSION, len(points)))
        for x, y in points:
            # "+ 0.0" keeps "-0.000" out of the file
            f.write("%.3f %.3f\n" % (round(x, 3) + 0.0, round(y, 3) + 0.0))


def main():
    data = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "data")
    path = os.path.join(data, "tracks", "GreenValley", "GreenValley.road")
    points = centre_line(T.Road())
    write(path, points)
    print("  %s: %d points" % (os.path.relpath(path, data), len(points)))


if __name__ == "__main__":
    main()
