#!/usr/bin/python3
"""Checks the game data folder: the files the game loads, in the shape
the game, the COLLADA loader and the vehicle physics need.

Usage: check_data.py DATA_DIR   (run by CTest as "DataChecks")

Needs numpy, PIL, python3-collada (for lxml and the COLLADA 1.4.1 schema) and
libmpg123 (SDL_mixer's MP3 decoder on Debian). No Blender.
"""
import configparser
import math
import os
import sys
import unittest
import wave
import xml.etree.ElementTree as ET

import numpy as np
from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import mp3decode  # noqa: E402

DATA = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else "data")
NS = "{http://www.collada.org/2005/11/COLLADASchema}"

CARS_DIR = os.path.join(DATA, "cars")
WHEEL_NODES = ("wheel_front_left", "wheel_front_right", "wheel_rear_left", "wheel_rear_right")
DIAL_FILES = {"rpm": "rpm.png", "speed_kmh": "tacho.png", "speed_mph": "tacho-mph.png"}


MUSIC = "music/Halverd - Evenfall.mp3"
SOUNDS = ["sounds/engine-idle.wav", "sounds/engine-load.wav", "sounds/squeal.wav", "sounds/thud.wav"]
ENGINE_FIRING_HZ = 100.0        # the engine loops: 3000 rpm, two firings a turn (tools/assets/sounds.py)
MUSIC_SECONDS = 100.0           # the length the composer script writes (tools/assets/music.py)
ROAD_SLOPE_LIMIT = 6.0          # degrees: no asphalt triangle is steeper
VERGE_SLOPE_LIMIT = 10.0
TOLERANCE = 0.02                # m, wheel and steering nodes against the physics' points

# Every folder under tracks/ is a track the race may offer: its description
# (track.ini) names the model, the centre line and the sky.
TRACK_KEYS = ("name", "model", "road", "sky", "road_half_width", "light_position", "light_colour", "directions")
TRACK_BYTES = 16 * 1024 * 1024          # a track folder's budget
TERRAIN_TRIANGLES = 200000
TRACK_TRIANGLES = 400000                # terrain and every scenery instance
SHADOW_NEAR, SHADOW_FAR = 100.0, 5000.0  # the light's shadow frustum (vantrel/race)
TRACKS = sorted(n for n in os.listdir(os.path.join(DATA, "tracks"))
                if os.path.isdir(os.path.join(DATA, "tracks", n))) if os.path.isdir(os.path.join(DATA, "tracks")) else []


def path(rel):
    return os.path.join(DATA, rel)


def floats(text, count, what):
    """`count` numbers from a description value, or an assertion naming `what`."""
    try:
        vals = [float(v) for v in text.split()]
    except ValueError:
        vals = []
    assert len(vals) == count and all(math.isfinite(v) for v in vals), "%s: %r is not %d numbers" % (what, text, count)
    return vals


_descriptions = {}


def description(track):
    """A track's track.ini read as the race reads it, checked complete: every
    key there, the files it names present, its numbers numbers. Returns
    {"folder", "model", "road", "sky" (paths under DATA), "light", "colour",
    "directions": {name: (start (x, y, heading), [(x, y, allowance)] * 5)}}."""
    if track in _descriptions:
        return _descriptions[track]
    folder = "tracks/" + track
    ini = configparser.ConfigParser(interpolation=None)
    assert ini.read(path(folder + "/track.ini")), "%s has no track.ini" % folder
    assert ini.has_section("track"), "%s/track.ini: no [track]" % folder
    t = ini["track"]
    for key in TRACK_KEYS:
        assert t.get(key, "").strip(), "%s/track.ini: no %s" % (folder, key)
    out = {"folder": folder, "name": t["name"]}
    for key in ("model", "road", "sky"):
        rel = os.path.normpath(os.path.join(folder, t[key]))
        assert os.path.isfile(path(rel)), "%s/track.ini: %s %s is missing" % (folder, key, t[key])
        out[key] = rel
    assert floats(t["road_half_width"], 1, "road_half_width")[0] > 0
    out["light"] = np.array(floats(t["light_position"], 3, "light_position"))
    out["colour"] = floats(t["light_colour"], 3, "light_colour")
    assert all(0 <= c <= 1 for c in out["colour"]), out["colour"]
    out["directions"] = {}
    for way in t["directions"].split():
        assert ini.has_section(way), "%s/track.ini: no [%s]" % (folder, way)
        start = floats(ini[way].get("start", ""), 3, way + " start")
        cps = [floats(ini[way].get("checkpoint%d" % i, ""), 3, "%s checkpoint%d" % (way, i)) for i in range(1, 6)]
        assert all(c[2] > 0 for c in cps), "%s: an allowance not above 0" % way
        out["directions"][way] = (start, cps)
    _descriptions[track] = out
    return out


