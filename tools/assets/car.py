"""Blender script: models one of the two cars and exports it as COLLADA.

Run: blender -b --factory-startup --python car.py -- CAR DATA_DIR
     (CAR: NissanSkyline, BugattiVeyron or VesperRS)

Frame, as the game and its physics expect: the car node sits at (0, 0, h), h being the height
of the physics box's centre above flat ground with the car at rest; it
faces +y with +z up. All geometry below is in the car node's frame, so the
ground is at z = -h. Each car's own car.ini gives the physics box and the
wheels: their centres are at (+-wheel_x, +-wheel_y, r - h) (tyres touching
the ground), radius r; the two first cars' box has half-extents
1.0 x 2.35 x 0.55 and their wheels stand at +-1.1, +-1.1. The physics puts
the front left wheel at +x, so the "left" nodes are the ones at +x.

The body is lofted from cross-sections (superellipses whose width, heights
and roundness vary along the car), the wheel arches are cut with Blender's
exact boolean, the greenhouse is a second loft whose faces are paint or
glass by position, and lamps, grille and plates are decals ray-cast onto the
body. Everything of the body is one mesh with these materials, glass last
(the renderer blends in drawing order and does not sort).
"""
import os
import sys

import bpy
import numpy as np
from mathutils import Vector
from mathutils.bvhtree import BVHTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import blendutil as bu  # noqa: E402
import geom as G  # noqa: E402

# Body material slots, in drawing order (glass last).
PAINT, PAINT2, TRIM, CHROME, LAMPS, INTERIOR, GLASS = range(7)

CARS = {
    "NissanSkyline": dict(
        h=0.72, radius=0.30, rim=0.215, tyre_width=0.235,
        paint=(0.04, 0.20, 0.62), paint2=(0.04, 0.20, 0.62), caliper=(0.75, 0.06, 0.05),
        rim_colour=(0.62, 0.63, 0.66), spokes=5, spoke_pairs=True,
        # side view (y, z) of the top line of the lower body
        top=[(-2.33, 0.06), (-2.27, 0.17), (-2.0, 0.21), (-1.4, 0.21), (-0.9, 0.19), (0.0, 0.17),
             (0.7, 0.15), (1.5, 0.11), (2.05, 0.07), (2.26, 0.03), (2.35, -0.08)],
        bottom=[(-2.33, -0.44), (-2.1, -0.52), (-1.5, -0.55), (1.6, -0.55), (2.15, -0.52), (2.35, -0.44)],
        width=[(-2.33, 0.90), (-2.15, 0.96), (-1.6, 0.97), (1.5, 0.97), (2.1, 0.96), (2.35, 0.90)],
        flare=0.19, plan_exp=(8.0, 7.0), end_zone=(0.45, 0.5),
        section_top=4.0, section_bottom=8.0, shoulder=0.50, tumble=0.12,
        # greenhouse: (y, roof z) and its half-widths at the belt and at the roof
        roof=[(-1.45, 0.16), (-1.30, 0.27), (-0.9, 0.48), (-0.6, 0.535), (0.0, 0.54),
              (0.25, 0.48), (0.70, 0.24), (0.86, 0.14)],
        cabin_belt_w=0.92, cabin_roof_w=0.70, b_pillar=-0.32, c_pillar=-0.98,
        wing=True, scoops=False, wheel_x=1.1, wheel_y=1.1, lamps="skyline", mirror_paint=PAINT,
    ),
    "BugattiVeyron": dict(
        h=0.70, radius=0.32, rim=0.24, tyre_width=0.245,
        # the game's reflection pass adds the environment map's colour squared to the
        # frame's, so a dark paint turns into a mirror of the sky: the rear, roof and
        # spine (what the chase camera sees) are a bright red, the nose and doors graphite
        paint=(0.30, 0.30, 0.33), paint2=(0.58, 0.03, 0.05), caliper=(0.08, 0.08, 0.09),
        rim_colour=(0.70, 0.71, 0.74), spokes=10, spoke_pairs=False,
        top=[(-2.26, -0.10), (-2.18, 0.10), (-1.9, 0.17), (-1.0, 0.20), (-0.6, 0.17), (0.3, 0.07),
             (0.9, 0.03), (1.5, -0.02), (1.95, -0.10), (2.18, -0.20), (2.30, -0.32)],
        bottom=[(-2.26, -0.36), (-2.0, -0.50), (-1.5, -0.545), (1.5, -0.545), (2.0, -0.52), (2.30, -0.44)],
        width=[(-2.26, 0.84), (-2.0, 0.96), (-1.4, 0.99), (1.4, 0.97), (1.95, 0.94), (2.30, 0.78)],
        flare=0.19, plan_exp=(4.0, 3.2), end_zone=(0.75, 0.9),
        section_top=2.4, section_bottom=4.5, shoulder=0.45, tumble=0.16,
        roof=[(-1.25, 0.14), (-1.05, 0.26), (-0.55, 0.47), (-0.2, 0.50), (0.15, 0.47),
              (0.55, 0.26), (0.85, 0.08), (0.98, 0.02)],
        cabin_belt_w=0.86, cabin_roof_w=0.56, b_pillar=None, c_pillar=-0.72,
        wing=False, scoops=True, wheel_x=1.1, wheel_y=1.1, lamps="veyron", mirror_paint=PAINT2,
    ),
    # A light rally hatchback: short, narrow and tall, a long wheelbase for its
    # length and a near-upright tail; red with a white roof, both bright for
    # the reflection pass (above). Box 0.9 x 2.0 x 0.6, wheels at +-0.9, +-1.25.
    "VesperRS": dict(
        h=0.75, radius=0.30, rim=0.19, tyre_width=0.205,
        paint=(0.72, 0.07, 0.05), paint2=(0.86, 0.87, 0.89), caliper=(0.95, 0.75, 0.05),
        rim_colour=(0.86, 0.87, 0.90), spokes=6, spoke_pairs=False,
        top=[(-1.98, 0.02), (-1.93, 0.14), (-1.7, 0.18), (-1.0, 0.17), (0.0, 0.15), (0.7, 0.10),
             (1.4, 0.03), (1.85, -0.03), (1.96, -0.09), (2.0, -0.17)],
        bottom=[(-1.98, -0.42), (-1.8, -0.53), (-1.3, -0.56), (1.4, -0.56), (1.85, -0.53), (2.0, -0.45)],
        width=[(-1.98, 0.76), (-1.8, 0.82), (-1.3, 0.84), (1.3, 0.84), (1.8, 0.81), (2.0, 0.74)],
        flare=0.12, plan_exp=(6.0, 5.0), end_zone=(0.3, 0.45),
        section_top=3.5, section_bottom=7.0, shoulder=0.50, tumble=0.14,
        roof=[(-1.88, 0.16), (-1.80, 0.36), (-1.62, 0.55), (-1.2, 0.59), (-0.4, 0.595), (0.05, 0.57),
              (0.55, 0.32), (0.80, 0.15), (0.88, 0.11)],
        cabin_belt_w=0.78, cabin_roof_w=0.62, b_pillar=-0.35, c_pillar=-1.50,
        wing=False, scoops=False, wheel_x=0.9, wheel_y=1.25, lamps="hatch", mirror_paint=PAINT2,
    ),
}


