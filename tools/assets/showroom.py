"""Blender script: the show room, exported as COLLADA.

Run: blender -b --factory-startup --python showroom.py -- DATA_DIR

Placement, as the show room does it: the shown car's node is moved by (1.68, 3.63, -2.1)
from its place in the car file, so the car turns about (1.68, 3.63) with
its wheels on z = -2.1: that is the top of the turntable. The camera looks
from (-0.241, -1.69, -0.2) at (0.3, 0.2, -0.71) with a 45 degree vertical
field of view; the light sits at (0, -2, 2.5) aiming along +y with an 85
degree shadow frustum from 1 to 20, so the room lies within 20 m of it and
its ceiling above it. The floor is polished stone (strong specular: it
shows the light's highlight and the car's shadow), the turntable brushed
metal, the walls pale panels with the game's logo on the back wall, and the
ceiling carries glowing light panels.

Each part is its own top-level node, as the game adds every child of the
room's model node to the shadow and environment effects.
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import blendutil as bu  # noqa: E402
import geom as G  # noqa: E402

CENTRE = (1.68, 3.63)
TOP = -2.1             # turntable top = where the wheels stand
FLOOR = -2.14
CEILING = 3.9
X0, X1 = -7.0, 10.5
Y0, Y1 = -6.0, 13.5
TT_RADIUS = 3.0


def quad_grid(p0, eu, ev, nu, nv, uv_scale, mat=0):
    """A grid of quads spanning p0 + s*eu + t*ev (s, t in 0..1), facing eu x ev."""
    p0, eu, ev = (np.asarray(a, float) for a in (p0, eu, ev))
    verts, uvs_v = [], []
    lu, lv = np.linalg.norm(eu), np.linalg.norm(ev)
    for i in range(nv + 1):
        for j in range(nu + 1):
            s, t = j / nu, i / nv
            verts.append(p0 + s * eu + t * ev)
            uvs_v.append((s * lu / uv_scale, t * lv / uv_scale))
    faces, uvs = [], []
    for i in range(nv):
        for j in range(nu):
            a = i * (nu + 1) + j
            f = (a, a + 1, a + nu + 2, a + nu + 1)
            faces.append(f)
            uvs.extend(uvs_v[k] for k in f)
    return G.part(verts, faces, uvs, mat)


def build(data):
    folder = os.path.join(data, "models", "ShowRoom")
    bu.reset()
    tex = lambda n: os.path.join(folder, n)  # noqa: E731
    m_floor = bu.material("FloorStone", (0.5, 0.5, 0.5), specular=(0.75, 0.75, 0.75), shininess=90,
                          texture=tex("floor.jpg"), ambient=(0.45, 0.45, 0.45))
    m_wall = bu.material("WallPanels", (0.85, 0.85, 0.87), specular=(0.15, 0.15, 0.15), shininess=12,
                         texture=tex("wall.jpg"), ambient=(0.55, 0.55, 0.55))
    m_ceiling = bu.material("Ceiling", (0.80, 0.80, 0.82), specular=(0.05, 0.05, 0.05), shininess=5,
                            ambient=(0.55, 0.55, 0.57))
    m_lightpanel = bu.material("LightPanel", (1.0, 1.0, 0.97), specular=(0.0, 0.0, 0.0), shininess=1,
                               emission=(0.92, 0.92, 0.88), ambient=(1.0, 1.0, 1.0))
    m_turn = bu.material("Turntable", (0.7, 0.7, 0.72), specular=(0.9, 0.9, 0.9), shininess=70,
                         texture=tex("turntable.jpg"), ambient=(0.5, 0.5, 0.5), metallic=1.0)
    m_chrome = bu.material("RoomChrome", (0.6, 0.6, 0.63), specular=(1.0, 1.0, 1.0), shininess=110,
                           ambient=(0.4, 0.4, 0.42), metallic=1.0)
    m_logo = bu.material("Logo", (1.0, 1.0, 1.0), specular=(0.4, 0.4, 0.4), shininess=60,
                         texture=tex("Sign-Vantrel.jpg"), ambient=(0.8, 0.8, 0.8))
    m_dark = bu.material("DarkTrim", (0.08, 0.08, 0.09), specular=(0.3, 0.3, 0.3), shininess=30,
                         ambient=(0.06, 0.06, 0.07))
    m_red = bu.material("AccentRed", (0.62, 0.05, 0.06), specular=(0.5, 0.5, 0.5), shininess=50,
                        ambient=(0.35, 0.03, 0.03))

    def add(name, p, mats, smooth=False, auto=None):
        bu.mesh_object(name, p["verts"], p["faces"], uvs=p["uvs"], mat_index=p["mats"], materials=mats,
                       smooth=smooth, auto_smooth_deg=auto)

    # floor: a grid fine enough for per-vertex lighting paths to look right
    add("Floor", quad_grid((X0, Y0, FLOOR), (X1 - X0, 0, 0), (0, Y1 - Y0, 0), 14, 16, 4.0), [m_floor])

    # walls, facing in; a dark skirting band at the bottom
    H = CEILING - FLOOR
    walls = []
    corners = [(X0, Y0), (X1, Y0), (X1, Y1), (X0, Y1)]
    for k in range(4):
        (ax, ay), (bx, by) = corners[k], corners[(k + 1) % 4]
        # walking the corners anticlockwise, the inside is on the left: face eu x ev inwards
        eu = (bx - ax, by - ay, 0.0)
        length = np.hypot(*eu[:2])
        walls.append(quad_grid((ax, ay, FLOOR + 0.25), eu, (0, 0, H - 0.25), max(2, int(length / 2)), 3, 4.0, 0))
        walls.append(quad_grid((ax, ay, FLOOR), eu, (0, 0, 0.25), max(2, int(length / 2)), 1, 4.0, 1))
    w = G.merge(walls)
    w = G.flipped(w)
    add("Walls", w, [m_wall, m_dark])

    # ceiling with light panels (facing down)
    ceil = quad_grid((X0, Y0, CEILING), (X1 - X0, 0, 0), (0, Y1 - Y0, 0), 7, 8, 4.0, 0)
    ceil = G.flipped(ceil)
    panels = []
    for px in (-3.0, 1.7, 6.4):
        for py in (-2.5, 2.5, 7.5, 11.0):
            panels.append(G.flipped(quad_grid((px - 1.0, py - 0.5, CEILING - 0.03), (2.0, 0, 0), (0, 1.0, 0),
                                              1, 1, 2.0, 1)))
    add("Ceiling", G.merge([ceil] + panels), [m_ceiling, m_lightpanel])

    # turntable: brushed top, chrome rim, on the floor
    seg = 72
    top = G.disc(0.0, TT_RADIUS, seg, facing=1, mat=0)
    top = G.transform(top, np.array([[0, 1, 0], [0, 0, 1], [1, 0, 0]]), offset=(0, 0, TOP))  # faces +z
    rim = G.lathe([(FLOOR, TT_RADIUS + 0.04), (TOP - 0.008, TT_RADIUS + 0.04), (TOP, TT_RADIUS)], seg, axis="z")
    rim["mats"][:] = 1
    tt = G.transform(G.merge([top, rim]), offset=(CENTRE[0], CENTRE[1], 0.0))
    add("Turntable", tt, [m_turn, m_chrome], smooth=True, auto=40)

    # the logo on the back wall, in a dark frame with a red accent line
    lw, lh, lz = 4.5, 3.0, 0.4
    lx = CENTRE[0] + 0.6
    yb = Y1 - 0.04
    # eu = +x, ev = +z faces -y, into the room; u runs left to right as seen from it
    logo = quad_grid((lx - lw / 2, yb, lz - lh / 2), (lw, 0, 0), (0, 0, lh), 1, 1, 1.0, 0)
    logo["uvs"] = logo["uvs"] / np.array([lw, lh])
    frame = G.box((lx, Y1 - 0.015, lz), (lw + 0.3, 0.02, lh + 0.3), 1)     # behind the logo
    accent = G.box((lx, Y1 - 0.05, lz - lh / 2 - 0.35), (lw + 0.3, 0.04, 0.08), 2)
    add("Logo", G.merge([logo, frame, accent]), [m_logo, m_dark, m_red])

    # pillars along the side walls and a chrome rail marking the display area
    pillars = []
    for x in (X0 + 0.35, X1 - 0.35):
        for y in (-1.0, 4.0, 9.0):
            pillars.append(G.box((x, y, (FLOOR + CEILING) / 2), (0.6, 0.6, CEILING - FLOOR), 0))
    add("Pillars", G.merge(pillars), [m_wall])
    posts = []
    for ang in np.linspace(0, 2 * np.pi, 10, endpoint=False):
        if abs(np.sin(ang) + 0.95) < 0.2:
            continue                                   # leave the camera's side open
        x = CENTRE[0] + 4.3 * np.cos(ang)
        y = CENTRE[1] + 4.3 * np.sin(ang)
        post = G.lathe([(FLOOR, 0.035), (FLOOR + 0.9, 0.035)], 12, axis="z")
        cap = G.transform(G.disc(0.0, 0.05, 12, facing=1), np.array([[0, 1, 0], [0, 0, 1], [1, 0, 0]]),
                          offset=(0, 0, FLOOR + 0.9))
        base = G.lathe([(FLOOR, 0.16), (FLOOR + 0.03, 0.12)], 16, axis="z")
        posts.append(G.transform(G.merge([post, cap, base]), offset=(x, y, 0)))
    add("Stanchions", G.merge(posts), [m_chrome], smooth=True, auto=50)
    print("  ShowRoom: %d triangles" % bu.triangle_count())
    bu.export(os.path.join(folder, "ShowRoom.dae"))


build(os.path.abspath(bu.args()[0]))