def car_description(car):
    """A car's car.ini, as far as the data checks need it: the rest height h
    of the car node, the wheel radius, the wheel centres (x, y) by node, the
    physics box's half-extents and the dials' calibrations, dial file ->
    (low value, angle there, high value, angle there)."""
    ini = configparser.ConfigParser(interpolation=None)
    assert ini.read(os.path.join(CARS_DIR, car, "car.ini")), "cars/%s has no car.ini" % car
    wheels = {node: tuple(floats(ini["wheels"][node[len("wheel_"):]], 2, node)) for node in WHEEL_NODES}
    dials = {}
    for field, name in DIAL_FILES.items():
        image, rest = ini["dials"][field].split(None, 1)
        assert image == "gauges/" + name, (car, field, image)
        dials[name] = tuple(floats(rest, 4, field))
    return {"h": float(ini["suspension"]["rest_height"]), "r": float(ini["wheels"]["radius"]),
            "wheels": wheels, "half": floats(ini["body"]["half_extents"], 3, "half_extents"), "dials": dials,
            "node": ini["car"]["node"]}


# Every folder under cars/ with a description is a car the game offers.
CAR_NAMES = sorted(n for n in os.listdir(CARS_DIR)
                   if os.path.isfile(os.path.join(CARS_DIR, n, "car.ini"))) if os.path.isdir(CARS_DIR) else []
CARS = {car: car_description(car) for car in CAR_NAMES}


MODELS = ["cars/%s/%s.dae" % (car, car) for car in CAR_NAMES] + ["models/SkyDome/SkyDome.dae",
                                                                  "models/ShowRoom/ShowRoom.dae"]
for _t in TRACKS:
    try:
        MODELS += [description(_t)["model"]] + ([description(_t)["sky"]] if description(_t)["sky"] not in MODELS else [])
    except AssertionError:
        pass                            # TrackDescriptions reports it


# ---------------------------------------------------------------- COLLADA
class Doc:
    """The parts of a COLLADA document the game's loader reads."""

    def __init__(self, rel):
        self.rel = rel
        self.file = path(rel)
        self.root = ET.parse(self.file).getroot()
        self.geoms = {g.get("id"): g for g in self.root.iter(NS + "geometry")}
        scene_url = self.root.find(NS + "scene/" + NS + "instance_visual_scene").get("url")[1:]
        self.scene = [v for v in self.root.iter(NS + "visual_scene") if v.get("id") == scene_url][0]
        self._mesh_cache = {}

    def nodes(self):
        """(element, parent element or None, world matrix) of every node, in document order."""
        out = []

        def walk(el, parent, world):
            for n in el.findall(NS + "node"):
                m = world @ local_matrix(n)
                out.append((n, parent, m))
                walk(n, n, m)
        walk(self.scene, None, np.eye(4))
        return out

    def node(self, name):
        for n, p, m in self.nodes():
            if n.get("id") == name:
                return n, p, m
        return None

    def mesh(self, gid):
        """positions (n,3), normals, texcoords, and {material symbol: (tri indices (m,3,k), offsets)}."""
        if gid in self._mesh_cache:
            return self._mesh_cache[gid]
        g = self.geoms[gid]
        m = g.find(NS + "mesh")
        sources = {}
        for s in m.findall(NS + "source"):
            arr = s.find(NS + "float_array")
            acc = s.find(NS + "technique_common/" + NS + "accessor")
            data = np.array(arr.text.split(), float) if arr.text else np.zeros(0)
            stride = int(acc.get("stride"))
            sources[s.get("id")] = (data.reshape(-1, stride), stride)
        vert = m.find(NS + "vertices")
        vert_inputs = {i.get("semantic"): i.get("source")[1:] for i in vert.findall(NS + "input")}
        groups = []
        for prim in m:
            if prim.tag not in (NS + "triangles", NS + "polylist", NS + "polygons"):
                continue
            inputs = []
            for i in prim.findall(NS + "input"):
                inputs.append((i.get("semantic"), i.get("source")[1:], int(i.get("offset"))))
            width = max(o for _, _, o in inputs) + 1
            p = np.array(prim.find(NS + "p").text.split(), int).reshape(-1, width)
            if prim.tag == NS + "polylist":
                vc = np.array(prim.find(NS + "vcount").text.split(), int)
                assert (vc == 3).all(), "%s: polylist of non-triangles" % self.rel
            groups.append((prim.tag[len(NS):], prim.get("material"), inputs, p.reshape(-1, 3, width)))
        out = (sources, vert_inputs, groups)
        self._mesh_cache[gid] = out
        return out

    def positions(self, gid):
        sources, vin, _ = self.mesh(gid)
        return sources[vin["POSITION"]][0]

    def triangles(self, gid, symbol_filter=None):
        """Position index triples of the geometry's triangles (optionally one material symbol)."""
        sources, vin, groups = self.mesh(gid)
        out = []
        for _, sym, inputs, p in groups:
            if symbol_filter and not symbol_filter(sym):
                continue
            off = [o for s, _, o in inputs if s == "VERTEX"][0]
            out.append(p[:, :, off])
        return np.concatenate(out) if out else np.zeros((0, 3), int)

    def instances(self):
        """(node element, world matrix, geometry id, {symbol: target}) for every geometry instance."""
        out = []
        for n, p, m in self.nodes():
            for ig in n.findall(NS + "instance_geometry"):
                binds = {}
                for im in ig.iter(NS + "instance_material"):
                    binds[im.get("symbol")] = im.get("target")[1:]
                out.append((n, m, ig.get("url")[1:], binds))
        return out


