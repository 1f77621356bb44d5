"""Builds a track from its plan (lib/tracks/<NAME>.py) in Blender: the land
with the road cut in, scenery and gates, exported as COLLADA.

The land is one mesh, node "Terrain" with geometry "Terrain-mesh" (the names the race looks up):
a structured ribbon along the road (asphalt, gravel verges, grass ditches
and embankments, out to the plan's RIBBON either side of the centre line)
stitched into a constrained Delaunay triangulation of the plan's GRID of
land points. Shared edges everywhere: no holes, no steps, no overlapping
surfaces (so no z-fighting between road and ground). Layout and heights come
from trackdesign.py.

Scenery (trees, rocks, fences), the checkpoint gates and the start gantry
are separate nodes that instance shared meshes; they are not part of the
terrain mesh, so the physics never meets them.
"""
import os
import sys

import numpy as np
from mathutils import Vector
from mathutils.bvhtree import BVHTree
from mathutils.geometry import delaunay_2d_cdt
from mathutils.kdtree import KDTree

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blendutil as bu  # noqa: E402
import geom as G  # noqa: E402
import trackdesign as T  # noqa: E402

GRASS_TILE = 32.0      # metres per grass texture repeat
ROCK_TILE = 24.0
VERGE_TILE = 8.0
# the terrain's material slots, in the order of the plan's GROUND list
GROUND_SLOTS = ("Grass", "Road", "Verge", "Rock", "Snow", "Scree", "Meadow")
GRASS, ROAD, VERGE, ROCK, SNOW, SCREE, MEADOW = range(7)


class Nearest:
    """Nearest centre-line point for many queries with one KD-tree."""

    def __init__(self, design):
        self.design = design
        self.ss = np.arange(0.0, design.road.length, 1.0)
        pos, t, n = design.road.at(self.ss)
        self.pos, self.t = pos, t
        self.kd = KDTree(len(pos))
        for i, p in enumerate(pos):
            self.kd.insert((p[0], p[1], 0.0), i)
        self.kd.balance()

    def __call__(self, x, y):
        x = np.asarray(x, float).reshape(-1)
        y = np.asarray(y, float).reshape(-1)
        idx = np.fromiter((self.kd.find((a, b, 0.0))[1] for a, b in zip(x, y)), dtype=np.int64, count=len(x))
        q = np.stack([x, y], axis=-1)
        along = np.sum((q - self.pos[idx]) * self.t[idx], axis=-1)
        s = np.mod(self.ss[idx] + along, self.design.road.length)
        p2, t2, n2 = self.design.road.at(s)
        d = np.sum((q - p2) * n2, axis=-1)
        return s, d


