"""Blender script: the sky dome, exported as COLLADA.

Run: blender -b --factory-startup --python skydome.py -- DATA_DIR [TRACK]

Without TRACK it writes the shared dome, models/SkyDome/SkyDome.dae; with
one, the track's own dome, tracks/TRACK/SkyDome.dae, textured with that
folder's sky.jpg (its description names it with "sky =").

A sphere cap of radius 7,000 centred on the origin, from 30 degrees below
the horizon up to the zenith, its faces turned inwards. Radius 7,000 lies
inside the game's far plane (50,000) and, seen from anywhere on the track
(within about 2.4 km of the origin), inside the environment map's far plane
of 10,000. Reaching below the horizon means no gap can open between the
land's edge and the sky.

Texture coordinates follow the azimuthal mapping of sky.jpg (textures.py):
the zenith at the image centre, r = (90 - elevation) / 110 * 0.5, so there
is no seam. The game lights the dome with fixed-function lighting from a
point light 2,000 up, which strikes the inward faces almost head-on
everywhere (N.L between 0.96 and 1.0), so a white diffuse colour and a small
ambient term (lit by the light's 0.3 and the scene's 0.2 ambient) show the
texture evenly at about its own brightness; emission is black as the game
expects. A track's low evening light (KestrelPass: 3 km from the middle of
its loop, 1.4 km up) still lies well inside the dome, so N.L stays above
about 0.9 everywhere.
"""
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import blendutil as bu  # noqa: E402

RADIUS = 7000.0
LOWEST = -30.0          # degrees below the horizon
SEGMENTS = 64           # round the horizon
RINGS = 30              # from the lowest ring to the zenith


def build(data, track=None):
    folder = os.path.join(data, "models", "SkyDome") if track is None else os.path.join(data, "tracks", track)
    bu.reset()
    sky = bu.material("Sky", (1.0, 1.0, 1.0), specular=(0.0, 0.0, 0.0), shininess=1.0,
                      texture=os.path.join(folder, "sky.jpg"), ambient=(0.06, 0.06, 0.06))
    elev = np.linspace(LOWEST, 90.0, RINGS + 1)
    # denser rings near the horizon, where the gradient changes fastest
    t = np.linspace(0, 1, RINGS + 1)
    elev = LOWEST + (90.0 - LOWEST) * (t ** 1.35)
    az = np.linspace(0, 2 * np.pi, SEGMENTS, endpoint=False)
    verts, uv_of = [], []
    for e in elev[:-1]:
        er = np.radians(e)
        for a in az:
            verts.append((RADIUS * np.cos(er) * np.cos(a), RADIUS * np.cos(er) * np.sin(a), RADIUS * np.sin(er)))
            r = (90.0 - e) / (90.0 - LOWEST) * 0.5
            uv_of.append((0.5 + r * np.cos(a), 0.5 + r * np.sin(a)))
    top = len(verts)
    verts.append((0.0, 0.0, RADIUS))
    uv_of.append((0.5, 0.5))
    faces, uvs = [], []
    nr = RINGS
    for i in range(nr - 1):
        for j in range(SEGMENTS):
            j2 = (j + 1) % SEGMENTS
            a, b = i * SEGMENTS + j, i * SEGMENTS + j2
            c, d = (i + 1) * SEGMENTS + j2, (i + 1) * SEGMENTS + j
            f = (a, d, c, b)          # wound to face the centre
            faces.append(f)
            uvs.extend(uv_of[k] for k in f)
    for j in range(SEGMENTS):
        j2 = (j + 1) % SEGMENTS
        a, b = (nr - 1) * SEGMENTS + j, (nr - 1) * SEGMENTS + j2
        f = (a, top, b)
        faces.append(f)
        uvs.extend(uv_of[k] for k in f)
    bu.mesh_object("SkyDome", np.array(verts), faces, mesh_name="SkyDome", uvs=uvs,
                   mat_index=np.zeros(len(faces), int), materials=[sky], smooth=True)
    print("  SkyDome: %d triangles" % bu.triangle_count())
    bu.export(os.path.join(folder, "SkyDome.dae"))


args = bu.args()
build(os.path.abspath(args[0]), args[1] if len(args) > 1 else None)