def local_matrix(node):
    m = np.eye(4)
    for el in node:
        tag = el.tag[len(NS):]
        vals = np.array(el.text.split(), float) if el.text else None
        if tag == "matrix":
            m = m @ vals.reshape(4, 4)
        elif tag == "translate":
            t = np.eye(4)
            t[:3, 3] = vals
            m = m @ t
        elif tag == "rotate":
            ax = vals[:3] / np.linalg.norm(vals[:3])
            a = math.radians(vals[3])
            c, s = math.cos(a), math.sin(a)
            x, y, z = ax
            r = np.eye(4)
            r[:3, :3] = [[c + x * x * (1 - c), x * y * (1 - c) - z * s, x * z * (1 - c) + y * s],
                         [y * x * (1 - c) + z * s, c + y * y * (1 - c), y * z * (1 - c) - x * s],
                         [z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, c + z * z * (1 - c)]]
            m = m @ r
        elif tag == "scale":
            m = m @ np.diag(list(vals) + [1.0])
    return m


_docs = {}


def doc(rel):
    if rel not in _docs:
        _docs[rel] = Doc(rel)
    return _docs[rel]


def tri_normals(pos, tris):
    a, b, c = pos[tris[:, 0]], pos[tris[:, 1]], pos[tris[:, 2]]
    n = np.cross(b - a, c - a)
    return n / np.maximum(np.linalg.norm(n, axis=1, keepdims=True), 1e-12)


# ------------------------------------------------------------------ tests
class Files(unittest.TestCase):
    def test_every_file_exists(self):
        files = MODELS + SOUNDS + [MUSIC, "models/ShowRoom/Sign-Vantrel.jpg"]
        for car in CARS:
            files += ["cars/%s/gauges/%s" % (car, dial) for dial in ("rpm.png", "tacho.png", "tacho-mph.png")]
        for f in files:
            self.assertTrue(os.path.isfile(path(f)), f)

    def test_data_folder_under_40_mb(self):
        total = 0
        for dirpath, _, names in os.walk(DATA):
            total += sum(os.path.getsize(os.path.join(dirpath, n)) for n in names)
        self.assertLess(total, 40 * 1024 * 1024, "data/ holds %.1f MB" % (total / 2 ** 20))


class Collada(unittest.TestCase):
    """What every model must be for the loader to read it without a warning."""

    def test_valid_collada_1_4_1(self):
        import collada.schema
        from lxml import etree
        validator = collada.schema.ColladaValidator()
        for rel in MODELS:
            tree = etree.parse(path(rel))
            self.assertEqual(tree.getroot().get("version"), "1.4.1", rel)
            self.assertTrue(validator.validate(tree), "%s: %s" % (
                rel, validator.COLLADA_SCHEMA_1_4_1_INSTANCE.error_log))

    def test_node_names_unique(self):
        for rel in MODELS:
            ids = [n.get("id") for n, _, _ in doc(rel).nodes()]
            names = [n.get("name") for n, _, _ in doc(rel).nodes()]
            self.assertEqual(len(ids), len(set(ids)), rel)
            self.assertEqual(len(names), len(set(names)), rel)
            self.assertEqual(ids, names, rel)

    def test_sources_and_inputs_as_the_loader_reads_them(self):
        for rel in MODELS:
            d = doc(rel)
            for gid in d.geoms:
                sources, vin, groups = d.mesh(gid)
                self.assertEqual(set(vin), {"POSITION"}, (rel, gid))
                for sem_src in [vin["POSITION"]]:
                    self.assertEqual(sources[sem_src][1], 3, (rel, gid))
                for kind, sym, inputs, p in groups:
                    self.assertIn(kind, ("triangles", "polylist"), (rel, gid))
                    for sem, src, off in inputs:
                        self.assertIn(sem, ("VERTEX", "NORMAL", "TEXCOORD"), (rel, gid))
                        if sem == "VERTEX":
                            n = len(sources[vin["POSITION"]][0])
                        else:
                            data, stride = sources[src]
                            # our loader warns on any stride but 3, texture coordinates included
                            self.assertEqual(stride, 3, (rel, gid, sem))
                            n = len(data)
                        idx = p[:, :, off]
                        self.assertTrue(idx.min() >= 0 and idx.max() < n, (rel, gid, sem))
                    sems = [s for s, _, _ in inputs]
                    self.assertIn("NORMAL", sems, (rel, gid))
                    _, _, _ = sym, kind, p
                sn = [s for s in sources if s.endswith("-normals")]
                for s in sn:
                    nrm = sources[s][0]
                    length = np.linalg.norm(nrm, axis=1)
                    self.assertTrue(np.all(np.abs(length - 1) < 1e-3), (rel, gid, "unit normals"))

    def test_every_polygon_group_is_bound_and_drawn(self):
        for rel in MODELS:
            d = doc(rel)
            materials = {m.get("id") for m in d.root.iter(NS + "material")}
            for n, m, gid, binds in d.instances():
                _, _, groups = d.mesh(gid)
                for _, sym, _, _ in groups:
                    self.assertIn(sym, binds, (rel, n.get("id"), gid))
                    self.assertIn(binds[sym], materials, (rel, gid))

    def test_materials_common_profile_and_visible(self):
        for rel in MODELS:
            d = doc(rel)
            for eff in d.root.iter(NS + "effect"):
                tech = eff.find(NS + "profile_COMMON/" + NS + "technique")
                self.assertIsNotNone(tech, (rel, eff.get("id")))
                shader = list(tech)[0]
                t = shader.find(NS + "transparency/" + NS + "float")
                alpha = float(t.text) if t is not None else 1.0
                self.assertGreater(alpha, 0.3, (rel, eff.get("id")))

    def test_images_next_to_the_document(self):
        for rel in MODELS:
            d = doc(rel)
            folder = os.path.dirname(path(rel))
            for img in d.root.iter(NS + "image"):
                name = img.find(NS + "init_from").text
                self.assertNotIn("/", name, rel)
                self.assertNotIn("\\", name, rel)
                f = os.path.join(folder, name)
                self.assertTrue(os.path.isfile(f), (rel, name))
                with Image.open(f) as im:
                    w, h = im.size
                    self.assertIn(im.mode, ("RGB", "RGBA"), (rel, name))
                    self.assertTrue(w & (w - 1) == 0 and h & (h - 1) == 0, (rel, name, im.size))