# ------------------------------------------------------------------ terrain
def build_terrain(design, near):
    plan = design.plan
    OFFSETS = np.array(plan.RIBBON)
    CORRIDOR = OFFSETS.max()
    road = design.road
    L = road.length
    P = road.mark_period
    secs = road.sections()
    ns, no = len(secs), len(OFFSETS)
    pos, tan, nrm = road.at(secs)
    # ribbon vertices (section-major)
    rib_xy = pos[:, None, :] + OFFSETS[None, :, None] * nrm[:, None, :]
    rib_xy = rib_xy.reshape(-1, 2)
    s_grid = np.repeat(secs, no)
    d_grid = np.tile(OFFSETS, ns)
    rib_z = design.final_z(rib_xy[:, 0], rib_xy[:, 1], s_grid, d_grid)

    # grid points outside the ribbon
    pts = []
    half = plan.TERRAIN_HALF
    cx, cy = plan.CENTRE
    coarsest = plan.GRID[-1][0]
    for step, lo, hi in plan.GRID:
        ax = np.arange(-half, half + 0.1, step)
        X, Y = np.meshgrid(ax, ax)
        X, Y = X.ravel(), Y.ravel()
        rho = (np.abs(X) ** 4 + np.abs(Y) ** 4) ** 0.25
        edge = (np.abs(X) >= half - 0.1) | (np.abs(Y) >= half - 0.1)
        keep = ((rho >= lo) & (rho < hi)) | (edge & (step == coarsest))
        X, Y = X + cx, Y + cy
        pts.append(np.stack([X[keep], Y[keep]], axis=-1))
    grid = np.unique(np.concatenate(pts), axis=0)
    gs, gd = near(grid[:, 0], grid[:, 1])
    keep = np.abs(gd) > CORRIDOR + 6.0
    grid, gs, gd = grid[keep], gs[keep], gd[keep]
    grid_z = design.final_z(grid[:, 0], grid[:, 1], gs, gd)
    print("  terrain: %d sections, %d ribbon vertices, %d grid points" % (ns, len(rib_xy), len(grid)))

    # constrained Delaunay triangulation of grid + ribbon border loops
    left = np.arange(ns) * no                 # offset +30
    right = np.arange(ns) * no + (no - 1)     # offset -30
    border_idx = np.concatenate([left, right])
    cdt_in = [Vector((p[0], p[1])) for p in grid] + [Vector(tuple(rib_xy[i])) for i in border_idx]
    ng = len(grid)
    edges = []
    for loop_start in (ng, ng + ns):
        for k in range(ns):
            edges.append((loop_start + k, loop_start + (k + 1) % ns))
    out_v, out_e, out_f, orig_v, orig_e, orig_f = delaunay_2d_cdt(cdt_in, edges, [], 0, 1e-5)
    # map CDT output vertices to our vertex list: ribbon first, then grid
    n_rib = len(rib_xy)
    index = np.empty(len(out_v), dtype=np.int64)
    for i, orig in enumerate(orig_v):
        if not orig:
            raise RuntimeError("CDT made a new vertex at %s" % (tuple(out_v[i]),))
        o = orig[0]
        if o >= ng:
            index[i] = border_idx[o - ng]
        else:
            index[i] = n_rib + o
    tri = np.array([[index[a] for a in f] for f in out_f if len(f) == 3], dtype=np.int64)
    assert all(len(f) == 3 for f in out_f)
    verts_xy = np.concatenate([rib_xy, grid])
    verts_z = np.concatenate([rib_z, grid_z])
    # drop the CDT's triangles inside the ribbon (between the two border loops)
    cen = verts_xy[tri].mean(axis=1)
    cs, cd = near(cen[:, 0], cen[:, 1])
    tri = tri[np.abs(cd) > CORRIDOR]
    # counter-clockwise from above
    a, b, c = verts_xy[tri[:, 0]], verts_xy[tri[:, 1]], verts_xy[tri[:, 2]]
    cross = (b[:, 0] - a[:, 0]) * (c[:, 1] - a[:, 1]) - (b[:, 1] - a[:, 1]) * (c[:, 0] - a[:, 0])
    tri[cross < 0] = tri[cross < 0][:, ::-1]

    verts = np.column_stack([verts_xy, verts_z])
    faces, mats, uvs = [], [], []

    # ribbon quads, split into triangles along the shorter diagonal
    start_half = P / 2
    for k in range(ns):
        k2 = (k + 1) % ns
        s0 = secs[k]
        s1 = secs[k2] if k2 else L
        in_start = (s0 >= L - start_half - 1e-6) or (s1 <= start_half + 1e-6)
        for j in range(no - 1):
            q = [k * no + j, k * no + j + 1, k2 * no + j + 1, k2 * no + j]
            d0, d1 = OFFSETS[j], OFFSETS[j + 1]
            dm = 0.5 * (d0 + d1)
            if abs(dm) < T.ROAD_HALF:
                mat = ROAD
                uoff = 0.5 if in_start else 0.0
                def uv(s, d):
                    return (uoff + (T.ROAD_HALF - d) / (4 * T.ROAD_HALF), s / P + 0.5)
            elif abs(dm) < T.ROAD_HALF + T.VERGE:
                mat = VERGE
                def uv(s, d):
                    return ((abs(d) - T.ROAD_HALF) / T.VERGE, s / VERGE_TILE)
            else:
                mat = GRASS
                uv = None
            corner_sd = [(s0, d0), (s0, d1), (s1, d1), (s1, d0)]
            diag02 = np.linalg.norm(verts[q[0]] - verts[q[2]])
            diag13 = np.linalg.norm(verts[q[1]] - verts[q[3]])
            split = ((0, 1, 2), (0, 2, 3)) if diag02 <= diag13 else ((0, 1, 3), (1, 2, 3))
            for t3 in split:
                faces.append([q[i] for i in t3])
                mats.append(mat)
                if uv is None:
                    uvs.extend(verts[q[i], :2] / GRASS_TILE for i in t3)
                else:
                    uvs.extend(uv(*corner_sd[i]) for i in t3)
    # the rest of the land, covered as the plan says
    v = verts[tri]
    nrm = np.cross(v[:, 1] - v[:, 0], v[:, 2] - v[:, 0])
    nrm /= np.linalg.norm(nrm, axis=1, keepdims=True)
    land_mat = plan.ground_cover(design, v, nrm)
    for f, m, nn in zip(tri, land_mat, nrm):
        faces.append(list(f))
        mats.append(int(m))
        p = verts[f]
        if m in (GRASS, SCREE, MEADOW):
            uvs.extend(p[:, :2] / GRASS_TILE)
        else:
            # project along the dominant axis so cliffs are not smeared
            ax = int(np.argmax(np.abs(nn)))
            if ax == 2:
                uvs.extend(p[:, :2] / ROCK_TILE)
            elif ax == 0:
                uvs.extend(p[:, 1:3] / ROCK_TILE)
            else:
                uvs.extend(p[:, [0, 2]] / ROCK_TILE)
    return verts, faces, np.array(mats), np.array(uvs)


