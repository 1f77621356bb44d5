"""GreenValley: a 12 km loop through a broad green valley under a midday sun.

Clockwise from the start: a tight left-hander, the long climb north, the
fast sweep east along the valley's northern side, the southern hills and the
long straight home. The road follows the land (PROFILE None).
"""
import numpy as np

import trackdesign as T

NAME = "GreenValley"
ALLOWANCES = [95.0, 80.0, 50.0, 60.0, 75.0]     # s given for reaching checkpoint 1..5

# Clockwise loop: start, checkpoint 1 ... checkpoint 5, back to the start.
# Entries are (x, y) or (x, y, tag); tagged points are the start and the checkpoints.
WAYPOINTS = [
    (0.0, 0.0, "start"),
    (0.0, 110.0),
    (-45.0, 215.0),
    (-170.0, 250.0),
    (-300.0, 185.0),
    (-388.0, 90.0, "cp0"),
    (-480.0, 20.0),
    (-610.0, 25.0),
    (-710.0, 140.0),
    (-760.0, 420.0),
    (-790.0, 800.0),
    (-900.0, 1200.0),
    (-1080.0, 1560.0),
    (-1156.0, 1884.0, "cp1"),
    (-1070.0, 2080.0),
    (-860.0, 2110.0),
    (-500.0, 2000.0),
    (-120.0, 1860.0),
    (300.0, 1700.0),
    (757.0, 1454.0, "cp2"),
    (1050.0, 1180.0),
    (1190.0, 800.0),
    (1100.0, 380.0),
    (1090.0, 20.0),
    (1163.0, -333.0, "cp3"),
    (1290.0, -760.0),
    (1270.0, -1250.0),
    (1150.0, -1620.0),
    (1169.0, -1933.0, "cp4"),
    (1110.0, -2220.0),
    (860.0, -2390.0),
    (480.0, -2300.0),
    (180.0, -1950.0),
    (30.0, -1400.0),
    (0.0, -800.0),
    (0.0, -380.0),
    (0.0, -140.0),
]

PROFILE = None           # the road follows the land
MAX_GRADE = 0.055        # longitudinal gradient limit
MAX_BANK = 0.045         # cross slope limit in curves
CENTRE = (0.0, 0.0)     # the middle of the land
TERRAIN_HALF = 4000.0    # the land spans the centre +-4000 in x and y
MARK_PERIOD = 22.0       # road texture repeat (m), adjusted to divide the loop

# The terrain mesh: cross-section offsets (left positive) of the road ribbon,
# and the grid of the land beyond it: (spacing, from, to) by distance from the
# origin (a rounded square), the coarsest reaching the border.
RIBBON = (30.0, 18.0, 9.0, 7.5, 5.5, 0.0, -5.5, -7.5, -9.0, -18.0, -30.0)
GRID = ((25.0, 0.0, 2600.0), (50.0, 2600.0, 3300.0), (100.0, 3300.0, 1e9))

# Ground materials in the terrain's slot order (trackbuild.GROUND_SLOTS).
GROUND = [
    dict(name="Grass", diffuse=(0.35, 0.5, 0.2), specular=(0.05, 0.05, 0.05), shininess=6, texture="grass.jpg"),
    dict(name="Road", diffuse=(0.35, 0.35, 0.36), specular=(0.25, 0.25, 0.25), shininess=24, texture="road.jpg"),
    dict(name="Verge", diffuse=(0.5, 0.46, 0.4), specular=(0.08, 0.08, 0.08), shininess=8, texture="verge.jpg"),
    dict(name="Rock", diffuse=(0.5, 0.48, 0.45), specular=(0.12, 0.12, 0.12), shininess=10, texture="rock.jpg"),
    dict(name="Snow", diffuse=(0.92, 0.94, 0.98), specular=(0.3, 0.3, 0.3), shininess=20, texture=None,
         ambient=(0.7, 0.72, 0.76)),
    dict(name="Scree", diffuse=(0.45, 0.47, 0.35), specular=(0.08, 0.08, 0.08), shininess=8, texture="scree.jpg"),
    dict(name="Meadow", diffuse=(0.25, 0.4, 0.12), specular=(0.05, 0.05, 0.05), shininess=6, texture="meadow.jpg"),
]
GROUND_AMBIENT = (0.4, 0.4, 0.4)

