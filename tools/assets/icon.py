"""The desktop icons: the program's own 48 x 48 window icon (vantrel/platform/AppIcon.cpp),
drawn the same way at the sizes desktops ask for.

    /usr/bin/python3 tools/assets/icon.py [OUT_DIR]    (default: packaging/icons)

writes OUT_DIR/NxN/vantrel.png for N in SIZES. The picture is defined on the 48-pixel
grid of the window icon; a larger size samples that grid more finely (4 x 4 samples per
pixel, averaged), so at 48 the file equals the window icon and the others are the same
picture, not an enlargement of its pixels.
"""
import os
import sys

import numpy as np
from PIL import Image

SIZES = (48, 64, 128, 256)
GRID = 48.0  # the window icon's size (px), the unit of every figure below
SAMPLES = 4  # per pixel and axis, for every size but GRID


def coverage(d, scale):
    """Coverage of an edge at signed distance d (grid units, negative inside), one
    output pixel of anti-aliasing: scale is output pixels per grid unit."""
    return np.clip(np.float32(0.5) - d * np.float32(scale), 0.0, 1.0)


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = np.clip(((px - ax) * dx + (py - ay) * dy) / np.float32(dx * dx + dy * dy), 0.0, 1.0)
    return np.hypot(px - (ax + t * dx), py - (ay + t * dy))


def rounded_square(x, y, size, radius):
    half = size * 0.5
    qx = np.abs(x - half) - (half - radius)
    qy = np.abs(y - half) - (half - radius)
    outside = np.hypot(np.maximum(qx, 0.0), np.maximum(qy, 0.0))
    return outside + np.minimum(np.maximum(qx, qy), 0.0) - radius


def draw(pixels, scale):
    """Straight-alpha RGBA floats (rows top-down) of a pixels x pixels image whose
    sample centres lie on a grid of 1/scale grid units."""
    centres = (np.arange(pixels, dtype=np.float32) + np.float32(0.5)) / np.float32(scale)
    x, y = np.meshgrid(centres, centres)
    # Background: night-blue gradient, lighter towards the top.
    shade = 1.0 - y / np.float32(GRID)
    r = 0.08 + 0.10 * shade
    g = 0.12 + 0.14 * shade
    b = 0.22 + 0.20 * shade
    # Finish line: two rows of 4-unit checks along the bottom.
    checks = (y > 36) & (y < 44) & (x > 4) & (x < 44)
    white = ((np.floor((x - 4) / 4) + np.floor((y - 36) / 4)) % 2) == 0
    for channel in (r, g, b):
        channel[checks & white] = 0.92
        channel[checks & ~white] = 0.05
    # The "V": two thick strokes meeting above the finish line.
    stroke = np.minimum(distance_to_segment(x, y, 11, 7, 24, 33), distance_to_segment(x, y, 37, 7, 24, 33))
    a = coverage(stroke - 4.0, scale)
    amber = (1.0, 0.69, 0.0)
    r, g, b = (top * a + below * (1 - a) for top, below in zip(amber, (r, g, b)))
    # Rounded corners are transparent.
    alpha = coverage(rounded_square(x, y, GRID, 8.0), scale)
    return np.stack([r, g, b, alpha], axis=-1).astype(np.float32)


def icon(size):
    samples = 1 if size == GRID else SAMPLES
    rgba = draw(size * samples, size / GRID * samples)
    if samples > 1:
        # Average premultiplied, so transparent samples add no colour.
        rgba[..., :3] *= rgba[..., 3:]
        rgba = rgba.reshape(size, samples, size, samples, 4).mean(axis=(1, 3))
        covered = rgba[..., 3:] > 0
        rgba[..., :3] = np.where(covered, rgba[..., :3] / np.where(covered, rgba[..., 3:], 1), 0)
    # Rounded like the program's pixel packing.
    return Image.fromarray(np.floor(np.clip(rgba, 0, 1) * 255 + 0.5).astype(np.uint8), "RGBA")


def main():
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "packaging", "icons")
    for size in SIZES:
        folder = os.path.join(out, f"{size}x{size}")
        os.makedirs(folder, exist_ok=True)
        icon(size).save(os.path.join(folder, "vantrel.png"), optimize=True)
        print(f"  {folder}/vantrel.png")


if __name__ == "__main__":
    main()