class Cars(unittest.TestCase):
    def test_the_original_cars_and_the_third(self):
        self.assertEqual(set(CAR_NAMES), {"NissanSkyline", "BugattiVeyron", "VesperRS"})
        for car, c in CARS.items():
            self.assertEqual(c["node"], car, "the car node is named after its folder")

    def test_car_node_at_rest_height(self):
        for car, c in CARS.items():
            h = c["h"]
            d = doc("cars/%s/%s.dae" % (car, car))
            found = d.node(car)
            self.assertIsNotNone(found, car)
            n, parent, m = found
            self.assertIsNone(parent, "%s must be a child of the visual scene" % car)
            want = np.eye(4)
            want[2, 3] = h
            self.assertTrue(np.allclose(local_matrix(n), want, atol=1e-5), (car, local_matrix(n)))

    def test_wheel_and_steering_nodes_where_the_physics_expects(self):
        for car, c in CARS.items():
            h, r = c["h"], c["r"]
            steering = {"steer_front_left": c["wheels"]["wheel_front_left"],
                        "steer_front_right": c["wheels"]["wheel_front_right"]}
            d = doc("cars/%s/%s.dae" % (car, car))
            car_world = d.node(car)[2]
            inv = np.linalg.inv(car_world)
            for name, (x, y) in list(c["wheels"].items()) + list(steering.items()):
                found = d.node(name)
                self.assertIsNotNone(found, (car, name))
                n, parent, m = found
                rel_m = inv @ m
                want = np.array([x, y, r - h])
                self.assertLess(np.linalg.norm(rel_m[:3, 3] - want), TOLERANCE, (car, name, rel_m[:3, 3]))
                # spin axis along local x, no rotation against the car
                self.assertTrue(np.allclose(rel_m[:3, :3], np.eye(3), atol=1e-5), (car, name))
                # below the car node: the steering nodes directly, front wheels under them
                if name.startswith("wheel_front"):
                    self.assertEqual(parent.get("id"), name.replace("wheel", "steer"), (car, name))
                elif name.startswith("wheel_rear") or name.startswith("steer"):
                    self.assertEqual(parent.get("id"), car, (car, name))

    def test_tyres_touch_the_ground(self):
        for car, c in CARS.items():
            r = c["r"]
            d = doc("cars/%s/%s.dae" % (car, car))
            lowest = []
            for n, m, gid, _ in d.instances():
                if n.get("id") in WHEEL_NODES:
                    pos = d.positions(gid)
                    world = (m @ np.c_[pos, np.ones(len(pos))].T).T
                    lowest.append(world[:, 2].min())
                    radius = np.linalg.norm(pos[:, 1:], axis=1).max()
                    self.assertAlmostEqual(radius, r, delta=0.005, msg=(car, n.get("id")))
            self.assertEqual(len(lowest), 4, car)
            for z in lowest:
                self.assertAlmostEqual(z, 0.0, delta=0.005, msg=car)

    def test_body_sized_to_the_physics_box(self):
        for car, c in CARS.items():
            h, r, (hx, hy, hz) = c["h"], c["r"], c["half"]
            d = doc("cars/%s/%s.dae" % (car, car))
            n, _, m = d.node(car)
            gid = n.find(NS + "instance_geometry").get("url")[1:]
            pos = d.positions(gid)
            lo, hi = pos.min(axis=0), pos.max(axis=0)
            # the box's half-extents round the node; wings and fenders may stand
            # out a little (the wheels' outer faces are half a tyre outside their centres)
            self.assertTrue(hx - 0.05 < hi[0] < hx + 0.25 and -hx - 0.25 < lo[0] < -hx + 0.05, (car, lo, hi))
            self.assertTrue(hy - 0.15 < hi[1] <= hy + 0.05 and -hy - 0.05 <= lo[1] < -hy + 0.15, (car, lo, hi))
            self.assertTrue(hz - 0.1 < hi[2] <= hz + 0.01, (car, lo, hi))
            self.assertTrue(lo[2] > r - h - 0.3, (car, lo, hi))   # nothing scrapes the ground
            self.assertGreater(lo[2] + h, 0.1, car)

    def test_separate_materials(self):
        for car in CARS:
            d = doc("cars/%s/%s.dae" % (car, car))
            names = {m.get("name") for m in d.root.iter(NS + "material")}
            for want in ("Paint", "Glass", "Tyre", "Rim", "Lamps"):
                self.assertIn(want, names, car)