# Scenery: where trees and rocks may stand, and which trees.
SCENERY = dict(
    seed=2024,
    near_count=16000, near_offset=(17.0, 70.0),     # candidates by the road: min offset, mean beyond
    spread_count=9000, spread_half=3300.0,           # and over the whole land
    keep_off=16.0, min_up=0.88, tree_line=260.0,     # off the road, on gentle ground, below the tree line
    pine_above=120.0, pine_share=0.45,               # pines above this height, else this share of them
    rock_count=90, rock_side=(14.0, 45.0), rock_spread=140, rock_top=420.0, rock_keep_off=13.0,
)
FENCES = (-440.0, 40.0, 20.0, 11.5)                  # along s from, to, section length, offset from the centre
START_BACK_ROW = None                                # banner row on the start gantry's back (None: the front's)


class Land(T.Land):
    """Rolling valley hills in a bowl, mountains round the edge."""

    def __init__(self):
        super().__init__(TERRAIN_HALF)
        self.hills = self.fractal(31, 3.0, 3, 30)          # rolling hills, ~300-3000 m features
        self.detail = self.fractal(32, 2.0, 25, 120)       # small bumps, 70-300 m
        self.ridges = self.fractal(33, 2.6, 3, 36)         # mountain ridges

    def height(self, x, y):
        x = np.asarray(x, float)
        y = np.asarray(y, float)
        rho = (np.abs(x) ** 4 + np.abs(y) ** 4) ** 0.25
        t = np.clip((rho - 2650.0) / 1250.0, 0, 1)
        mountain = t * t * (3 - 2 * t)
        valley = 75.0 * self._sample(self.hills, x, y) + 3.0 * self._sample(self.detail, x, y)
        # a gentle bowl: the valley floor rises towards the hills around it
        bowl = 40.0 * np.clip((rho - 500.0) / 2200.0, 0, 1) ** 2
        ridge = self._sample(self.ridges, x, y)
        peaks = 380.0 + 240.0 * ridge + 40.0 * self._sample(self.detail, x * 0.7, y * 0.7)
        return valley + bowl + mountain * peaks


def ground_cover(design, v, nrm):
    """Slot of each land triangle (corners v, unit normals nrm): grass, rock on
    steep or high ground, snow on the peaks, pasture patches on the valley floor."""
    GRASS, ROCK, SNOW, SCREE, MEADOW = 0, 3, 4, 5, 6
    zc = v[:, :, 2].mean(axis=1)
    wobble = 40.0 * np.sin(v[:, :, 0].mean(axis=1) / 170.0) * np.cos(v[:, :, 1].mean(axis=1) / 230.0)
    steep = nrm[:, 2] < np.cos(np.radians(34))
    rough = nrm[:, 2] < np.cos(np.radians(28))
    h = zc + wobble
    snow = (h > 560.0) & (nrm[:, 2] > np.cos(np.radians(40)))
    cx, cy = v[:, :, 0].mean(axis=1), v[:, :, 1].mean(axis=1)
    land = design.land
    patch = land._sample(land.detail, cx * 0.35 + 900, cy * 0.35 - 700) \
        + 0.5 * land._sample(land.hills, cx * 3.0, cy * 3.0)
    return np.where(snow, SNOW, np.where(steep | (h > 330.0), ROCK,
                                         np.where(rough | (h > 230.0), SCREE,
                                                  np.where(patch > 0.2, MEADOW, GRASS))))


def wood_density(land, cand):
    """Chance that a tree stands at each candidate (x, y): woods and clearings."""
    dens = land._sample(land.hills, cand[:, 0] * 2.3 + 500, cand[:, 1] * 2.3 - 300)
    dens2 = land._sample(land.detail, cand[:, 0] * 0.8, cand[:, 1] * 0.8)
    prob = np.clip((dens + 0.35 * dens2 - 0.05) * 2.2, 0, 1) ** 1.5
    return prob * 0.38
