"""KestrelPass: a 7 km loop over a mountain pass in the evening.

From the start in the valley the road runs north up the valley floor, climbs
a wooded slope in three hairpins, crosses the pass between two rocky peaks,
sweeps down a long descent round the eastern mountainside and comes home
along the valley's southern side. The centre line is drawn as straights and
arcs (so the hairpins have the radius asked for) sampled into waypoints; the
elevation is the plan's own PROFILE and the land is shaped round the road.
"""
import numpy as np

import trackdesign as T

NAME = "KestrelPass"


def _walk(segments, start=(0.0, 0.0), heading=0.0, spacing=24.0, arc_step=15.0):
    """Points along straights ("S", length) and arcs ("L"/"R", radius, degrees),
    heading in degrees clockwise from +y; a tag string may end a segment tuple
    to mark its last point."""
    x, y = start
    h = np.radians(heading)
    pts = [(x, y, "start")]
    for seg in segments:
        tag = seg[-1] if len(seg) > 2 and isinstance(seg[-1], str) else None
        if seg[0] == "S":
            n = max(1, int(np.ceil(seg[1] / spacing)))
            step = seg[1] / n
            for i in range(n):
                x, y = x + step * np.sin(h), y + step * np.cos(h)
                pts.append((x, y))
        else:
            r, ang = seg[1], np.radians(seg[2])
            sign = 1.0 if seg[0] == "R" else -1.0
            n = max(2, int(np.ceil(np.degrees(ang) / arc_step)))
            # centre of the arc: to the right (R) or the left (L) of the heading
            cx, cy = x + sign * r * np.cos(h), y - sign * r * np.sin(h)
            a0 = np.arctan2(y - cy, x - cx)
            for i in range(1, n + 1):
                a = a0 - sign * ang * i / n
                pts.append((cx + r * np.cos(a), cy + r * np.sin(a)))
            x, y = pts[-1][:2]
            h = h + sign * ang
        if tag:
            pts[-1] = (round(pts[-1][0], 1), round(pts[-1][1], 1), tag)
    return pts


# Clockwise seen from above, starting north from the start line.
LAYOUT = [
    ("S", 220.0),
    ("R", 260.0, 35.0),
    ("S", 200.0),
    ("L", 200.0, 35.0),
    ("S", 150.0),
    ("R", 110.0, 90.0),
    ("S", 260.0, "cp0"),
    ("L", 32.0, 180.0),          # hairpin 1
    ("S", 280.0),
    ("R", 32.0, 180.0),          # hairpin 2
    ("S", 280.0),
    ("L", 32.0, 180.0),          # hairpin 3
    ("S", 120.0),
    ("R", 90.0, 90.0, "cp1"),
    ("S", 200.0),
    ("R", 220.0, 60.0),
    ("S", 260.0),                # the pass
    ("R", 300.0, 50.0),
    ("S", 350.0, "cp2"),
    ("L", 160.0, 45.0),
    ("R", 120.0, 80.0),
    ("S", 380.0),
    ("R", 200.0, 40.0),
    ("S", 300.0, "cp3"),
    ("R", 140.0, 60.0),
    ("S", 300.0),
    ("L", 180.0, 40.0),
    ("S", 730.0, "cp4"),
    ("R", 250.0, 65.0),
    ("S", 649.5),
    ("R", 150.0, 90.0),
]
# the closing stretch: the spline joins the layout's end to these, straight
# into the start (the grid stands here)
APPROACH = [(0.0, -75.0)]
WAYPOINTS = _walk(LAYOUT) + APPROACH

ALLOWANCES = [70.0, 106.0, 62.0, 61.0, 63.0]   # s given for reaching checkpoint 1..5 (plan.py suggests them)
MAX_BANK = 0.045         # cross slope limit in curves
MARK_PERIOD = 22.0       # road texture repeat (m), adjusted to divide the loop