class Dials(unittest.TestCase):
    def test_calibration_marks(self):
        for car, c in CARS.items():
            for dial, (v0, a0, vmax, a1) in c["dials"].items():
                f = path("cars/%s/gauges/%s" % (car, dial))
                im = np.asarray(Image.open(f).convert("RGBA")).astype(float)
                h, w, _ = im.shape
                self.assertEqual((w, h), (256, 256), f)
                self.assertEqual(im[0, 0, 3], 0, "%s: transparent outside the dial" % f)
                self.assertEqual(im[h // 2, w // 2 + 60, 3], 255, "%s: opaque face" % f)
                c = (w / 2.0, h / 2.0)
                lum = lambda p: 0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2]  # noqa: E731

                def pixel(angle, r):
                    a = math.radians(angle)
                    # anticlockwise from +x with y up on screen (the top row is on top)
                    x = c[0] + r * math.cos(a)
                    y = c[1] - r * math.sin(a)
                    return im[int(round(y - 0.5)), int(round(x - 0.5))]

                r_tick = 0.835 * w / 2          # on a major tick, just outside the needle's tip
                for value, angle in ((v0, a0), (vmax, a1)):
                    tick = pixel(angle, r_tick)
                    self.assertEqual(tick[3], 255, (f, value))
                    for side in (-2.5, 2.5):    # the bare face either side of the tick
                        face = pixel(angle + side, r_tick)
                        self.assertGreater(abs(lum(tick) - lum(face)), 100,
                                           "%s: no tick for %s at %.0f degrees" % (f, value, angle))

    def test_sign(self):
        f = path("models/ShowRoom/Sign-Vantrel.jpg")
        im = Image.open(f)
        self.assertEqual(im.format, "JPEG")
        a = np.asarray(im.convert("RGB")).astype(float)
        self.assertGreater(a.std(), 20, "the sign is not blank")


class TrackDescriptions(unittest.TestCase):
    def test_every_track_described_and_within_budget(self):
        self.assertIn("GreenValley", TRACKS)
        for track in TRACKS:
            with self.subTest(track=track):
                desc = description(track)
                self.assertEqual(desc["name"], track)
                self.assertEqual(set(desc["directions"]), {"forward", "reverse"})
                folder = path(desc["folder"])
                size = sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))
                self.assertLessEqual(size, TRACK_BYTES, "%s holds %.1f MB" % (track, size / 2 ** 20))


