"""A track's layout from its plan: the road's centre line, its elevation and the land.

Pure numpy, so it runs in Blender's Python (trackbuild.py) and under
/usr/bin/python3 (road.py, plan.py). Units are metres, z is up, the start
is at the origin facing +y.

The road is a closed periodic cubic spline through the plan's WAYPOINTS
(the start and the race's five checkpoints are waypoints, so the centre line
passes through them exactly), resampled by arc length. Its elevation either
follows the plan's land, smoothed and limited to MAX_GRADE, or the plan's
own PROFILE (the land is then shaped round the road); either way it is
shifted so the road surface at the start is at z = 0. The plans live in
tracks/ (one module each).
"""
import importlib
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import geom as G  # noqa: E402

TRACKS = ("GreenValley", "KestrelPass")


def plan(name):
    """The plan module of a track by its folder name (tracks/<name>.py)."""
    if name not in TRACKS:
        raise SystemExit("unknown track %r: one of %s" % (name, ", ".join(TRACKS)))
    return importlib.import_module("tracks." + name)


# The road's cross-section, the same on every track.
ROAD_HALF = 5.5          # asphalt half-width (m)
VERGE = 2.0              # gravel shoulder beyond the asphalt
VERGE_DROP = 0.12        # the verge's outer edge lies this much below the road edge
DITCH = 1.5              # grass ditch beyond the verge
DITCH_DROP = 0.30


def periodic_spline(points, samples_per_seg=400):
    """Closed cubic spline through points (chord-length parameter); dense polyline."""
    P = np.asarray(points, float)
    n = len(P)
    chord = np.linalg.norm(np.roll(P, -1, axis=0) - P, axis=1)
    h = chord
    # periodic spline: solve for second derivatives M with
    # h[i-1] M[i-1] + 2 (h[i-1] + h[i]) M[i] + h[i] M[i+1] = 6 (d[i] - d[i-1])
    A = np.zeros((n, n))
    for i in range(n):
        A[i, (i - 1) % n] = h[(i - 1) % n]
        A[i, i] = 2 * (h[(i - 1) % n] + h[i])
        A[i, (i + 1) % n] = h[i]
    out = []
    for dim in range(2):
        y = P[:, dim]
        d = (np.roll(y, -1) - y) / h
        rhs = 6 * (d - np.roll(d, 1))
        M = np.linalg.solve(A, rhs)
        seg = []
        for i in range(n):
            t = np.linspace(0, h[i], samples_per_seg, endpoint=False)
            i2 = (i + 1) % n
            a = (M[i2] - M[i]) / (6 * h[i])
            b = M[i] / 2
            c = d[i] - h[i] * (2 * M[i] + M[i2]) / 6
            seg.append(y[i] + c * t + b * t * t + a * t ** 3)
        out.append(np.concatenate(seg))
    return np.stack(out, axis=1)


class Road:
    """The centre line: positions, tangents and normals by arc length."""

    def __init__(self, plan):
        pts = [(w[0], w[1]) for w in plan.WAYPOINTS]
        dense = periodic_spline(pts)
        seg = np.linalg.norm(np.roll(dense, -1, axis=0) - dense, axis=1)
        s = np.concatenate([[0], np.cumsum(seg)])
        self.length = float(s[-1])
        self.dense = np.vstack([dense, dense[:1]])
        self.dense_s = s
        # arc position of every tagged waypoint (they are spline knots)
        per = len(dense) // len(pts)
        self.tags = {}
        for i, w in enumerate(plan.WAYPOINTS):
            if len(w) > 2:
                self.tags[w[2]] = float(s[i * per])
        assert self.tags["start"] == 0.0
        n_marks = max(1, int(round(self.length / plan.MARK_PERIOD)))
        self.mark_period = self.length / n_marks

    def at(self, s):
        """Position (n, 2), unit tangent (n, 2), left normal (n, 2) at arc positions s."""
        s = np.mod(np.asarray(s, float), self.length)
        x = np.interp(s, self.dense_s, self.dense[:, 0])
        y = np.interp(s, self.dense_s, self.dense[:, 1])
        e = 0.5
        x1 = np.interp(np.mod(s + e, self.length), self.dense_s, self.dense[:, 0])
        y1 = np.interp(np.mod(s + e, self.length), self.dense_s, self.dense[:, 1])
        x0 = np.interp(np.mod(s - e, self.length), self.dense_s, self.dense[:, 0])
        y0 = np.interp(np.mod(s - e, self.length), self.dense_s, self.dense[:, 1])
        t = np.stack([x1 - x0, y1 - y0], axis=-1)
        t /= np.linalg.norm(t, axis=-1, keepdims=True)
        nrm = np.stack([-t[..., 1], t[..., 0]], axis=-1)
        return np.stack([x, y], axis=-1), t, nrm

    def curvature(self, s, ds=4.0):
        _, t0, _ = self.at(np.asarray(s) - ds)
        _, t1, _ = self.at(np.asarray(s) + ds)
        cross = t0[..., 0] * t1[..., 1] - t0[..., 1] * t1[..., 0]
        dot = np.sum(t0 * t1, axis=-1)
        return np.arctan2(cross, dot) / (2 * ds)          # 1/m, positive = left turn

    def sections(self, max_step=6.0, max_turn_deg=1.0):
        """Arc positions of the mesh's cross-sections.

        Spacing adapts to curvature; s = 0 (the start line) and s = +-P/2
        (the ends of the start line's texture tile) are sections exactly.
        """
        P = self.mark_period
        fixed = sorted({0.0, P / 2, self.length - P / 2})
        out = []
        for a, b in zip(fixed, fixed[1:] + [self.length]):
            s = a
            pts = [a]
            while True:
                k = abs(self.curvature(s))
                step = min(max_step, np.radians(max_turn_deg) / max(k, 1e-6))
                step = max(step, 1.5)
                if s + step >= b - 0.5 * step:
                    break
                s += step
                pts.append(s)
            # spread evenly between a and b with the count found
            n = len(pts)
            out.extend(np.linspace(a, b, n, endpoint=False))
        return np.array(out)