# ------------------------------------------------------------------ scenery
# Tree atlas (trees.jpg) cells in u: bark, pine needles, broadleaf foliage.
BARK_U, PINE_U, LEAF_U = (0.0, 0.25), (0.25, 0.625), (0.625, 1.0)


def atlas(p, cell, planar=None):
    """Maps a part's u into an atlas cell; planar=(scale) projects x, y instead."""
    q = dict(p)
    uv = p["uvs"].copy()
    if planar is not None:
        v = p["verts"]
        uv = np.array([(v[i][0] * planar + 0.5, v[i][2] * planar * 0.7 + 0.5)
                       for f in p["faces"] for i in f])
    u = np.clip(uv[:, 0] % 1.0 if planar is None else uv[:, 0], 0.0, 1.0)
    uv[:, 0] = cell[0] + 0.02 + u * (cell[1] - cell[0] - 0.04)
    q["uvs"] = uv
    return q


def pine_mesh():
    parts = []
    trunk = G.lathe([(-1.0, 0.24), (2.2, 0.14)], 6, axis="z", uv_repeat=0.999)
    parts.append(atlas(trunk, BARK_U))
    for k, (z0, h, r) in enumerate(((1.5, 4.4, 2.4), (3.5, 3.8, 1.9), (5.4, 3.4, 1.35))):
        cone = G.lathe([(z0, r), (z0 + h, 0.02)], 9, axis="z", uv_repeat=0.999)
        under = G.disc(z0, r, 9, facing=-1)
        under = G.transform(under, np.array([[0, 1, 0], [0, 0, 1], [1, 0, 0]]))
        parts.append(atlas(G.merge([cone, under]), PINE_U))
    return G.merge(parts)


def broadleaf_mesh(seed):
    rng = np.random.default_rng(seed)
    trunk = G.lathe([(-1.0, 0.32), (3.4, 0.2)], 8, axis="z", uv_repeat=0.999)
    parts = [atlas(trunk, BARK_U)]
    for k in range(2):
        ico = icosphere(1)
        ico["verts"] = ico["verts"] * (rng.uniform(0.9, 1.15, 3) * np.array([2.9, 2.9, 2.4]))
        ico["verts"] *= rng.uniform(0.88, 1.12, (len(ico["verts"]), 1))
        off = (rng.uniform(-1.0, 1.0), rng.uniform(-1.0, 1.0), 4.4 + 1.1 * k + rng.uniform(-0.2, 0.4))
        ico = G.transform(ico, offset=off)
        parts.append(atlas(ico, LEAF_U, planar=0.12))
    return G.merge(parts)