# The road's elevation: (s, z) knots along the centre line, joined by a
# monotone cubic. The valley, 1 km of the climb at 3-6 %, the hairpins
# (under 8 % on their straights, 4 % round the bends, whose inner edge is twice
# as steep), the pass at 135 m, a 3.4 km descent over a crest at s = 4.5 km,
# and the valley home.
PROFILE = [
    (0.0, 0.0), (300.0, 6.0), (700.0, 18.0), (1024.0, 30.0), (1284.0, 46.0),
    (1384.0, 50.0), (1664.0, 68.5), (1765.0, 72.5), (2045.0, 91.0), (2145.0, 95.0),
    (2407.0, 110.0), (2607.0, 122.0), (2837.0, 131.0), (2990.0, 135.0), (3150.0, 132.0),
    (3359.0, 123.0), (3709.0, 103.0), (3835.0, 97.0), (4002.0, 90.0), (4250.0, 79.0),
    (4382.0, 76.0), (4500.0, 78.0), (4822.0, 61.0), (4968.0, 55.0), (5268.0, 39.0),
    (5394.0, 33.0), (6124.0, -1.0), (6408.0, -8.0), (6800.0, -6.0), (7057.0, -3.0),
    (7293.0, 0.0),
]
MAX_GRADE = 0.08         # what the profile keeps under (plan.py prints the steepest)

CENTRE = (900.0, 700.0)  # the middle of the land (and of the loop)
TERRAIN_HALF = 2800.0    # the land spans the centre +-2800 in x and y
RIBBON = (22.0, 14.0, 9.0, 7.5, 5.5, 0.0, -5.5, -7.5, -9.0, -14.0, -22.0)   # hairpins: R 32 > 22
GRID = ((25.0, 0.0, 1700.0), (50.0, 1700.0, 2300.0), (100.0, 2300.0, 1e9))

# How far the valley floor stays flat either side of the road before the
# mountains rise: (s, m) knots; wide in the valley, a notch at the pass.
VALLEY = [(0.0, 220.0), (800.0, 160.0), (1200.0, 40.0), (2400.0, 30.0), (2990.0, 15.0), (3500.0, 40.0),
          (5400.0, 60.0), (6000.0, 160.0), (7441.0, 220.0)]

GROUND = [
    dict(name="Grass", diffuse=(0.42, 0.48, 0.24), specular=(0.05, 0.05, 0.05), shininess=6, texture="grass.jpg"),
    dict(name="Road", diffuse=(0.33, 0.33, 0.34), specular=(0.25, 0.25, 0.25), shininess=24, texture="road.jpg"),
    dict(name="Verge", diffuse=(0.5, 0.47, 0.42), specular=(0.08, 0.08, 0.08), shininess=8, texture="verge.jpg"),
    dict(name="Rock", diffuse=(0.5, 0.49, 0.48), specular=(0.12, 0.12, 0.12), shininess=10, texture="rock.jpg"),
    dict(name="Snow", diffuse=(0.95, 0.94, 0.96), specular=(0.3, 0.3, 0.3), shininess=20, texture=None,
         ambient=(0.7, 0.7, 0.74)),
    dict(name="Scree", diffuse=(0.5, 0.49, 0.42), specular=(0.08, 0.08, 0.08), shininess=8, texture="scree.jpg"),
    dict(name="Meadow", diffuse=(0.3, 0.4, 0.16), specular=(0.05, 0.05, 0.05), shininess=6, texture="meadow.jpg"),
]
GROUND_AMBIENT = (0.4, 0.4, 0.4)

SCENERY = dict(
    seed=4242,
    near_count=15000, near_offset=(16.0, 55.0),
    spread_count=7000, spread_half=2500.0,
    keep_off=15.0, min_up=0.84, tree_line=250.0,
    pine_above=30.0, pine_share=0.85,                # pine woods; a few broadleaves down in the valley
    rock_count=260, rock_side=(13.0, 60.0), rock_spread=420, rock_top=650.0, rock_keep_off=12.0,
)
FENCES = (-160.0, 160.0, 20.0, 11.5)
START_BACK_ROW = 6                                   # the track's name on the start gantry's back


def _smoothstep(t):
    t = np.clip(t, 0.0, 1.0)
    return t * t * (3 - 2 * t)