class TrackChecks:
    """The checks of one track (a subclass per folder under tracks/ follows)."""
    track = None

    @classmethod
    def setUpClass(cls):
        cls.desc = description(cls.track)
        d = doc(cls.desc["model"])
        cls.d = d
        node = d.node("Terrain")
        assert node is not None, "no Terrain node"
        cls.terrain_node, _, cls.terrain_world = node
        urls = [ig.get("url")[1:] for ig in cls.terrain_node.findall(NS + "instance_geometry")]
        assert urls == ["Terrain-mesh"], urls
        cls.pos = d.positions("Terrain-mesh")
        cls.tris = d.triangles("Terrain-mesh")
        cls.road = d.triangles("Terrain-mesh", lambda s: s.startswith("Road"))
        cls.verge = d.triangles("Terrain-mesh", lambda s: s.startswith("Verge"))

    def test_terrain_matrix_and_extent(self):
        # the land reaches well past the road every way (no edge of the world in view)
        self.assertTrue(np.allclose(local_matrix(self.terrain_node), np.eye(4)))
        lo, hi = self.pos.min(axis=0), self.pos.max(axis=0)
        road = self.pos[np.unique(self.road)]
        self.assertTrue((lo[:2] <= road.min(axis=0)[:2] - 1000).all() and (hi[:2] >= road.max(axis=0)[:2] + 1000).all(),
                        (lo, hi))

    def test_triangle_budgets(self):
        self.assertLessEqual(len(self.tris), TERRAIN_TRIANGLES)
        total = sum(len(self.d.triangles(gid)) for _, _, gid, _ in self.d.instances())
        self.assertLessEqual(total, TRACK_TRIANGLES)

    def test_several_materials(self):
        _, _, groups = self.d.mesh("Terrain-mesh")
        syms = {g[1] for g in groups}
        for want in ("Grass", "Road", "Verge"):
            self.assertTrue(any(s.startswith(want) for s in syms), syms)

    def test_no_holes_and_no_cracks(self):
        # every edge is shared by two triangles, except along the land's outer border
        e = np.sort(np.concatenate([self.tris[:, [0, 1]], self.tris[:, [1, 2]], self.tris[:, [2, 0]]]), axis=1)
        uniq, count = np.unique(e, axis=0, return_counts=True)
        self.assertLessEqual(count.max(), 2, "an edge shared by more than two triangles")
        border = uniq[count == 1]
        p = self.pos[border]
        lo, hi = self.pos.min(axis=0), self.pos.max(axis=0)
        on_edge = (np.abs(p[..., 0] - lo[0]) < 1e-3) | (np.abs(p[..., 0] - hi[0]) < 1e-3) | \
                  (np.abs(p[..., 1] - lo[1]) < 1e-3) | (np.abs(p[..., 1] - hi[1]) < 1e-3)
        self.assertTrue(on_edge.all(), "open edges inside the land: %s" % p[~on_edge.all(axis=1)][:3])
        # no two vertices at one place (a crack the eye cannot see)
        q = np.round(self.pos[:, :2], 3)
        self.assertEqual(len(np.unique(q, axis=0)), len(q))

    def test_land_faces_up(self):
        n = tri_normals(self.pos, self.tris)
        self.assertGreater(n[:, 2].min(), 0.05, "a terrain triangle faces down or stands on edge")

    def test_road_slope_limit(self):
        n = tri_normals(self.pos, self.road)
        worst = math.degrees(math.acos(n[:, 2].min()))
        self.assertLessEqual(worst, ROAD_SLOPE_LIMIT)
        n = tri_normals(self.pos, self.verge)
        self.assertLessEqual(math.degrees(math.acos(n[:, 2].min())), VERGE_SLOPE_LIMIT)

    def road_topology(self):
        t = self.road
        e = np.sort(np.concatenate([t[:, [0, 1]], t[:, [1, 2]], t[:, [2, 0]]]), axis=1)
        uniq, inv, count = np.unique(e, axis=0, return_inverse=True, return_counts=True)
        return uniq, inv.reshape(3, -1).T, count

    def test_road_is_one_closed_ribbon(self):
        uniq, tri_edges, count = self.road_topology()
        nt = len(self.road)
        # consecutive road triangles share edges: one connected strip
        parent = list(range(nt))

        def find(a):
            while parent[a] != a:
                parent[a] = parent[parent[a]]
                a = parent[a]
            return a
        owner = {}
        for ti in range(nt):
            for ei in tri_edges[ti]:
                if ei in owner:
                    ra, rb = find(ti), find(owner[ei])
                    parent[ra] = rb
                else:
                    owner[ei] = ti
        roots = {find(i) for i in range(nt)}
        self.assertEqual(len(roots), 1, "the road falls apart into %d pieces" % len(roots))
        # an annulus: V - E + F = 0 and its border is two closed loops
        verts = np.unique(self.road)
        self.assertEqual(len(verts) - len(uniq) + nt, 0)
        border = uniq[count == 1]
        deg = np.bincount(border.ravel(), minlength=len(self.pos))
        self.assertTrue(set(deg[np.unique(border)]) == {2}, "the road's edge is not a simple loop")
        adj = {}
        for a, b in border:
            adj.setdefault(a, []).append(b)
            adj.setdefault(b, []).append(a)
        seen, loops = set(), 0
        for v in adj:
            if v in seen:
                continue
            loops += 1
            stack = [v]
            while stack:
                x = stack.pop()
                if x in seen:
                    continue
                seen.add(x)
                stack.extend(adj[x])
        self.assertEqual(loops, 2, "the road's edges form %d loops, not two" % loops)

    def centre_line(self):
        """Road vertices inside the ribbon (not on its edges) and the edges between them."""
        uniq, _, count = self.road_topology()
        border_v = set(np.unique(uniq[count == 1]).tolist())
        inner = [tuple(e) for e in uniq if e[0] not in border_v and e[1] not in border_v]
        return np.array(inner)

    def checkpoints(self, way="forward"):
        return [(c[0], c[1]) for c in self.desc["directions"][way][1]]

    def test_checkpoints_on_the_road_centre(self):
        tri2 = self.pos[self.road][:, :, :2]
        centre = self.centre_line()
        a, b = self.pos[centre[:, 0], :2], self.pos[centre[:, 1], :2]
        points = {tuple(p) for way in self.desc["directions"] for p in self.checkpoints(way)}
        for way, (start, _) in self.desc["directions"].items():
            points.add((start[0], start[1]))
        for cx, cy in sorted(points):
            p = np.array([cx, cy])
            hits = point_in_triangles(p, tri2)
            self.assertTrue(hits.any(), "checkpoint (%s, %s) is not on a road triangle" % (cx, cy))
            ab = b - a
            t = np.clip(np.sum((p - a) * ab, axis=1) / np.sum(ab * ab, axis=1), 0, 1)
            dist = np.linalg.norm(a + t[:, None] * ab - p, axis=1).min()
            self.assertLess(dist, 1.0, "(%s, %s) lies %.2f m off the centre line" % (cx, cy, dist))

    def test_start_on_level_ground_facing_its_heading(self):
        tri = self.pos[self.road]
        start, _ = self.desc["directions"]["forward"]
        p = np.array(start[:2])
        hits = point_in_triangles(p, tri[:, :, :2])
        self.assertTrue(hits.any(), "the start is not on the road")
        z = barycentric_z(p, tri[hits][0])
        self.assertAlmostEqual(z, 0.0, delta=0.03)
        # the centre line runs along the start's heading (the reverse faces the other way)
        points = read_road(path(self.desc["road"]))
        along = points[1] - points[-1]
        for way, (st, _) in self.desc["directions"].items():
            h = math.radians(st[2])
            facing = np.array([-math.sin(h), math.cos(h)]) @ (along / np.linalg.norm(along))
            self.assertGreater(facing if way == "forward" else -facing, 0.99, (way, st))
        # room for the grid: the 60 m behind the start line strays under 2 m from its line
        behind = points[-30:]
        self.assertLess(np.abs(np.cross(behind - points[0], along / np.linalg.norm(along))).max(), 2.0)

    def test_road_sits_above_the_ground_beside_it(self):
        # the verges fall away from the asphalt: its edge is the local high line
        v = self.pos[self.verge]
        road_v = set(np.unique(self.road).tolist())
        for tri, p in zip(self.verge[:2000], v[:2000]):
            on_road = [i for i in tri if i in road_v]
            off = [i for i in tri if i not in road_v]
            if on_road and off:
                self.assertGreaterEqual(max(self.pos[on_road, 2]) + 1e-4, min(self.pos[off, 2]))

    def test_gates_at_the_checkpoints(self):
        for i, (cx, cy) in enumerate(self.checkpoints()):
            found = self.d.node("Checkpoint_%d" % (i + 1))
            self.assertIsNotNone(found, i)
            m = found[2]
            self.assertLess(np.hypot(m[0, 3] - cx, m[1, 3] - cy), 1.0, i)
        self.assertIsNotNone(self.d.node("StartGantry"))

    def test_road_file_follows_the_built_road_in_race_direction(self):
        points = read_road(path(self.desc["road"]))
        seg = np.roll(points, -1, axis=0) - points
        step = np.linalg.norm(seg, axis=1)
        self.assertTrue(1.0 <= step.min() and step.max() <= 3.0, (step.min(), step.max()))
        self.assertLess(np.linalg.norm(points[0]), 0.01, "the line does not start on the start line")
        # the road mesh's own centre vertices lie on the line
        centre = self.pos[np.unique(self.centre_line())][:, :2]
        dist, _ = polyline_distance(points, centre)
        self.assertLess(dist.max(), 0.05, "a centre vertex of the road lies %.3f m off the line" % dist.max())
        # the checkpoints lie on it, in the order the race passes them each way
        for way in self.desc["directions"]:
            dist, s = polyline_distance(points, np.array(self.checkpoints(way), float))
            self.assertLess(dist.max(), 0.05, way)
            step = np.diff(s) if way == "forward" else -np.diff(s)
            self.assertTrue(np.all(step > 0), "%s checkpoints out of race order: %s" % (way, s))

    def test_light_sees_the_whole_road_from_within_its_shadow_frustum(self):
        road = self.pos[np.unique(self.road)]
        dist = np.linalg.norm(road - self.desc["light"], axis=1)
        self.assertTrue(SHADOW_NEAR < dist.min() and dist.max() < SHADOW_FAR, (dist.min(), dist.max()))

    def test_scenery_shares_meshes(self):
        geo_use = {}
        for n, m, gid, _ in self.d.instances():
            geo_use[gid] = geo_use.get(gid, 0) + 1
        shared = {g: c for g, c in geo_use.items() if c > 1}
        self.assertGreater(sum(shared.values()), 100, geo_use)
        self.assertEqual(geo_use.get("Terrain-mesh"), 1)