# ------------------------------------------------------------------- land
def _fractal(seed, n, beta, lo, hi=None):
    rng = np.random.default_rng(seed)
    white = rng.standard_normal((n, n))
    fy = np.fft.fftfreq(n)[:, None] * n
    fx = np.fft.rfftfreq(n)[None, :] * n
    f = np.sqrt(fx * fx + fy * fy)
    amp = np.zeros_like(f)
    band = f >= lo
    if hi is not None:
        band &= f <= hi
    amp[band] = f[band] ** (-beta / 2)
    out = np.fft.irfft2(np.fft.rfft2(white) * amp, s=(n, n))
    out -= out.mean()
    return out / np.abs(out).max()


class Land:
    """The natural landscape before the road is cut in: noise grids the plans
    shape into their own height(x, y), sampled smoothly and tiling."""

    def __init__(self, terrain_half, n=512):
        self.n = n
        self.extent = 2 * terrain_half + 400.0           # noise tiles a bit beyond the land

    def fractal(self, seed, beta, lo, hi=None):
        return _fractal(seed, self.n, beta, lo, hi)

    def _sample(self, grid, x, y):
        n = self.n
        u = (np.asarray(x) / self.extent + 0.5) * n
        v = (np.asarray(y) / self.extent + 0.5) * n
        i0 = np.floor(v).astype(int)
        j0 = np.floor(u).astype(int)
        fu, fv = u - j0, v - i0
        i0 %= n
        j0 %= n
        i1, j1 = (i0 + 1) % n, (j0 + 1) % n
        su = fu * fu * (3 - 2 * fu)
        sv = fv * fv * (3 - 2 * fv)
        return (grid[i0, j0] * (1 - su) * (1 - sv) + grid[i0, j1] * su * (1 - sv)
                + grid[i1, j0] * (1 - su) * sv + grid[i1, j1] * su * sv)


def smooth_circular(values, window):
    n = len(values)
    k = max(1, int(window))
    c = np.cumsum(np.concatenate([values[-k:], values, values[:k]]))
    out = (c[2 * k:2 * k + n] - c[:n]) / (2 * k)
    return out


def road_profile(road, land, max_grade, step=5.0):
    """Road-centre elevation following the land, by arc length (s, z) on a regular grid."""
    s = np.arange(0.0, road.length, step)
    pos, _, nrm = road.at(s)
    z = land.height(pos[:, 0], pos[:, 1])
    # the land across the whole corridor, so the road sits in its middle
    for off in (-20.0, 20.0):
        z = z + land.height(pos[:, 0] + off * nrm[:, 0], pos[:, 1] + off * nrm[:, 1])
    z /= 3.0
    z = smooth_circular(z, 300.0 / step)
    for _ in range(6):
        z = smooth_circular(z, 60.0 / step)
        # grade limit, forwards and backwards round the loop
        dz = max_grade * step
        for _ in range(3):
            for i in range(1, 2 * len(z)):
                a, b = (i - 1) % len(z), i % len(z)
                z[b] = np.clip(z[b], z[a] - dz, z[a] + dz)
    z = smooth_circular(z, 40.0 / step)
    return s, z


