#!/usr/bin/python3
"""Prints GreenValley's road figures and draws its plan (for the designer).

Usage: plan.py [OUT.png]

Leg lengths between checkpoints, the tightest curves, gradients and the
closest approach of non-adjacent road sections; the plan image shows the
land's relief, the road coloured by curve radius and the checkpoints.
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import trackdesign as T  # noqa: E402


def figures(design):
    road = design.road
    tags = road.tags
    order = ["start", "cp0", "cp1", "cp2", "cp3", "cp4"]
    legs = []
    for a, b in zip(order, order[1:] + ["start"]):
        la = (tags[b] - tags[a]) % road.length
        legs.append((a, b, la))
    return legs


def report(design):
    road = design.road
    print("road length %.0f m, texture period %.3f m" % (road.length, road.mark_period))
    for (a, b, la), allow in zip(figures(design), T.ALLOWANCES + [None]):
        extra = ""
        if allow:
            extra = "  allowance %3.0f s -> needs %5.1f km/h" % (allow, la / allow * 3.6)
        print("  %-5s -> %-5s %6.0f m%s" % (a, b, la, extra))
    s = np.arange(0, road.length, 2.0)
    k = np.abs(road.curvature(s))
    r = 1 / np.maximum(k, 1e-9)
    order = np.argsort(r)
    shown = []
    for i in order:
        if all(abs(s[i] - t) > 60 for t in shown):
            shown.append(s[i])
            print("  curve at s=%6.0f radius %5.0f m (%3.0f km/h at 0.9 g)" % (s[i], r[i], np.sqrt(r[i] * 8.8) * 3.6))
        if len(shown) >= 8:
            break
    z = design.prof_z
    g = np.diff(z) / np.diff(design.prof_s)
    print("  elevation %.1f .. %.1f m, max grade %.1f %%" % (z.min(), z.max(), 100 * np.abs(g).max()))
    pos, _, _ = road.at(np.arange(0, road.length, 10.0))
    ss = np.arange(0, road.length, 10.0)
    best = 1e9
    for i in range(len(pos)):
        dd = np.linalg.norm(pos - pos[i], axis=1)
        ds = np.abs(ss - ss[i])
        ds = np.minimum(ds, road.length - ds)
        m = dd[ds > 400]
        if len(m):
            best = min(best, m.min())
    print("  closest approach of road sections more than 400 m apart along it: %.0f m" % best)


def draw(design, path):
    size = 1000
    half = T.TERRAIN_HALF
    xs = np.linspace(-half, half, size)
    X, Y = np.meshgrid(xs, xs[::-1])
    Z = design.land_z(X, Y)
    gy, gx = np.gradient(Z, xs[1] - xs[0])
    shade = np.clip(0.7 + 0.3 * (-gx - gy) / np.sqrt(1 + gx * gx + gy * gy) * 3, 0, 1)
    hn = np.clip((Z + 20) / 500, 0, 1)
    rgb = np.stack([0.35 + 0.4 * hn, 0.55 + 0.15 * hn, 0.25 + 0.4 * hn], axis=-1) * shade[..., None]
    img = Image.fromarray((np.clip(rgb, 0, 1) * 255).astype(np.uint8))
    d = ImageDraw.Draw(img)

    def px(p):
        return ((p[0] + half) / (2 * half) * size, (half - p[1]) / (2 * half) * size)

    road = design.road
    s = np.arange(0, road.length, 4.0)
    pos, _, _ = road.at(s)
    k = np.abs(road.curvature(s))
    for i in range(len(s) - 1):
        r = 1 / max(k[i], 1e-9)
        col = (255, 40, 40) if r < 150 else (255, 170, 0) if r < 300 else (250, 250, 250)
        d.line([px(pos[i]), px(pos[i + 1])], fill=col, width=3)
    for i, (cx, cy) in enumerate(T.CHECKPOINTS):
        x, y = px((cx, cy))
        d.ellipse([x - 6, y - 6, x + 6, y + 6], outline=(0, 0, 255), width=3)
        d.text((x + 8, y - 8), "CP%d" % i, fill=(0, 0, 80))
    x, y = px((0, 0))
    d.rectangle([x - 5, y - 5, x + 5, y + 5], fill=(0, 0, 0))
    img.save(path)
    print("  plan:", path)


def main():
    design = T.Design()
    report(design)
    if len(sys.argv) > 1:
        draw(design, sys.argv[1])


if __name__ == "__main__":
    main()