# ----------------------------------------------------------------- lower body
def body_profiles(c, ys):
    top = G.pchip(*zip(*c["top"]), ys)
    bottom = G.pchip(*zip(*c["bottom"]), ys)
    width = G.pchip(*zip(*c["width"]), ys)
    # fender flares around the wheels
    for wy in (c["wheel_y"], -c["wheel_y"]):
        d = np.clip(np.abs(ys - wy) / 0.78, 0, 1)
        width = width + c["flare"] * 0.5 * (1 + np.cos(np.pi * d))
    # plan view: round the ends (superellipse over the end zones)
    y0, y1 = ys[0], ys[-1]
    ez_r, ez_f = c["end_zone"]
    pe_r, pe_f = c["plan_exp"]
    u_f = np.clip((ys - (y1 - ez_f)) / ez_f, 0, 1) * 0.985
    u_r = np.clip(((y0 + ez_r) - ys) / ez_r, 0, 1) * 0.985
    width = width * (1 - u_f ** pe_f) ** (1 / pe_f) * (1 - u_r ** pe_r) ** (1 / pe_r)
    return top, bottom, width


def section(c, W, Zt, Zb, ring):
    """One closed cross-section of `ring` points, starting at the bottom centre."""
    t = -np.pi / 2 + np.arange(ring) * 2 * np.pi / ring
    cs, sn = np.cos(t), np.sin(t)
    Zs = Zb + c["shoulder"] * (Zt - Zb)
    pts = []
    for ci, si in zip(cs, sn):
        n = c["section_top"] if si >= 0 else c["section_bottom"]
        x = W * np.sign(ci) * abs(ci) ** (2 / n)
        if si >= 0:
            z = Zs + (Zt - Zs) * abs(si) ** (2 / n)
            x *= 1 - c["tumble"] * abs(si) ** 2
        else:
            z = Zs - (Zs - Zb) * abs(si) ** (2 / n)
        pts.append((x, z))
    return pts


def lower_body(c):
    ring = 40
    ys = np.linspace(c["top"][0][0], c["top"][-1][0], 72)
    top, bottom, width = body_profiles(c, ys)
    verts = []
    for y, Zt, Zb, W in zip(ys, top, bottom, width):
        for x, z in section(c, W, Zt, Zb, ring):
            verts.append((x, y, z))
    ns = len(ys)
    faces = []
    for i in range(ns - 1):
        for j in range(ring):
            j2 = (j + 1) % ring
            a, b = i * ring + j, i * ring + j2
            faces.append((a, (i + 1) * ring + j, (i + 1) * ring + j2, b))
    # caps (rear faces -y, front faces +y)
    rear_c = len(verts)
    verts.append((0.0, ys[0], float(np.mean([v[2] for v in verts[:ring]]))))
    front_c = len(verts)
    verts.append((0.0, ys[-1], float(np.mean([v[2] for v in verts[(ns - 1) * ring:ns * ring]]))))
    for j in range(ring):
        j2 = (j + 1) % ring
        faces.append((rear_c, j2, j))
        faces.append((front_c, (ns - 1) * ring + j, (ns - 1) * ring + j2))
    p = G.part(verts, faces, mats=PAINT)
    return p, (ys, top, bottom, width)