for _t in TRACKS:
    globals()["Track_" + _t] = type("Track_" + _t, (TrackChecks, unittest.TestCase), {"track": _t})


def read_road(file):
    """The points of a road centre-line file, checked against its header."""
    with open(file) as f:
        lines = f.read().split("\n")
    magic, version, count = lines[0].split()
    assert (magic, version) == ("vantrel-road", "1"), lines[0]
    body = [ln for ln in lines[1:] if ln.strip()]
    assert len(body) == int(count), "header says %s points, file holds %d" % (count, len(body))
    return np.array([[float(v) for v in ln.split()] for ln in body])


def polyline_distance(points, queries):
    """Distance of each query to the closed polyline, and its arc position there."""
    a, ab = points, np.roll(points, -1, axis=0) - points
    length = np.linalg.norm(ab, axis=1)
    start = np.concatenate([[0.0], np.cumsum(length)[:-1]])
    dist, arc = [], []
    for q in queries:
        t = np.clip(np.sum((q - a) * ab, axis=1) / (length * length), 0, 1)
        d = np.linalg.norm(a + t[:, None] * ab - q, axis=1)
        i = np.argmin(d)
        dist.append(d[i])
        arc.append(start[i] + t[i] * length[i])
    return np.array(dist), np.array(arc)