def icosphere(subdiv):
    t = (1 + 5 ** 0.5) / 2
    v = [(-1, t, 0), (1, t, 0), (-1, -t, 0), (1, -t, 0), (0, -1, t), (0, 1, t), (0, -1, -t), (0, 1, -t),
         (t, 0, -1), (t, 0, 1), (-t, 0, -1), (-t, 0, 1)]
    v = [np.array(p, float) / np.linalg.norm(p) for p in v]
    f = [(0, 11, 5), (0, 5, 1), (0, 1, 7), (0, 7, 10), (0, 10, 11), (1, 5, 9), (5, 11, 4), (11, 10, 2),
         (10, 7, 6), (7, 1, 8), (3, 9, 4), (3, 4, 2), (3, 2, 6), (3, 6, 8), (3, 8, 9), (4, 9, 5),
         (2, 4, 11), (6, 2, 10), (8, 6, 7), (9, 8, 1)]
    for _ in range(subdiv):
        cache = {}
        nf = []

        def mid(a, b):
            key = (min(a, b), max(a, b))
            if key not in cache:
                m = v[a] + v[b]
                v.append(m / np.linalg.norm(m))
                cache[key] = len(v) - 1
            return cache[key]
        for a, b, c in f:
            ab, bc, ca = mid(a, b), mid(b, c), mid(c, a)
            nf += [(a, ab, ca), (b, bc, ab), (c, ca, bc), (ab, bc, ca)]
        f = nf
    verts = np.array(v)
    uvs = []
    for tri in f:
        for i in tri:
            x, y, z = verts[i]
            uvs.append((np.arctan2(y, x) / np.pi + 1.0, z * 0.5 + 0.5))
    return G.part(verts, f, uvs)


def rock_mesh(seed):
    rng = np.random.default_rng(seed)
    p = icosphere(1)
    v = p["verts"]
    bumps = 1 + 0.25 * rng.standard_normal(len(v))
    v = v * np.clip(bumps, 0.7, 1.3)[:, None] * np.array([1.6, 1.2, 0.9])
    v[:, 2] = np.where(v[:, 2] < -0.2, -0.2 + (v[:, 2] + 0.2) * 0.3, v[:, 2])
    p["verts"] = v
    p["uvs"] = np.array([(x / 2.0, z / 2.0 + y / 3.0) for tri in p["faces"] for x, y, z in v[list(tri)]])
    return p


def fence_mesh(length=20.0, posts=6):
    """A straight fence section along +x: posts and two rails."""
    parts = []
    for x in np.linspace(0.0, length, posts):
        parts.append(G.box((x, 0, 0.45), (0.14, 0.14, 1.5), 0))
    parts.append(G.box((length / 2, 0, 0.95), (length, 0.06, 0.14), 0))
    parts.append(G.box((length / 2, 0, 0.5), (length, 0.06, 0.14), 0))
    p = G.merge(parts)
    v = p["verts"]
    p["uvs"] = np.array([(x * 0.5 + y, z * 0.5) for tri in p["faces"] for x, y, z in v[list(tri)]])
    return p


def gate_mesh(row, half_span=8.0, height=6.0, back_row=None):
    """Gantry over the road: posts outside the road, a beam, and a 6 m banner
    between two hanging bars that mark the checkpoint's +-3 m window; the
    banner's back shows back_row (default: the front's row)."""
    parts = []
    for sx in (-1, 1):
        parts.append(G.box((sx * half_span, 0, height / 2), (0.4, 0.4, height), 1))
        parts.append(G.box((sx * 3.1, 0, height - 1.0), (0.2, 0.2, 1.6), 1))
    beam = G.box((0, 0, height + 0.15), (2 * half_span + 0.4, 0.35, 0.3), 1)
    parts.append(beam)
    # banner board, 6.2 m wide, text row `row` of banners.png on both faces
    w, hgt, zc = 6.0, 1.1, height - 0.75
    v = [(-w / 2, -0.1, zc - hgt / 2), (w / 2, -0.1, zc - hgt / 2), (w / 2, -0.1, zc + hgt / 2),
         (-w / 2, -0.1, zc + hgt / 2),
         (w / 2, 0.1, zc - hgt / 2), (-w / 2, 0.1, zc - hgt / 2), (-w / 2, 0.1, zc + hgt / 2),
         (w / 2, 0.1, zc + hgt / 2)]
    def rows(r):
        v0, v1 = 1 - (r + 1) * 64 / 512, 1 - r * 64 / 512
        return [(0, v0), (1, v0), (1, v1), (0, v1)]
    uv = rows(row)
    parts.append(G.part(v, [(0, 1, 2, 3), (4, 5, 6, 7)], uv + (uv if back_row is None else rows(back_row)), 0))
    # posts, bars and beam (material 1) carry no texture
    return G.merge(parts)


def ground_caster(verts, faces):
    tree = BVHTree.FromPolygons([tuple(float(c) for c in v) for v in verts],
                                [tuple(int(i) for i in f) for f in faces])

    def z_at(x, y):
        loc, n, i, d = tree.ray_cast(Vector((x, y, 3000.0)), Vector((0, 0, -1)))
        return (loc.z, np.array(n)) if loc is not None else (None, None)
    return z_at