def face_centres(p):
    v = p["verts"]
    return np.array([v[list(f)].mean(axis=0) for f in p["faces"]])


def paint_rules(name, c, p, profiles):
    """Trim (black) on the lowest band, the second paint colour where the car has one."""
    ys, top, bottom, width = profiles
    cen = face_centres(p)
    zb = np.interp(cen[:, 1], ys, bottom)
    mats = p["mats"].copy()
    low = cen[:, 2] < zb + 0.07
    mats[low] = TRIM
    if name == "BugattiVeyron":
        zt = np.interp(cen[:, 1], ys, top)
        rel = (cen[:, 2] - zb) / np.maximum(zt - zb, 1e-3)
        # two-tone: black behind the doors and along the spine
        rear = cen[:, 1] < -0.62
        topband = (rel > 0.93) & (cen[:, 1] < 0.5) & (np.abs(cen[:, 0]) < 0.55)
        mats[(rear | topband) & ~low] = PAINT2
    # the body's top under the greenhouse is the cabin floor, seen through the glass
    v = p["verts"]
    nz = np.array([np.cross(v[f[1]] - v[f[0]], v[f[2]] - v[f[1]])[2] /
                   (np.linalg.norm(np.cross(v[f[1]] - v[f[0]], v[f[2]] - v[f[1]])) + 1e-12)
                   for f in p["faces"]])
    in_y = (cen[:, 1] > c["roof"][0][0] + 0.1) & (cen[:, 1] < c["roof"][-1][0] - 0.1)
    inside = np.zeros(len(cen), dtype=bool)
    for k in np.nonzero((nz > 0.6) & in_y)[0]:
        y = cen[k, 1]
        wb = cabin_width(c, profiles, y)
        inside[k] = abs(cen[k, 0]) < wb - 0.06
    mats[inside] = INTERIOR
    p["mats"] = mats
    return p


def cut_arches(c, p, profiles):
    """Wheel arches: exact boolean difference with four cylinders."""
    mats = [bpy.data.materials[n] for n in MAT_NAMES]
    ob = bu.mesh_object("lower_tmp", p["verts"], p["faces"], uvs=p["uvs"], mat_index=p["mats"],
                        materials=mats, smooth=True, prune=False)
    r = c["radius"] + 0.07
    zw = c["radius"] - c["h"]
    cutters = []
    for sx in (1, -1):
        for sy in (1, -1):
            x0, x1 = c["wheel_x"] - 0.5, c["wheel_x"] + 0.7
            cyl = G.merge([G.lathe([(x0, r), (x1, r)], 48), G.disc(x0, r, 48, facing=-1),
                           G.disc(x1, r, 48, facing=1)])
            if sx < 0:
                cyl = G.mirror_x(cyl)
            cutters.append(G.transform(cyl, offset=(0, sy * c["wheel_y"], zw)))
    cut = G.merge(cutters)
    cut["mats"][:] = TRIM
    cut_ob = bu.mesh_object("cutter_tmp", cut["verts"], cut["faces"], mat_index=cut["mats"],
                            materials=mats, smooth=True, prune=False)
    mod = ob.modifiers.new("arches", "BOOLEAN")
    mod.operation = "DIFFERENCE"
    mod.solver = "EXACT"
    mod.object = cut_ob
    mod.material_mode = "TRANSFER"
    bpy.context.view_layer.objects.active = ob
    dg = bpy.context.evaluated_depsgraph_get()
    ev = ob.evaluated_get(dg)
    me = bpy.data.meshes.new_from_object(ev)
    out = read_mesh(me)
    bpy.data.objects.remove(ob)
    bpy.data.objects.remove(cut_ob)
    return out


def read_mesh(me):
    nv = len(me.vertices)
    co = np.zeros(nv * 3)
    me.vertices.foreach_get("co", co)
    faces = [tuple(pl.vertices) for pl in me.polygons]
    mats = np.zeros(len(me.polygons), dtype=np.int32)
    me.polygons.foreach_get("material_index", mats)
    return G.part(co.reshape(-1, 3), faces, mats=mats)


# ------------------------------------------------------------------- cabin
def body_half_width(c, profiles, y, z):
    """Half-width of the lower body at height z (upper half) of station y."""
    ys, top, bottom, width = profiles
    W = float(np.interp(y, ys, width))
    Zt = float(np.interp(y, ys, top))
    Zb = float(np.interp(y, ys, bottom))
    pts = section(c, W, Zt, Zb, 400)
    upper = [(x, zz) for x, zz in pts if x > 0 and zz >= Zb + c["shoulder"] * (Zt - Zb)]
    upper.sort(key=lambda p: p[1])
    xs = [p[0] for p in upper]
    zs = [p[1] for p in upper]
    return float(np.interp(z, zs, xs))


def cabin_width(c, profiles, y):
    """Half-width of the greenhouse's foot at station y."""
    z0 = float(np.interp(y, profiles[0], profiles[1])) - 0.05
    return min(c["cabin_belt_w"], body_half_width(c, profiles, y, z0) - 0.015)


