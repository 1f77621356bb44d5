"""Small numpy geometry helpers shared by the Blender generators.

A "part" is a dict of numpy arrays: verts (n, 3), faces (list of index
tuples), uvs (one (u, v) per face corner, in face order), mats (material
index per face). Parts are built in local coordinates, transformed and
merged, then handed to blendutil.mesh_object in one go.
"""
import numpy as np


def pchip(xk, yk, x):
    """Monotone cubic interpolation (Fritsch-Carlson): smooth, no overshoot."""
    xk = np.asarray(xk, float)
    yk = np.asarray(yk, float)
    x = np.asarray(x, float)
    h = np.diff(xk)
    d = np.diff(yk) / h
    m = np.zeros_like(yk)
    for i in range(1, len(xk) - 1):
        if d[i - 1] * d[i] > 0:
            w1 = 2 * h[i] + h[i - 1]
            w2 = h[i] + 2 * h[i - 1]
            m[i] = (w1 + w2) / (w1 / d[i - 1] + w2 / d[i])
    m[0] = d[0]
    m[-1] = d[-1]
    i = np.clip(np.searchsorted(xk, x) - 1, 0, len(xk) - 2)
    t = (x - xk[i]) / h[i]
    t = np.clip(t, 0, 1)
    h00 = 2 * t ** 3 - 3 * t ** 2 + 1
    h10 = t ** 3 - 2 * t ** 2 + t
    h01 = -2 * t ** 3 + 3 * t ** 2
    h11 = t ** 3 - t ** 2
    return h00 * yk[i] + h10 * h[i] * m[i] + h01 * yk[i + 1] + h11 * h[i] * m[i + 1]


def part(verts, faces, uvs=None, mats=0):
    verts = np.asarray(verts, float).reshape(-1, 3)
    faces = [tuple(int(i) for i in f) for f in faces]
    nloops = sum(len(f) for f in faces)
    if uvs is None:
        uvs = np.zeros((nloops, 2))
    uvs = np.asarray(uvs, float).reshape(-1, 2)
    assert len(uvs) == nloops, (len(uvs), nloops)
    if np.isscalar(mats):
        mats = np.full(len(faces), mats, dtype=int)
    return {"verts": verts, "faces": faces, "uvs": uvs, "mats": np.asarray(mats, int)}


def merge(parts):
    verts, faces, uvs, mats = [], [], [], []
    off = 0
    for p in parts:
        verts.append(p["verts"])
        faces.extend(tuple(i + off for i in f) for f in p["faces"])
        uvs.append(p["uvs"])
        mats.append(p["mats"])
        off += len(p["verts"])
    return {"verts": np.concatenate(verts), "faces": faces,
            "uvs": np.concatenate(uvs), "mats": np.concatenate(mats)}


def transform(p, mat=None, offset=(0, 0, 0), flip=False):
    """Applies a 3x3 matrix and an offset; flip reverses the winding."""
    q = dict(p)
    v = p["verts"]
    if mat is not None:
        v = v @ np.asarray(mat, float).T
    q["verts"] = v + np.asarray(offset, float)
    det = np.linalg.det(mat) if mat is not None else 1.0
    if flip != (det < 0):
        q = flipped(q)
    return q


def keep_faces(p, test):
    """The faces whose centre passes test(centre); unused vertices stay."""
    q = dict(p)
    faces, uvs, mats = [], [], []
    pos = 0
    for f, m in zip(p["faces"], p["mats"]):
        n = len(f)
        if test(p["verts"][list(f)].mean(axis=0)):
            faces.append(f)
            uvs.append(p["uvs"][pos:pos + n])
            mats.append(m)
        pos += n
    q["faces"] = faces
    q["uvs"] = np.concatenate(uvs) if uvs else np.zeros((0, 2))
    q["mats"] = np.array(mats, int)
    return q


def flipped(p):
    q = dict(p)
    faces, uvs = [], []
    pos = 0
    for f in p["faces"]:
        n = len(f)
        faces.append(tuple(reversed(f)))
        uvs.append(p["uvs"][pos:pos + n][::-1])
        pos += n
    q["faces"] = faces
    q["uvs"] = np.concatenate(uvs) if uvs else p["uvs"]
    return q


def mirror_x(p):
    return transform(p, np.diag([-1.0, 1.0, 1.0]))