def scatter(design, near, z_at, rng):
    """Tree and rock positions: clustered woods, kept off the road and the peaks.

    Some candidates lie near the road (an exponential spread beyond a
    minimum offset), where the driver sees them; the rest spread over the
    land. The plan's wood density makes woods and clearings.
    """
    sc = design.plan.SCENERY
    ss = rng.uniform(0, design.road.length, sc["near_count"])
    off = rng.choice([-1.0, 1.0], len(ss)) * (sc["near_offset"][0] + rng.exponential(sc["near_offset"][1], len(ss)))
    p, t, nrm = design.road.at(ss)
    near_road = p + off[:, None] * nrm
    spread = rng.uniform(-sc["spread_half"], sc["spread_half"], (sc["spread_count"], 2)) + design.plan.CENTRE
    cand = np.concatenate([near_road, spread])
    pick = rng.random(len(cand)) < design.plan.wood_density(design.land, cand)
    cand = cand[pick]
    s, d = near(cand[:, 0], cand[:, 1])
    ok = np.abs(d) > sc["keep_off"]
    trees = []
    for (x, y), good in zip(cand, ok):
        if not good:
            continue
        z, n = z_at(x, y)
        if z is None or n[2] < sc["min_up"] or z > sc["tree_line"]:
            continue
        trees.append((x, y, z))
    # rocks: some along the road side, some over the land
    rocks = []
    ss = rng.uniform(0, design.road.length, sc["rock_count"])
    side = rng.choice([-1, 1], len(ss)) * rng.uniform(sc["rock_side"][0], sc["rock_side"][1], len(ss))
    p, t, nrm = design.road.at(ss)
    xy = p + side[:, None] * nrm
    more = rng.uniform(-sc["spread_half"], sc["spread_half"], (sc["rock_spread"], 2)) + design.plan.CENTRE
    for x, y in np.concatenate([xy, more]):
        z, n = z_at(x, y)
        if z is None or z > sc["rock_top"]:
            continue
        ss2, dd = near([x], [y])
        if abs(dd[0]) < sc["rock_keep_off"]:
            continue
        rocks.append((x, y, z, n))
    return trees, rocks