def cabin(c, profiles):
    ys_b, top_b, _, _ = profiles
    ry, rz = zip(*c["roof"])
    ys = np.linspace(ry[0], ry[-1], 48)
    roof = G.pchip(ry, rz, ys)
    belt = np.interp(ys, ys_b, top_b)
    side = 10          # points up each side, then round the top
    topn = 14
    verts, zlist = [], []
    for y, zr, zb in zip(ys, roof, belt):
        z0 = zb - 0.05
        hgt = max(zr - z0, 0.02)
        wb = cabin_width(c, profiles, y)
        wr = c["cabin_roof_w"] * min(1.0, 0.55 + hgt / 0.6)
        ring = []
        # right side, bottom to the top corner
        for k in range(side):
            s = k / side
            z = z0 + s * hgt * 0.78
            x = wb + (wr + 0.1 * (wb - wr) - wb) * s ** 1.3
            ring.append((x, z))
        # rounded roof from right to left
        xr = wr + 0.1 * (wb - wr)
        zc = z0 + hgt * 0.78
        for k in range(topn + 1):
            a = k / topn * np.pi
            x = xr * np.cos(a) ** 1 if abs(np.cos(a)) > 1e-9 else 0.0
            x = np.sign(np.cos(a)) * xr * abs(np.cos(a)) ** 0.55
            z = zc + (zr - zc) * abs(np.sin(a)) ** 0.35
            ring.append((x, z))
        for k in range(side - 1, -1, -1):
            x, z = ring[k]
            ring.append((-x, z))
        for x, z in ring:
            verts.append((x, y, z))
    rn = len(ring)
    ns = len(ys)
    faces, mats = [], []
    glass_side = set(range(3, side)) | set(range(rn - side, rn - 4))
    roof_mid = set(range(side + 4, side + topn - 3))
    for i in range(ns - 1):
        yc = 0.5 * (ys[i] + ys[i + 1])
        zr = 0.5 * (roof[i] + roof[i + 1])
        zb = 0.5 * (belt[i] + belt[i + 1])
        slope = abs(roof[i + 1] - roof[i]) / (ys[i + 1] - ys[i])
        hgt_i = min(roof[i], roof[i + 1]) - max(belt[i], belt[i + 1])
        for j in range(rn - 1):
            a, b = i * rn + j, i * rn + j + 1
            faces.append((a, b, (i + 1) * rn + j + 1, (i + 1) * rn + j))
            zf = 0.25 * sum(verts[k][2] for k in (a, b, (i + 1) * rn + j + 1, (i + 1) * rn + j))
            m = PAINT2 if c["paint2"] != c["paint"] else PAINT
            is_side = j < side or j >= rn - side - 1
            windshield = slope > 0.35 and yc > 0.1 and not is_side and j in roof_mid | set(
                range(side + 2, side + topn - 1))
            rear_window = slope > 0.35 and yc < -0.3 and not is_side and j in roof_mid
            # by ring index, so the window's lower edge follows the belt line smoothly
            side_window = (is_side and j in glass_side and hgt_i > 0.12
                           and c["c_pillar"] < yc < c["roof"][-1][0] - 0.12)
            if c["b_pillar"] is not None and abs(yc - c["b_pillar"]) < 0.045:
                side_window = False
            if windshield or rear_window or side_window:
                m = GLASS
            mats.append(m)
    p = G.part(verts, faces, mats=mats)
    # the same shell, 2 cm inside and facing in, is the interior lining
    inner = dict(p)
    v = p["verts"].copy()
    v[:, 0] *= 0.97
    v[:, 2] -= 0.02
    inner = G.flipped(G.part(v, p["faces"], mats=INTERIOR))
    return p, inner


def interior(c, profiles):
    ys_b, top_b, _, _ = profiles
    parts = []
    belt = float(np.interp(0.0, ys_b, top_b))
    for sx in (1, -1):
        x = sx * 0.42
        parts.append(G.box((x, -0.25, belt + 0.0), (0.5, 0.55, 0.06), INTERIOR))          # cushion
        parts.append(G.box((x, -0.52, belt + 0.12), (0.46, 0.10, 0.26), INTERIOR))         # back
        parts.append(G.box((x, -0.54, belt + 0.30), (0.24, 0.08, 0.10), INTERIOR))         # head rest
    dash_y = c["roof"][-1][0] - 0.45
    dash_w = cabin_width(c, profiles, dash_y + 0.17) - 0.1
    parts.append(G.box((0, dash_y, belt + 0.01), (2 * dash_w, 0.35, 0.10), INTERIOR))
    # steering wheel: a ring in the driver's seat
    sx = 0.42 if c is CARS["NissanSkyline"] else -0.42
    wheel = G.lathe([(-0.012, 0.17), (0.012, 0.17), (0.012, 0.19), (-0.012, 0.19)], 20, closed_profile=True)
    wheel = G.flipped(wheel)
    wheel = G.transform(wheel, G.rot_z(np.pi / 2) @ G.rot_x(0.0), offset=(0, 0, 0))
    wheel = G.transform(wheel, G.rot_x(np.radians(-25)), offset=(sx, dash_y - 0.25, belt + 0.18))
    wheel["mats"][:] = TRIM
    parts.append(wheel)
    return G.merge(parts)