def planned_profile(road, knots, step=5.0):
    """Road-centre elevation through the plan's (s, z) knots: a monotone cubic
    (no overshoot past a crest or a dip) round the closed loop."""
    ks = np.array([k[0] for k in knots], float)
    kz = np.array([k[1] for k in knots], float)
    L = road.length
    ks = np.concatenate([ks[-2:] - L, ks, ks[:2] + L])
    kz = np.concatenate([kz[-2:], kz, kz[:2]])
    s = np.arange(0.0, L, step)
    return s, G.pchip(ks, kz, s)


class Design:
    """Everything the mesh builder needs, computed once."""

    def __init__(self, plan):
        self.plan = plan
        self.road = Road(plan)
        if plan.PROFILE is None:
            self.land = plan.Land()
            s, z = road_profile(self.road, self.land, plan.MAX_GRADE)
        else:
            s, z = planned_profile(self.road, plan.PROFILE)
            self.land = plan.Land(self.road, s, z)
        self.offset = float(np.interp(0.0, s, z))        # shift: the start line is at z = 0
        self.prof_s = np.concatenate([s, [self.road.length]])
        self.prof_z = np.concatenate([z, [z[0]]]) - self.offset
        k = self.road.curvature(s)
        bank = np.clip(k * 12.0, -plan.MAX_BANK, plan.MAX_BANK)
        bank = smooth_circular(bank, 60.0 / 5.0)
        self.bank = np.concatenate([bank, [bank[0]]])

    def road_z(self, s):
        return np.interp(np.mod(s, self.road.length), self.prof_s, self.prof_z)

    def road_bank(self, s):
        """Cross slope: positive raises the right (outer for a left turn) side."""
        return np.interp(np.mod(s, self.road.length), self.prof_s, self.bank)

    def land_z(self, x, y):
        return self.land.height(x, y) - self.offset

    def cross_z(self, s, d):
        """Height of the road, verge and ditch at arc s and signed offset d (left +)."""
        zc = self.road_z(s)
        e = self.road_bank(s)
        ad = np.abs(d)
        # banking tilts the road about its centre: left turn (e > 0) raises the right (d < 0)
        zroad = zc - e * np.clip(d, -ROAD_HALF, ROAD_HALF)
        edge = ROAD_HALF
        z = zroad.copy() if np.ndim(zroad) else np.array(zroad, float)
        t = np.clip((ad - edge) / VERGE, 0, 1)
        z = z - VERGE_DROP * t
        t2 = np.clip((ad - edge - VERGE) / DITCH, 0, 1)
        z = z - (DITCH_DROP - VERGE_DROP) * np.sin(np.pi / 2 * t2)
        return z

    def final_z(self, x, y, s, d):
        """Height of the finished land at (x, y), nearest road point (s, signed d)."""
        x, y, s, d = (np.asarray(a, float) for a in (x, y, s, d))
        ad = np.abs(d)
        inner = ROAD_HALF + VERGE + DITCH
        near = self.cross_z(s, np.clip(d, -inner, inner))
        nat = self.land_z(x, y)
        blend = 30.0 + 2.2 * np.abs(nat - near)
        blend = np.minimum(blend, 170.0)
        t = np.clip((ad - inner) / blend, 0, 1)
        w = 1 - t * t * (3 - 2 * t)
        z = w * near + (1 - w) * nat
        return np.where(ad <= inner, self.cross_z(s, d), z)


# ------------------------------------------------------------ road file
ROAD_MAGIC = "vantrel-road"
ROAD_VERSION = 1
# A chord 2 m long strays under 5 mm from a curve of R 100 m (R 25 m: 2 cm).
ROAD_STEP = 2.0


def centre_line(road, step=ROAD_STEP):
    """Evenly spaced points of the closed centre line, the start first."""
    count = int(round(road.length / step))
    pos, _, _ = road.at(np.arange(count) * (road.length / count))
    return pos


def write_road(path, points):
    """The race's centre-line file (format: road.py)."""
    with open(path, "w", newline="\n") as f:
        f.write("%s %d %d\n" % (ROAD_MAGIC, ROAD_VERSION, len(points)))
        for x, y in points:
            # "+ 0.0" keeps "-0.000" out of the file
            f.write("%.3f %.3f\n" % (round(x, 3) + 0.0, round(y, 3) + 0.0))