def build(plan, data):
    """Writes data/tracks/<NAME>/<NAME>.dae; the textures must be there already.

    The game lights a track from its description's light position plus half
    the ambient colour (light 0.3 + scene 0.2); the ground's ambient 0.4
    keeps the near ground from washing out."""
    folder = os.path.join(data, "tracks", plan.NAME)
    bu.reset()
    design = T.Design(plan)
    near = Nearest(design)
    tex = lambda n: os.path.join(folder, n)  # noqa: E731
    ground = []
    for slot, m in zip(GROUND_SLOTS, plan.GROUND):
        assert m["name"] == slot, (slot, m["name"])
        ground.append(bu.material(m["name"], m["diffuse"], specular=m["specular"], shininess=m["shininess"],
                                  texture=tex(m["texture"]) if m["texture"] else None,
                                  ambient=m.get("ambient", plan.GROUND_AMBIENT)))
    verts, faces, mats, uvs = build_terrain(design, near)
    bu.mesh_object("Terrain", verts, faces, mesh_name="Terrain", uvs=uvs, mat_index=mats, materials=ground,
                   smooth=True, auto_smooth_deg=50)
    n_terrain = len(faces)
    print("  terrain: %d triangles" % n_terrain)
    z_at = ground_caster(verts, faces)

    # scenery meshes (link=False: only instances are in the scene)
    m_tree = bu.material("Tree", (0.2, 0.35, 0.15), specular=(0.05, 0.05, 0.05), shininess=5,
                         texture=tex("trees.jpg"))
    m_stone = bu.material("Stone", (0.5, 0.48, 0.45), specular=(0.1, 0.1, 0.1), shininess=10,
                          texture=tex("rock.jpg"))
    m_wood = bu.material("Wood", (0.5, 0.4, 0.3), specular=(0.08, 0.08, 0.08), shininess=8,
                         texture=tex("wood.jpg"))
    m_banner = bu.material("Banner", (0.9, 0.9, 0.9), specular=(0.3, 0.3, 0.3), shininess=30,
                           texture=tex("banners.png"), ambient=(0.7, 0.7, 0.7))
    m_frame = bu.material("GateFrame", (0.85, 0.86, 0.88), specular=(0.6, 0.6, 0.6), shininess=50)

    def src(name, p, mats_, smooth=True, auto=None):
        return bu.mesh_object(name + "_src", p["verts"], p["faces"], mesh_name=name, uvs=p["uvs"],
                              mat_index=p["mats"], materials=mats_, smooth=smooth, auto_smooth_deg=auto,
                              link=False)

    pine = src("Pine", pine_mesh(), [m_tree], auto=60)
    broad = [src("Broadleaf%d" % i, broadleaf_mesh(40 + i), [m_tree], auto=70) for i in range(2)]
    rocks_src = [src("Boulder%d" % i, rock_mesh(70 + i), [m_stone], auto=80) for i in range(3)]
    fence = src("Fence", fence_mesh(), [m_wood], smooth=False)

    rng = np.random.default_rng(plan.SCENERY["seed"])
    trees, rocks = scatter(design, near, z_at, rng)
    # group scenery in 1 km tiles (one top-level node each) so whole woods can be culled
    tiles = {}

    def tile(x, y):
        key = (int(np.floor(x / 1000.0)), int(np.floor(y / 1000.0)))
        if key not in tiles:
            name = "Scenery_%s%d_%s%d" % ("m" if key[0] < 0 else "p", abs(key[0]),
                                         "m" if key[1] < 0 else "p", abs(key[1]))
            tiles[key] = bu.empty(name)
        return tiles[key]

    for i, (x, y, z) in enumerate(trees):
        kind = rng.random()
        sc = rng.uniform(0.75, 1.35)
        rot = (0, 0, rng.uniform(0, 2 * np.pi))
        if z > plan.SCENERY["pine_above"] or kind < plan.SCENERY["pine_share"]:
            srcm, name = pine, "Pine_%04d" % i
        else:
            srcm, name = broad[int(kind * 10) % 2], "Tree_%04d" % i
        bu.instance(name, srcm, location=(x, y, z - 0.3), rotation=rot, scale=(sc, sc, sc * rng.uniform(0.9, 1.2)),
                    parent=tile(x, y))
    for i, (x, y, z, n) in enumerate(rocks):
        sc = rng.uniform(0.6, 2.2)
        bu.instance("Rock_%04d" % i, rocks_src[i % 3], location=(x, y, z - 0.25 * sc),
                    rotation=(rng.uniform(-0.2, 0.2), rng.uniform(-0.2, 0.2), rng.uniform(0, 2 * np.pi)),
                    scale=(sc, sc, sc), parent=tile(x, y))
    # fences along the start straight, both sides, in sections
    fences = bu.empty("Fences")
    k = 0
    f_from, f_to, f_len, f_off = plan.FENCES
    for s in np.arange(f_from, f_to, f_len):
        for side in (1, -1):
            p, t, nrm = design.road.at(s)
            a = p + side * f_off * nrm
            p2, t2, n2 = design.road.at(s + f_len)
            b_ = p2 + side * f_off * n2
            za, _ = z_at(*a)
            if za is None:
                continue
            ang = np.arctan2(b_[1] - a[1], b_[0] - a[0])
            bu.instance("Fence_%03d" % k, fence, location=(a[0], a[1], za - 0.05), rotation=(0, 0, ang),
                        parent=fences)
            k += 1
    # gates: start gantry and the five checkpoints
    gates = bu.empty("Gates")
    for row, tag, name in [(0, "start", "StartGantry")] + [(i + 1, "cp%d" % i, "Checkpoint_%d" % (i + 1))
                                                            for i in range(5)]:
        s = design.road.tags[tag]
        p, t, nrm = design.road.at(s)
        z = float(design.road_z(s))
        gm = gate_mesh(row, back_row=plan.START_BACK_ROW if tag == "start" else None)
        ob = bu.mesh_object(name, gm["verts"], gm["faces"], mesh_name="Gate_" + name, uvs=gm["uvs"],
                            mat_index=gm["mats"], materials=[m_banner, m_frame], smooth=False,
                            location=(p[0], p[1], z), parent=gates)
        ob.rotation_euler = (0, 0, float(np.arctan2(t[1], t[0]) - np.pi / 2))
    print("  scenery: %d trees, %d rocks, %d fence segments" % (len(trees), len(rocks), k))
    print("  %s: %d triangles in all (terrain %d)" % (plan.NAME, bu.triangle_count(), n_terrain))
    bu.export(os.path.join(folder, plan.NAME + ".dae"))