# ------------------------------------------------------------------ decals
class Surface:
    """Ray casts onto the lower body to place decals that follow its shape."""

    def __init__(self, p):
        self.tree = BVHTree.FromPolygons([tuple(v) for v in p["verts"]], [list(f) for f in p["faces"]])

    def hit(self, origin, direction):
        loc, normal, idx, dist = self.tree.ray_cast(Vector(origin), Vector(direction))
        if loc is None:
            return None
        return np.array(loc), np.array(normal)


def decal(surface, outline, direction, uv_cell, mat=LAMPS, offset=0.006, res=8, mirror_u=False,
          min_facing=0.45):
    """Projects a patch onto the body along `direction`.

    outline: callable (s, t) in [0,1]^2 -> (a, b) plane coordinates; the plane
    axes follow `direction`: for +-y rays (a, b) = (x, z); for -z rays
    (a, b) = (x, y); for +-x rays (a, b) = (y, z).
    uv_cell: (u0, v0, u1, v1) of the atlas cell mapped onto s, t.
    """
    d = np.asarray(direction, float)
    verts, uvs_v, facing = [], [], []
    for i in range(res + 1):
        for j in range(res + 1):
            s, t = j / res, i / res
            a, b = outline(s, t)
            if abs(d[1]) > 0.5:
                o = (a, -8.0 * d[1], b)
            elif abs(d[2]) > 0.5:
                o = (a, b, -8.0 * d[2])
            else:
                o = (-8.0 * d[0], a, b)
            h = surface.hit(o, d)
            if h is None:
                return None
            loc, nrm = h
            if np.dot(nrm, d) > 0:
                nrm = -nrm
            facing.append(-np.dot(nrm, d))
            verts.append(loc + nrm * offset)
            u0, v0, u1, v1 = uv_cell
            su = 1 - s if mirror_u else s
            uvs_v.append((u0 + (u1 - u0) * su, v0 + (v1 - v0) * t))
    faces, uvs = [], []
    n = res + 1
    for i in range(res):
        for j in range(res):
            f = [i * n + j, i * n + j + 1, (i + 1) * n + j + 1, (i + 1) * n + j]
            if min(facing[k] for k in f) < min_facing:
                continue           # where the body turns away the patch would smear
            faces.append(f)
            uvs.extend(uvs_v[k] for k in f)
    if not faces:
        return None
    p = G.part(verts, faces, uvs, mat)
    # orient the faces against the ray (towards the viewer)
    v = p["verts"]
    f0 = p["faces"][len(p["faces"]) // 2]
    nrm = np.cross(v[f0[1]] - v[f0[0]], v[f0[2]] - v[f0[1]])
    if np.dot(nrm, d) > 0:
        p = G.flipped(p)
    return p


def rect(a0, a1, b0, b1, round_=0.0):
    def f(s, t):
        return a0 + (a1 - a0) * s, b0 + (b1 - b0) * t
    return f


CELLS = {"head": (0.0, 0.5, 0.5, 1.0), "tail": (0.5, 0.5, 1.0, 1.0), "grille": (0.0, 0.25, 0.5, 0.5),
         "plate": (0.0, 0.0, 0.5, 0.25), "badge": (0.5, 0.0, 1.0, 0.5)}


def decals(name, c, surface, profiles):
    ys, top, bottom, width = profiles
    parts = []
    zt_f = float(np.interp(ys[-1] - 0.25, ys, top))
    zt_r = float(np.interp(ys[0] + 0.2, ys, top))
    fwd, back = (0, -1, 0), (0, 1, 0)
    if c["lamps"] == "skyline":
        for sx in (1, -1):
            parts.append(decal(surface, rect(sx * 0.50, sx * 0.90, -0.16, -0.04), fwd, CELLS["head"],
                               mirror_u=sx < 0))
            parts.append(decal(surface, rect(sx * 0.46, sx * 0.84, -0.03, 0.14), back,
                               (0.5, 0.635, 1.0, 0.865), mirror_u=sx > 0))
        parts.append(decal(surface, rect(-0.42, 0.42, -0.21, -0.07), fwd, CELLS["grille"]))
        parts.append(decal(surface, rect(-0.55, 0.55, -0.44, -0.30), fwd, CELLS["grille"], mat=TRIM))
        # seen from the front the viewer's right is -x, so front decals run from +x to -x
        parts.append(decal(surface, rect(0.26, -0.26, -0.30, -0.18), fwd, CELLS["plate"]))
        parts.append(decal(surface, rect(-0.26, 0.26, -0.16, -0.04), back, CELLS["plate"]))
        parts.append(decal(surface, rect(0.45, 0.75, -0.17, -0.07), back, (0.5, 0.17, 1.0, 0.33), res=3))
    elif c["lamps"] == "hatch":
        # upright lamps on a short nose and a flat tail
        for sx in (1, -1):
            parts.append(decal(surface, rect(sx * 0.40, sx * 0.74, -0.21, -0.10), fwd, CELLS["head"],
                               mirror_u=sx < 0, min_facing=0.3))
            parts.append(decal(surface, rect(sx * 0.38, sx * 0.64, -0.08, 0.10), back,
                               (0.5, 0.635, 1.0, 0.865), mirror_u=sx > 0, min_facing=0.25))
        parts.append(decal(surface, rect(-0.34, 0.34, -0.20, -0.11), fwd, CELLS["grille"], min_facing=0.3))
        parts.append(decal(surface, rect(-0.55, 0.55, -0.44, -0.34), fwd, CELLS["grille"], mat=TRIM))
        parts.append(decal(surface, rect(0.26, -0.26, -0.32, -0.22), fwd, CELLS["plate"]))
        parts.append(decal(surface, rect(-0.26, 0.26, -0.20, -0.08), back, CELLS["plate"]))
    else:
        for sx in (1, -1):
            # the nose slopes away: these lenses lie on it at a shallow angle
            parts.append(decal(surface, taper(sx * 0.86, sx * 0.46, -0.25, -0.11, 0.55), fwd, CELLS["head"],
                               mirror_u=sx > 0, min_facing=0.1))
        parts.append(decal(surface, rect(-0.80, 0.80, 0.0, 0.06), back, CELLS["tail"], res=12, min_facing=0.2))
        parts.append(decal(surface, horseshoe(0.0, -0.34, 0.20, 0.26), fwd, CELLS["grille"]))
        for sx in (1, -1):
            parts.append(decal(surface, rect(sx * 0.30, sx * 0.72, -0.42, -0.30), fwd, CELLS["grille"],
                               mat=TRIM))
        parts.append(decal(surface, rect(-0.62, 0.62, -0.36, -0.14), back, CELLS["grille"], mat=TRIM,
                           min_facing=0.15))
        parts.append(decal(surface, rect(-0.22, 0.22, -0.12, -0.02), back, CELLS["plate"]))
    parts = [p for p in parts if p is not None]
    return G.merge(parts)


def taper(a0, a1, b0, b1, k):
    """A lamp outline that narrows from a0 (full height) to a1 (k of the height)."""
    def f(s, t):
        h = 1 - (1 - k) * s
        mid = 0.5 * (b0 + b1) + 0.25 * (b1 - b0) * s
        return a0 + (a1 - a0) * s, mid + (t - 0.5) * (b1 - b0) * h
    return f


def horseshoe(xc, zb, half_w, height):
    """Outline of a horseshoe grille: a flat top and a rounded bottom."""
    def f(s, t):
        x = xc + (s * 2 - 1) * half_w * (0.55 + 0.45 * np.sin(np.pi / 2 * t) ** 0.5)
        z = zb + height * t
        return x, z
    return f


def extras(name, c, profiles):
    ys, top, bottom, width = profiles
    parts = []
    m = PAINT
    # door mirrors at the foot of the A-pillars
    ym = c["roof"][-1][0] - 0.16
    zb = float(np.interp(ym, ys, top))
    wcab = body_half_width(c, profiles, ym, zb - 0.03)
    zm = zb + 0.13
    for sx in (1, -1):
        housing = G.box((sx * (wcab + 0.13), ym, zm), (0.16, 0.08, 0.10), c["mirror_paint"])
        glass = G.box((sx * (wcab + 0.13), ym - 0.042, zm), (0.14, 0.006, 0.08), CHROME)
        arm = G.box((sx * (wcab + 0.03), ym + 0.01, zm - 0.05), (0.10, 0.05, 0.03), TRIM)
        parts += [housing, glass, arm]
    if c["wing"]:
        yw, zw = -2.02, 0.36
        zdeck = float(np.interp(yw, ys, top))
        for sx in (1, -1):
            parts.append(G.box((sx * 0.62, yw + 0.02, (zw + zdeck) / 2), (0.05, 0.16, zw - zdeck + 0.04), m))
        # airfoil: a lofted teardrop section along x
        foil = []
        chord, thick = 0.30, 0.05
        n = 12
        for k in range(n):
            a = 2 * np.pi * k / n
            foil.append((chord / 2 * np.cos(a), thick / 2 * np.sin(a) * (0.6 + 0.4 * np.cos(a))))
        verts, faces = [], []
        for xi, x in enumerate((-0.92, 0.92)):
            for yy, zz in foil:
                verts.append((x, yw + yy, zw + zz - 0.04 * (yy / chord)))
        for k in range(n):
            k2 = (k + 1) % n
            faces.append((k, k2, n + k2, n + k))
        faces.append(tuple(range(n - 1, -1, -1)))
        faces.append(tuple(range(n, 2 * n)))
        parts.append(G.part(verts, faces, mats=m))
    if c["scoops"]:
        for sx in (1, -1):
            y0, y1 = -0.80, -1.45
            prof = []
            for k in range(9):
                t = k / 8
                y = y0 + (y1 - y0) * t
                zdeck = float(np.interp(y, ys, top))
                hh = 0.16 * np.sin(np.pi * min(1.0, t * 1.25)) ** 0.7 if t < 0.95 else 0.0
                prof.append((y, zdeck - 0.02, hh))
            verts, faces, mats = [], [], []
            ring = 10
            for y, z0, hh in prof:
                for k in range(ring):
                    a = np.pi * k / (ring - 1)
                    verts.append((sx * 0.30 + 0.13 * np.cos(a), y, z0 + max(hh, 0.005) * np.sin(a) + 0.005))
            for i in range(len(prof) - 1):
                for k in range(ring - 1):
                    a, b = i * ring + k, i * ring + k + 1
                    faces.append((a, (i + 1) * ring + k, (i + 1) * ring + k + 1, b))
                    mats.append(PAINT2)
            front = [k for k in range(ring)]
            faces.append(tuple(front))
            mats.append(TRIM)
            parts.append(G.part(verts, faces, mats=mats))
    return G.merge(parts)


def wheel_wells(c):
    """Black liners inside the arches so the body is never seen through."""
    r = c["radius"] + 0.07
    zw = c["radius"] - c["h"]
    parts = []
    for sx in (1, -1):
        for sy in (1, -1):
            x0, x1 = c["wheel_x"] - 0.5, c["wheel_x"] + 0.06
            well = G.flipped(G.lathe([(x0, r - 0.002), (x1, r - 0.002)], 40))
            back = G.disc(x0 + 0.002, r, 40, facing=1)
            p = G.merge([well, back])
            p["mats"][:] = TRIM
            # only the part inside the body: nothing may hang below the sill
            p = G.keep_faces(p, lambda cen: cen[2] + zw > -c["h"] + 0.22)
            if sx < 0:
                p = G.mirror_x(p)
            parts.append(G.transform(p, offset=(0, sy * c["wheel_y"], zw)))
    return G.merge(parts)


# ------------------------------------------------------------------- wheels
def wheel_parts(c):
    """Tyre, rim, disc for a wheel whose outer face is +x; centre at the origin."""
    R, rr, w = c["radius"], c["rim"], c["tyre_width"]
    hw = w / 2
    seg = 48
    # tyre profile from the inner bead round the outside to the outer bead;
    # v: 0..0.3 inner sidewall, 0.3..0.7 tread, 0.7..1 outer sidewall
    prof = [(-hw * 0.80, rr + 0.005), (-hw * 0.97, rr + 0.03), (-hw, rr + 0.3 * (R - rr)),
            (-hw * 0.97, R - 0.03), (-hw * 0.85, R - 0.008), (-hw * 0.6, R), (0.0, R),
            (hw * 0.6, R), (hw * 0.85, R - 0.008), (hw * 0.97, R - 0.03),
            (hw, rr + 0.3 * (R - rr)), (hw * 0.97, rr + 0.03), (hw * 0.80, rr + 0.005)]
    vco = [0.0, 0.08, 0.17, 0.26, 0.3, 0.4, 0.5, 0.6, 0.7, 0.74, 0.83, 0.92, 1.0]
    # walking inner bead -> tread -> outer bead the outside is on the right, so flip
    tyre = G.lathe(prof, seg, uv_repeat=4.0, v_coords=vco)
    tyre["mats"][:] = 0
    # rim barrel seen through the spokes (inside surface facing the axis)
    barrel = G.lathe([(-hw * 0.8, rr), (hw * 0.80, rr)], seg)
    barrel = G.flipped(barrel)
    lip = G.flipped(G.lathe([(hw * 0.78, rr - 0.006), (hw * 0.84, rr + 0.016)], seg))
    rim = G.merge([barrel, lip])
    rim["mats"][:] = 1
    # spokes
    spokes = []
    n = c["spokes"]
    for k in range(n):
        base = 2 * np.pi * k / n
        offs = (-0.10, 0.10) if c["spoke_pairs"] else (0.0,)
        for o in offs:
            a = base + o
            wid = 0.028 if c["spoke_pairs"] else 0.022
            sp = G.box((hw * 0.62, (0.07 + rr - 0.01) / 2, 0.0), (0.035, rr - 0.08, wid), 1)
            # taper towards the rim and lean outwards
            v = sp["verts"]
            v[:, 0] += (v[:, 1] - 0.07) / (rr - 0.08) * hw * 0.14
            sp["verts"] = v @ G.rot_x(a).T
            spokes.append(sp)
    hub = G.lathe([(hw * 0.4, 0.08), (hw * 0.74, 0.08)], 24)
    hub["mats"][:] = 1
    cap = G.disc(hw * 0.74, 0.08, 24, facing=1, mat=2)
    brake = G.disc(-0.02, rr - 0.035, 36, facing=1, mat=3)
    brake_in = G.disc(-0.03, rr - 0.035, 36, facing=-1, mat=3)
    return G.merge([tyre, rim, hub, cap, brake, brake_in] + spokes)


def caliper(c):
    rr = c["rim"]
    p = G.box((0.0, 0.0, 0.0), (0.07, 0.18, 0.07), 0)
    v = p["verts"]
    # bend it along the disc's edge
    ang = v[:, 1] / (rr - 0.05)
    rad = rr - 0.05 + v[:, 2]
    p["verts"] = np.stack([v[:, 0] + 0.03, rad * np.sin(ang) * -1, rad * np.cos(ang)], axis=1)
    p["verts"] = p["verts"] @ G.rot_x(np.radians(35)).T
    return p


# ----------------------------------------------------------------- assembly
MAT_NAMES = ["Paint", "Paint2", "Trim", "Chrome", "Lamps", "Interior", "Glass"]


def make_materials(name, c, folder):
    details = os.path.join(folder, "details.png")
    tyre = os.path.join(folder, "tyre.jpg")
    paint = c["paint"]
    bu.material("Paint", paint, specular=(0.85, 0.85, 0.85), shininess=70, ambient=tuple(0.45 * x for x in paint),
                roughness=0.18)
    bu.material("Paint2", c["paint2"], specular=(0.7, 0.7, 0.7), shininess=60,
                ambient=tuple(0.45 * x for x in c["paint2"]), roughness=0.2)
    bu.material("Trim", (0.035, 0.035, 0.04), specular=(0.15, 0.15, 0.15), shininess=12,
                ambient=(0.03, 0.03, 0.035))
    bu.material("Chrome", (0.55, 0.56, 0.6), specular=(1.0, 1.0, 1.0), shininess=100, metallic=1.0,
                ambient=(0.35, 0.35, 0.38), roughness=0.12)
    bu.material("Lamps", (1, 1, 1), specular=(0.9, 0.9, 0.9), shininess=90, texture=details,
                ambient=(0.75, 0.75, 0.75), roughness=0.1)
    bu.material("Interior", (0.07, 0.07, 0.075), specular=(0.05, 0.05, 0.05), shininess=8,
                ambient=(0.05, 0.05, 0.055))
    bu.material("Glass", (0.05, 0.07, 0.09), specular=(1.0, 1.0, 1.0), shininess=110, alpha=0.72,
                ambient=(0.03, 0.04, 0.05), roughness=0.05)
    bu.material("Tyre", (0.8, 0.8, 0.8), specular=(0.12, 0.12, 0.12), shininess=10, texture=tyre,
                ambient=(0.5, 0.5, 0.5), roughness=0.7)
    bu.material("Rim", c["rim_colour"], specular=(1.0, 1.0, 1.0), shininess=90, metallic=1.0,
                ambient=tuple(0.6 * x for x in c["rim_colour"]), roughness=0.15)
    bu.material("Hub", (0.2, 0.2, 0.22), specular=(0.6, 0.6, 0.6), shininess=60)
    bu.material("BrakeDisc", (0.32, 0.32, 0.33), specular=(0.4, 0.4, 0.4), shininess=30)
    bu.material("Caliper", c["caliper"], specular=(0.6, 0.6, 0.6), shininess=50)


def build(name, data):
    c = CARS[name]
    folder = os.path.join(data, "cars", name)
    bu.reset()
    make_materials(name, c, folder)
    body_mats = [bpy.data.materials[n] for n in MAT_NAMES]

    lower, profiles = lower_body(c)
    lower = paint_rules(name, c, lower, profiles)
    surface = Surface(lower)
    lamp_parts = decals(name, c, surface, profiles)
    lower_cut = cut_arches(c, lower, profiles)
    shell, lining = cabin(c, profiles)
    body = G.merge([lower_cut, wheel_wells(c), extras(name, c, profiles), interior(c, profiles),
                    lining, lamp_parts, shell])
    h = c["h"]
    car = bu.mesh_object(name, body["verts"], body["faces"], mesh_name=name + "_body", uvs=body["uvs"],
                         mat_index=body["mats"], materials=body_mats, smooth=True, auto_smooth_deg=35,
                         location=(0, 0, h))

    wheel_mats = [bpy.data.materials[n] for n in ("Tyre", "Rim", "Hub", "BrakeDisc")]
    wp = wheel_parts(c)
    outer_px = bu.mesh_object("wheel_mesh_px", wp["verts"], wp["faces"], mesh_name=name + "_wheel_L",
                              uvs=wp["uvs"], mat_index=wp["mats"], materials=wheel_mats, smooth=True,
                              auto_smooth_deg=40, link=False)
    wm = G.mirror_x(wp)
    outer_nx = bu.mesh_object("wheel_mesh_nx", wm["verts"], wm["faces"], mesh_name=name + "_wheel_R",
                              uvs=wm["uvs"], mat_index=wm["mats"], materials=wheel_mats, smooth=True,
                              auto_smooth_deg=40, link=False)
    cal = caliper(c)
    cal_mats = [bpy.data.materials["Caliper"]]
    cal_px = bu.mesh_object("cal_px", cal["verts"], cal["faces"], mesh_name=name + "_caliper_L",
                            mat_index=cal["mats"], materials=cal_mats, smooth=False, link=False)
    calm = G.mirror_x(cal)
    cal_nx = bu.mesh_object("cal_nx", calm["verts"], calm["faces"], mesh_name=name + "_caliper_R",
                            mat_index=calm["mats"], materials=cal_mats, smooth=False, link=False)

    zw = c["radius"] - h
    for side, sx in (("left", 1), ("right", -1)):
        src = outer_px if sx > 0 else outer_nx
        csrc = cal_px if sx > 0 else cal_nx
        wx, wy = c["wheel_x"], c["wheel_y"]
        steer = bu.empty("steer_front_" + side, location=(sx * wx, wy, zw), parent=car)
        bu.instance("wheel_front_" + side, src, parent=steer)
        bu.instance("caliper_front_" + side, csrc, parent=steer)
        bu.instance("wheel_rear_" + side, src, location=(sx * wx, -wy, zw), parent=car)
        bu.instance("caliper_rear_" + side, csrc, location=(sx * wx, -wy, zw), parent=car)
    print("  %s: %d triangles" % (name, bu.triangle_count()))
    bu.export(os.path.join(folder, name + ".dae"))


def main():
    a = bu.args()
    name, data = a[0], os.path.abspath(a[1])
    build(name, data)


main()