def rot_x(a):
    c, s = np.cos(a), np.sin(a)
    return np.array([[1, 0, 0], [0, c, -s], [0, s, c]])


def rot_y(a):
    c, s = np.cos(a), np.sin(a)
    return np.array([[c, 0, s], [0, 1, 0], [-s, 0, c]])


def rot_z(a):
    c, s = np.cos(a), np.sin(a)
    return np.array([[c, -s, 0], [s, c, 0], [0, 0, 1]])


def grid_faces(rows, cols, closed_cols=False, closed_rows=False):
    """Quads of a rows x cols vertex grid (index r * cols + c)."""
    faces = []
    cmax = cols if closed_cols else cols - 1
    rmax = rows if closed_rows else rows - 1
    for r in range(rmax):
        for c in range(cmax):
            a = r * cols + c
            b = r * cols + (c + 1) % cols
            cc = ((r + 1) % rows) * cols + (c + 1) % cols
            d = ((r + 1) % rows) * cols + c
            faces.append((a, b, cc, d))
    return faces


def lathe(profile, segments, axis="x", uv_repeat=1.0, v_coords=None, closed_profile=False):
    """Revolves a profile of (axial, radius) points about the x (or z) axis.

    Returns a part of quads between profile points i, i+1 and angles j, j+1.
    A face's normal is the profile's direction turned +90 degrees in the
    (axial, radius) plane: walking along the profile, the front side is on
    the left (a profile running towards +axial at constant radius faces
    outwards; one running outwards in radius faces -axial).
    u goes round the axis (uv_repeat times), v along the profile (v_coords,
    default: normalised profile length).
    """
    prof = np.asarray(profile, float)
    n = len(prof)
    ang = np.linspace(0, 2 * np.pi, segments, endpoint=False)
    verts = []
    for a_x, r in prof:
        for a in ang:
            if axis == "x":
                verts.append((a_x, r * np.cos(a), r * np.sin(a)))
            else:
                verts.append((r * np.cos(a), r * np.sin(a), a_x))
    if v_coords is None:
        seg = np.hypot(*np.diff(prof, axis=0).T)
        v_coords = np.concatenate([[0], np.cumsum(seg)]) / max(seg.sum(), 1e-9)
    faces, uvs = [], []
    rows = n if closed_profile else n - 1
    for i in range(rows):
        i2 = (i + 1) % n
        for j in range(segments):
            j2 = (j + 1) % segments
            a, b = i * segments + j, i * segments + j2
            c, d = i2 * segments + j2, i2 * segments + j
            faces.append((a, b, c, d))
            u0, u1 = j / segments * uv_repeat, (j + 1) / segments * uv_repeat
            uvs.extend([(u0, v_coords[i]), (u1, v_coords[i]), (u1, v_coords[i2]), (u0, v_coords[i2])])
    return part(verts, faces, uvs)


def box(center, size, mat=0):
    cx, cy, cz = center
    sx, sy, sz = (s / 2 for s in size)
    v = [(cx + dx * sx, cy + dy * sy, cz + dz * sz)
         for dz in (-1, 1) for dy in (-1, 1) for dx in (-1, 1)]
    f = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    return part(v, f, mats=mat)


def disc(center_axial, radius, segments, axis="x", facing=1, mat=0, uv_center=(0.5, 0.5), uv_radius=0.5):
    """A flat disc (n-gon fan) perpendicular to the axis, facing +axis or -axis."""
    ang = np.linspace(0, 2 * np.pi, segments, endpoint=False)
    verts = [(center_axial, 0.0, 0.0)]
    for a in ang:
        verts.append((center_axial, radius * np.cos(a), radius * np.sin(a)))
    faces, uvs = [], []
    for j in range(segments):
        a, b = 1 + j, 1 + (j + 1) % segments
        f = (0, a, b) if facing > 0 else (0, b, a)
        faces.append(f)
        for k in f:
            if k == 0:
                uvs.append(uv_center)
            else:
                aa = ang[k - 1]
                uvs.append((uv_center[0] + uv_radius * np.cos(aa), uv_center[1] + uv_radius * np.sin(aa)))
    p = part(verts, faces, uvs, mat)
    if axis == "z":
        p = transform(p, np.array([[0, 1, 0], [0, 0, 1], [1, 0, 0]]))
    return p