def point_in_triangles(p, tri):
    a, b, c = tri[:, 0], tri[:, 1], tri[:, 2]

    def side(u, v):
        return (v[:, 0] - u[:, 0]) * (p[1] - u[:, 1]) - (v[:, 1] - u[:, 1]) * (p[0] - u[:, 0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    eps = 1e-9
    return ((s1 >= -eps) & (s2 >= -eps) & (s3 >= -eps)) | ((s1 <= eps) & (s2 <= eps) & (s3 <= eps))


def barycentric_z(p, t):
    a, b, c = t
    m = np.array([[b[0] - a[0], c[0] - a[0]], [b[1] - a[1], c[1] - a[1]]])
    u, v = np.linalg.solve(m, p - a[:2])
    return a[2] + u * (b[2] - a[2]) + v * (c[2] - a[2])


class SkyDome(unittest.TestCase):
    def test_domes(self):
        skies = {"models/SkyDome/SkyDome.dae"}
        for t in TRACKS:
            skies.add(description(t)["sky"])
        for rel in sorted(skies):
            with self.subTest(sky=rel):
                self.dome(rel)

    def dome(self, rel):
        d = doc(rel)
        self.assertEqual(len(d.instances()), 1)
        n, m, gid, _ = d.instances()[0]
        self.assertTrue(np.allclose(m, np.eye(4)))
        pos = d.positions(gid)
        r = np.linalg.norm(pos, axis=1)
        self.assertTrue(6500 < r.min() and r.max() < 7500, (r.min(), r.max()))
        self.assertLess(pos[:, 2].min(), -1000, "the dome reaches below the horizon")
        self.assertGreater(pos[:, 2].max(), 6900)
        tris = d.triangles(gid)
        n = tri_normals(pos, tris)
        centre = pos[tris].mean(axis=1)
        self.assertTrue((np.sum(n * centre, axis=1) < 0).all(), "every face looks inwards")
        eff = list(d.root.iter(NS + "effect"))[0]
        em = eff.find(".//" + NS + "emission/" + NS + "color")
        self.assertTrue(em is None or np.allclose(np.array(em.text.split(), float)[:3], 0))


class ShowRoom(unittest.TestCase):
    def test_room_around_camera_light_and_turntable(self):
        d = doc("models/ShowRoom/ShowRoom.dae")
        allpos = []
        for n, m, gid, _ in d.instances():
            pos = d.positions(gid)
            allpos.append((m @ np.c_[pos, np.ones(len(pos))].T).T[:, :3])
        allpos = np.concatenate(allpos)
        lo, hi = allpos.min(axis=0), allpos.max(axis=0)
        for p in [(-0.241, -1.69, -0.2), (0.3, 0.2, -0.71), (0.0, -2.0, 2.5), (1.68, 3.63, -1.0)]:
            self.assertTrue((np.array(p) > lo).all() and (np.array(p) < hi).all(), p)
        light = np.array([0.0, -2.0, 2.5])
        self.assertLess(np.linalg.norm(allpos - light, axis=1).max(), 20.0, "room inside the shadow far plane")
        # the turntable's top: an upward face at z = -2.1 under the car's centre
        n, _, m = d.node("Turntable")
        gid = n.find(NS + "instance_geometry").get("url")[1:]
        pos = d.positions(gid)
        tris = d.triangles(gid)
        nn = tri_normals(pos, tris)
        up = tris[nn[:, 2] > 0.99]
        tri = pos[up]
        hits = point_in_triangles(np.array([1.68, 3.63]), tri[:, :, :2])
        self.assertTrue(hits.any())
        self.assertAlmostEqual(tri[hits][0][:, 2].mean(), -2.1, delta=0.002)


class Music(unittest.TestCase):
    def test_decodes_to_its_length_and_is_not_silent(self):
        f = path(MUSIC)
        rate, channels, pcm = mp3decode.decode(f)
        self.assertEqual((rate, channels), (44100, 2))
        seconds = len(pcm) / rate
        self.assertGreaterEqual(seconds, 90.0)
        self.assertAlmostEqual(seconds, MUSIC_SECONDS, delta=0.05)
        x = pcm.astype(float) / 32768.0
        rms = np.sqrt(np.mean(x ** 2))
        self.assertGreater(rms, 0.05, "silent")
        self.assertLess(np.abs(x).max(), 0.999, "clipped")
        kbps = os.path.getsize(f) * 8 / seconds / 1000
        self.assertAlmostEqual(kbps, 160, delta=16)
        # the loop point: the end runs into the start without a jump in level
        second = rate
        end, start = np.sqrt(np.mean(x[-second:] ** 2)), np.sqrt(np.mean(x[:second] ** 2))
        self.assertLess(max(end, start) / min(end, start), 2.0)
        self.assertLess(np.abs(x[0] - x[-1]).max(), 0.1)


class Sounds(unittest.TestCase):
    def read(self, name):
        with wave.open(path(name)) as w:
            self.assertEqual((w.getframerate(), w.getnchannels(), w.getsampwidth()), (44100, 1, 2), name)
            return np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(float) / 32768.0

    def test_loud_unclipped_and_the_loops_seamless(self):
        for name in SOUNDS:
            x = self.read(name)
            self.assertGreater(np.sqrt(np.mean(x ** 2)), 0.05, name + " is silent")
            self.assertLess(np.abs(x).max(), 0.999, name + " clips")
            if "thud" not in name:
                # the end runs into the start like any step inside the loop
                self.assertLessEqual(abs(x[-1] - x[0]), np.abs(np.diff(x)).max(), name)

    def test_engine_loops_fire_at_the_base_rpm_in_whole_periods(self):
        for name in SOUNDS[:2]:
            x = self.read(name)
            periods = len(x) * ENGINE_FIRING_HZ / 44100
            self.assertAlmostEqual(periods, round(periods), delta=1e-9, msg=name)
            spectrum = np.abs(np.fft.rfft(x))
            strongest = np.fft.rfftfreq(len(x), 1 / 44100)[np.argmax(spectrum)]
            self.assertAlmostEqual(strongest, ENGINE_FIRING_HZ, delta=1.0, msg=name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
