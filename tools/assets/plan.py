#!/usr/bin/python3
"""Prints a track's road figures and draws its plan (for the designer).

Usage: plan.py TRACK [OUT.png]     (TRACK: GreenValley or KestrelPass)

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


# Other tracks' allowances ask this share of the reference track's average
# from the start to the finish: a careful driver there makes it.
REFERENCE = "GreenValley"
CAREFUL = 0.7


def reference_average():
    """km/h the reference track's forward allowances ask from the start to the finish."""
    d = T.Design(T.plan(REFERENCE))
    return d.road.tags["cp4"] / sum(d.plan.ALLOWANCES) * 3.6


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
    for (a, b, la), allow in zip(figures(design), design.plan.ALLOWANCES + [None]):
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
    for reverse in (False, True):
        t = ideal_times(design, reverse)
        print("  at the limit, %s: checkpoints at %s s" % ("reverse" if reverse else "forward",
                                                          " ".join("%.0f" % x for x in t)))
    if design.plan.NAME != REFERENCE:
        fwd, rev = allowances(design, CAREFUL * reference_average())
        print("  allowances for %.0f km/h (%.0f %% of %s's): forward %s, reverse %s" % (
            CAREFUL * reference_average(), 100 * CAREFUL, REFERENCE,
            " ".join("%.0f" % a for a in fwd), " ".join("%.0f" % a for a in rev)))


def ideal_times(design, reverse=False, step=2.0, lateral=8.8, top=75.0, brake=7.0):
    """Seconds from the start to each checkpoint, in race order, for a driver at
    the limit: 0.9 g round every curve, braking at 0.7 g, accelerating at
    up to 0.5 g falling to nothing at 270 km/h (grades left out)."""
    road = design.road
    s = np.arange(0, road.length, step)
    if reverse:
        s = (road.length - s) % road.length
    k = np.abs(road.curvature(s))
    v = np.minimum(top, np.sqrt(lateral / np.maximum(k, 1e-6)))
    n = len(v)
    for _ in range(2):                    # twice round: the loop's end feeds its start
        for i in range(1, 2 * n):
            a, b = (i - 1) % n, i % n
            v[b] = min(v[b], np.sqrt(v[a] ** 2 + 2 * (4.5 * (1 - v[a] / top) + 0.3) * step))
        for i in range(2 * n, 0, -1):
            a, b = i % n, (i - 1) % n
            v[b] = min(v[b], np.sqrt(v[a] ** 2 + 2 * brake * step))
    t = np.concatenate([[0.0], np.cumsum(step / v)])
    along = [road.tags["cp%d" % i] for i in range(5)]
    if reverse:
        along = [road.length - a for a in reversed(along)]
    return np.interp(along, np.arange(n + 1) * step, t)


def allowances(design, average):
    """Allowances for both directions that ask `average` (km/h) from the start
    to the finish, shared out between the legs as the ideal lap needs them."""
    road = design.road
    out = []
    for reverse in (False, True):
        t = ideal_times(design, reverse)
        along = np.array([road.tags["cp%d" % i] for i in range(5)])
        finish = along[-1] if not reverse else road.length - along[0]
        scale = finish / (average / 3.6) / t[-1]
        out.append(np.diff(np.concatenate([[0.0], t])) * scale)
    return out


def draw(design, path):
    size = 1000
    half = design.plan.TERRAIN_HALF
    cx, cy = design.plan.CENTRE
    xs = np.linspace(-half, half, size)
    X, Y = np.meshgrid(xs + cx, xs[::-1] + cy)
    Z = design.land_z(X, Y)
    gy, gx = np.gradient(Z, xs[1] - xs[0])
    shade = np.clip(0.7 + 0.3 * (-gx - gy) / np.sqrt(1 + gx * gx + gy * gy) * 3, 0, 1)
    hn = np.clip((Z + 20) / 500, 0, 1)
    rgb = np.stack([0.35 + 0.4 * hn, 0.55 + 0.15 * hn, 0.25 + 0.4 * hn], axis=-1) * shade[..., None]
    img = Image.fromarray((np.clip(rgb, 0, 1) * 255).astype(np.uint8))
    d = ImageDraw.Draw(img)

    def px(p):
        return ((p[0] - cx + half) / (2 * half) * size, (half - p[1] + cy) / (2 * half) * size)

    road = design.road
    s = np.arange(0, road.length, 4.0)
    pos, _, _ = road.at(s)
    k = np.abs(road.curvature(s))
    for i in range(len(s) - 1):
        r = 1 / max(k[i], 1e-9)
        col = (255, 40, 40) if r < 150 else (255, 170, 0) if r < 300 else (250, 250, 250)
        d.line([px(pos[i]), px(pos[i + 1])], fill=col, width=3)
    for i in range(5):
        x, y = px(road.at(road.tags["cp%d" % i])[0])
        d.ellipse([x - 6, y - 6, x + 6, y + 6], outline=(0, 0, 255), width=3)
        d.text((x + 8, y - 8), "CP%d" % (i + 1), fill=(0, 0, 80))
    x, y = px((0, 0))
    d.rectangle([x - 5, y - 5, x + 5, y + 5], fill=(0, 0, 0))
    img.save(path)
    print("  plan:", path)


def main():
    if len(sys.argv) not in (2, 3):
        raise SystemExit("usage: plan.py TRACK [OUT.png]")
    design = T.Design(T.plan(sys.argv[1]))
    report(design)
    if len(sys.argv) > 2:
        draw(design, sys.argv[2])


if __name__ == "__main__":
    main()
