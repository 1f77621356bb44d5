"""Blender script: renders preview images of an exported model (not part of data/).

Run: blender -b --factory-startup --python preview.py -- KIND DAE OUT_PREFIX [VIEW...]
     KIND: car, track, sky or showroom (a track's plan is the one the file is named after)

The .dae is read back with Blender's COLLADA importer, so the pictures show
what the file holds (geometry, normals, texture coordinates, materials as
the importer maps them), lit by a sun and a sky-coloured world, rendered
with Eevee.
"""
import math
import os
import sys

import bpy
from mathutils import Vector


def look(cam, eye, target, lens=35):
    """Points the camera; lens None means the game's 45 degree vertical field of view."""
    cam.location = eye
    d = Vector(target) - Vector(eye)
    cam.rotation_euler = d.to_track_quat("-Z", "Y").to_euler()
    if lens is None:
        cam.data.sensor_fit = "VERTICAL"
        cam.data.angle = math.radians(45)
    else:
        cam.data.sensor_fit = "AUTO"
        cam.data.lens = lens


def setup(kind):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    sc = bpy.context.scene
    sc.render.engine = "BLENDER_EEVEE"
    sc.render.resolution_x, sc.render.resolution_y = (800, 600) if kind == "showroom" else (800, 500)
    sc.eevee.taa_render_samples = 16
    sc.view_settings.view_transform = "Standard"
    world = bpy.data.worlds.new("w")
    sc.world = world
    world.use_nodes = True
    bg = world.node_tree.nodes["Background"]
    bg.inputs[0].default_value = (0.55, 0.65, 0.8, 1)
    bg.inputs[1].default_value = 0.6 if kind != "showroom" else 0.15
    sun = bpy.data.objects.new("sun", bpy.data.lights.new("sun", "SUN"))
    sun.data.energy = 3.5 if kind != "showroom" else 1.0
    sun.rotation_euler = (math.radians(40), 0, math.radians(30))
    sun.data.use_shadow = kind != "sky"   # the dome would shadow itself
    sc.collection.objects.link(sun)
    cam = bpy.data.objects.new("cam", bpy.data.cameras.new("cam"))
    cam.data.clip_end = 20000
    cam.data.clip_start = 0.1
    sc.collection.objects.link(cam)
    sc.camera = cam
    return sc, cam


def render(sc, path):
    sc.render.filepath = path
    bpy.ops.render.render(write_still=True)


def main():
    a = sys.argv[sys.argv.index("--") + 1:]
    kind, dae, out = a[0], os.path.abspath(a[1]), a[2]
    views = a[3:] if len(a) > 3 else None
    sc, cam = setup(kind)
    bpy.ops.wm.collada_import(filepath=dae)
    sky = os.environ.get("PREVIEW_SKY")
    if sky:
        before = set(sc.objects)
        bpy.ops.wm.collada_import(filepath=os.path.abspath(sky))
        for ob in set(sc.objects) - before:
            ob.visible_shadow = False
    for ob in sc.objects:
        if ob.type == "MESH":
            for m in ob.data.materials:
                if m and m.use_nodes and "Principled BSDF" in m.node_tree.nodes:
                    bsdf = m.node_tree.nodes["Principled BSDF"]
                    m.blend_method = "BLEND" if bsdf.inputs["Alpha"].default_value < 1 else "OPAQUE"
                    if kind != "car":
                        # the importer's specular mapping glares at grazing angles on big terrain
                        bsdf.inputs["Specular"].default_value = min(bsdf.inputs["Specular"].default_value, 0.2)
                        bsdf.inputs["Roughness"].default_value = max(bsdf.inputs["Roughness"].default_value, 0.6)
    if kind == "car":
        floor = bpy.data.meshes.new("floor")
        floor.from_pydata([(-20, -20, 0), (20, -20, 0), (20, 20, 0), (-20, 20, 0)], [], [(0, 1, 2, 3)])
        fo = bpy.data.objects.new("floor", floor)
        sc.collection.objects.link(fo)
        shots = {
            "front34": ((5.0, 6.5, 1.6), (0, 0, 0.5), 40),
            "rear34": ((-5.0, -6.5, 2.0), (0, 0, 0.5), 40),
            "side": ((9.0, 0.0, 0.8), (0, 0, 0.5), 45),
            "chase": ((0.0, -10.5, 2.7), (0, 0, 1.0), 35),
            "top": ((0.01, 0.0, 12.0), (0, 0, 0), 40),
            "front": ((0.0, 9.0, 0.7), (0, 0, 0.5), 45),
            "wheel": ((3.2, 2.4, 0.5), (1.1, 1.1, 0.3), 50),
            "cabin": ((3.0, -3.5, 1.8), (0.3, -0.6, 0.9), 40),
        }
    elif kind == "track":
        # the plan of the track the file is named after, for the camera positions
        sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
        import trackdesign as T
        design = T.Design(T.plan(os.path.splitext(os.path.basename(dae))[0]))
        cx, cy = design.plan.CENTRE
        shots = {
            "start": ((0.0, -12.0, 4.0), (0.0, 30.0, 0.0), 30),
            "aerial": ((cx, cy - 5200.0, 3800.0), (cx, cy, 0.0), 28),
            "top": ((cx, cy, 9000.0), (cx, cy + 1.0, 0.0), 22),
        }
        L = design.road.length
        for tag in ("s300", "cp0", "cp1", "cp2", "s%d" % (L * 0.4), "cp3", "cp4", "s%d" % (L * 0.8)):
            s = design.road.tags[tag] if tag.startswith("cp") else float(tag[1:])
            p, t, n = design.road.at(s - 10.0)
            z = float(design.road_z(s - 10.0))
            q, _, _ = design.road.at(s + 25.0)
            zq = float(design.road_z(s + 25.0))
            shots["road_" + tag] = ((p[0], p[1], z + 3.2), (q[0], q[1], zq + 1.0), 26)
    elif kind == "sky":
        shots = {"horizon": ((0, 0, 2), (1000, 1000, 400), 30), "up": ((0, 0, 2), (100, 0, 1000), 20)}
    else:
        shots = {
            "game": ((-0.241, -1.69, -0.2), (0.3, 0.2, -0.71), None),
            "wide": ((-3.5, -4.5, 1.5), (1.68, 3.63, -1.5), 22),
        }
        # with a car file given: place it as the game does, turned a little
        car = os.environ.get("PREVIEW_CAR")
        if car:
            before = set(sc.objects)
            bpy.ops.wm.collada_import(filepath=os.path.abspath(car))
            for ob in set(sc.objects) - before:
                if ob.parent is None:
                    ob.location = (ob.location.x + 1.68, ob.location.y + 3.63, ob.location.z - 2.1)
                    ob.rotation_euler = (0, 0, math.radians(35))
        light = bpy.data.objects.new("spot", bpy.data.lights.new("spot", "SPOT"))
        light.data.energy = 1500
        light.data.spot_size = math.radians(85)
        light.location = (0, -2, 2.5)
        light.rotation_euler = Vector((0, 3.63, -2.5)).to_track_quat("-Z", "Y").to_euler()
        sc.collection.objects.link(light)
    for name, (eye, target, lens) in shots.items():
        if views and name not in views:
            continue
        look(cam, eye, target, lens)
        render(sc, "%s_%s.png" % (out, name))


main()