class Land(T.Land):
    """Mountains that rise beside the road, whose valley floor follows it.

    Two rasters over the land carry the road's influence: the height the
    road has nearby (a soft average of the nearest stretches, so the slope
    between two hairpin legs ramps from one to the other) and the distance
    beyond the valley's flat floor. Noise ridges make the peaks.
    """

    def __init__(self, road, s, z, n=320):
        super().__init__(TERRAIN_HALF)
        self.hills = self.fractal(61, 3.0, 3, 30)
        self.detail = self.fractal(62, 2.0, 25, 120)
        self.ridges = self.fractal(63, 2.6, 2, 16)
        half = TERRAIN_HALF + 300.0
        self.r_n = n
        self.r_lo = np.array(CENTRE) - half
        self.r_step = 2 * half / (n - 1)
        ss = np.arange(0.0, road.length, 10.0)
        pos = road.at(ss)[0]
        zs = np.interp(ss, s, z)
        flat = np.interp(ss, [k[0] for k in VALLEY], [k[1] for k in VALLEY])
        ax = np.arange(n) * self.r_step
        X, Y = np.meshgrid(ax + self.r_lo[0], ax + self.r_lo[1])
        q = np.stack([X.ravel(), Y.ravel()], axis=-1)
        base = np.empty(len(q))
        beyond = np.empty(len(q))
        for a in range(0, len(q), 4096):
            d = np.linalg.norm(q[a:a + 4096, None, :] - pos[None, :, :], axis=-1)
            w = np.exp(-(d - d.min(axis=1, keepdims=True)) / 60.0)
            base[a:a + 4096] = (w * zs).sum(axis=1) / w.sum(axis=1)
            beyond[a:a + 4096] = (d - flat).min(axis=1)
        self.base = base.reshape(n, n)
        self.beyond = beyond.reshape(n, n)

    def _raster(self, grid, x, y):
        u = np.clip((np.asarray(x) - self.r_lo[0]) / self.r_step, 0, self.r_n - 1.001)
        v = np.clip((np.asarray(y) - self.r_lo[1]) / self.r_step, 0, self.r_n - 1.001)
        j, i = np.floor(u).astype(int), np.floor(v).astype(int)
        fu, fv = u - j, v - i
        return (grid[i, j] * (1 - fu) * (1 - fv) + grid[i, j + 1] * fu * (1 - fv)
                + grid[i + 1, j] * (1 - fu) * fv + grid[i + 1, j + 1] * fu * fv)

    def height(self, x, y):
        x = np.asarray(x, float)
        y = np.asarray(y, float)
        rise = _smoothstep(self._raster(self.beyond, x, y) / 700.0)
        ridge = self._sample(self.ridges, x, y)
        peaks = 320.0 + 280.0 * ridge + 40.0 * self._sample(self.detail, x * 0.7, y * 0.7)
        floor = 6.0 * self._sample(self.hills, x * 2.0, y * 2.0) + 2.0 * self._sample(self.detail, x, y)
        return self._raster(self.base, x, y) + floor + rise * peaks


def ground_cover(design, v, nrm):
    """Slot of each land triangle: alpine grass and meadows low down, scree and
    rock on steep or high ground, snow on the peaks."""
    GRASS, ROCK, SNOW, SCREE, MEADOW = 0, 3, 4, 5, 6
    zc = v[:, :, 2].mean(axis=1)
    cx, cy = v[:, :, 0].mean(axis=1), v[:, :, 1].mean(axis=1)
    h = zc + 35.0 * np.sin(cx / 150.0) * np.cos(cy / 210.0)
    steep = nrm[:, 2] < np.cos(np.radians(32))
    rough = nrm[:, 2] < np.cos(np.radians(24))
    snow = (h > 520.0) & (nrm[:, 2] > np.cos(np.radians(42)))
    land = design.land
    patch = land._sample(land.detail, cx * 0.4 - 300, cy * 0.4 + 500) + 0.5 * land._sample(land.hills, cx * 3, cy * 3)
    return np.where(snow, SNOW, np.where(steep | (h > 390.0), ROCK,
                                         np.where(rough | (h > 290.0), SCREE,
                                                  np.where(patch > 0.25, MEADOW, GRASS))))


def wood_density(land, cand):
    """Chance that a pine stands at each candidate (x, y): woods on the lower
    slopes, thinning out towards the tree line."""
    dens = land._sample(land.hills, cand[:, 0] * 2.1 - 700, cand[:, 1] * 2.1 + 200)
    dens2 = land._sample(land.detail, cand[:, 0] * 0.9, cand[:, 1] * 0.9)
    prob = np.clip((dens + 0.35 * dens2 + 0.05) * 2.4, 0, 1) ** 1.3
    high = np.clip((land.height(cand[:, 0], cand[:, 1]) - 150.0) / 120.0, 0, 1)
    return prob * (1 - 0.7 * high) * 0.5
