"""Helpers shared by the Blender generator scripts (run inside Blender 3.4).

Meshes are built from numpy arrays with foreach_set (fast enough for the
200,000-triangle terrain), materials carry both a Principled BSDF (for the
preview renders) and the fixed-function parameters our loader reads, which
daefix writes into the exported COLLADA effect.
"""
import os
import sys

import bpy
import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import daefix  # noqa: E402

# material name -> parameters written by daefix (colours RGBA, shininess 0..128)
MATERIALS = {}


def args():
    """Arguments after Blender's '--'."""
    argv = sys.argv
    return argv[argv.index("--") + 1:] if "--" in argv else []


def reset():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    MATERIALS.clear()


def material(name, diffuse, specular=(0.2, 0.2, 0.2), shininess=20.0, texture=None,
             ambient=None, emission=(0, 0, 0), alpha=1.0, roughness=None, metallic=0.0):
    """Creates a material and records its COLLADA (fixed-function) parameters.

    diffuse/specular/ambient/emission are RGB; `texture` is an image path
    (the file must already be in the model's folder, next to the .dae).
    With a texture the COLLADA diffuse is the texture (the loader modulates
    it with white); `diffuse` then only colours the preview.
    """
    if name in bpy.data.materials:
        return bpy.data.materials[name]
    mat = bpy.data.materials.new(name)
    mat.use_nodes = True
    nodes = mat.node_tree.nodes
    bsdf = nodes["Principled BSDF"]
    bsdf.inputs["Base Color"].default_value = tuple(diffuse) + (1.0,)
    spec_level = float(np.mean(specular))
    bsdf.inputs["Specular"].default_value = min(1.0, spec_level * 1.2)
    if roughness is None:
        roughness = float(np.clip(1.0 - np.sqrt(shininess / 128.0), 0.05, 1.0))
    bsdf.inputs["Roughness"].default_value = roughness
    bsdf.inputs["Metallic"].default_value = metallic
    if any(emission):
        bsdf.inputs["Emission"].default_value = tuple(emission) + (1.0,)
        bsdf.inputs["Emission Strength"].default_value = 1.0
    if alpha < 1.0:
        bsdf.inputs["Alpha"].default_value = alpha
        mat.blend_method = "BLEND"
    mat.diffuse_color = tuple(diffuse) + (alpha,)
    if texture is not None:
        img = bpy.data.images.load(os.path.abspath(texture), check_existing=True)
        img.name = os.path.splitext(os.path.basename(texture))[0]
        tex = nodes.new("ShaderNodeTexImage")
        tex.image = img
        mat.node_tree.links.new(tex.outputs["Color"], bsdf.inputs["Base Color"])
    if ambient is None:
        # the game's light adds half the ambient colour (light 0.3 + scene 0.2)
        ambient = tuple(0.6 * c for c in diffuse) if texture is None else (0.45, 0.45, 0.45)
    MATERIALS[name] = {
        "emission": tuple(emission) + (1.0,),
        "ambient": tuple(ambient) + (1.0,),
        "diffuse": tuple(diffuse) + (1.0,),
        "specular": tuple(specular) + (1.0,),
        "shininess": float(shininess),
        "alpha": float(alpha),
    }
    return mat


def mesh_object(name, verts, faces, mesh_name=None, uvs=None, mat_index=None, materials=(),
                smooth=True, auto_smooth_deg=None, parent=None, location=(0, 0, 0), link=True,
                prune=True):
    """Builds a mesh object from arrays.

    verts: (n, 3); faces: list of index sequences or an (m, k) array;
    uvs: per face-corner (loop) (total_loops, 2) or None; mat_index: per face;
    smooth: bool or per-face bools; auto_smooth_deg: split normals at edges
    sharper than this (flat-looking hard edges on smooth meshes);
    prune: drop material slots no face uses (indices are remapped).
    """
    me = bpy.data.meshes.new(mesh_name or name)
    verts = np.asarray(verts, dtype=np.float64)
    if isinstance(faces, np.ndarray) and faces.ndim == 2:
        loop_total = np.full(len(faces), faces.shape[1], dtype=np.int32)
        loop_vi = faces.reshape(-1).astype(np.int32)
    else:
        loop_total = np.array([len(f) for f in faces], dtype=np.int32)
        loop_vi = np.fromiter((i for f in faces for i in f), dtype=np.int32, count=int(loop_total.sum()))
    # drop vertices no face uses
    used, loop_vi = np.unique(loop_vi, return_inverse=True)
    verts = verts[used]
    loop_vi = loop_vi.astype(np.int32)
    loop_start = np.concatenate([[0], np.cumsum(loop_total)[:-1]]).astype(np.int32)
    me.vertices.add(len(verts))
    me.vertices.foreach_set("co", verts.reshape(-1))
    me.loops.add(len(loop_vi))
    me.loops.foreach_set("vertex_index", loop_vi)
    me.polygons.add(len(loop_total))
    me.polygons.foreach_set("loop_start", loop_start)
    me.polygons.foreach_set("loop_total", loop_total)
    if uvs is not None:
        layer = me.uv_layers.new(name="UVMap")
        layer.data.foreach_set("uv", np.asarray(uvs, dtype=np.float64).reshape(-1))
    materials = list(materials)
    if prune and mat_index is not None and len(materials) > 1:
        # keep only the slots some face uses, in their order
        mat_index = np.asarray(mat_index, dtype=np.int32)
        used = sorted(set(mat_index.tolist()))
        remap = np.zeros(len(materials), dtype=np.int32)
        for k, u in enumerate(used):
            remap[u] = k
        materials = [materials[u] for u in used]
        mat_index = remap[mat_index]
    for m in materials:
        me.materials.append(m)
    if mat_index is not None:
        me.polygons.foreach_set("material_index", np.asarray(mat_index, dtype=np.int32))
    sm = np.broadcast_to(np.asarray(smooth, dtype=bool), (len(loop_total),))
    me.polygons.foreach_set("use_smooth", np.ascontiguousarray(sm))
    me.update(calc_edges=True)
    me.validate()
    if auto_smooth_deg is not None:
        me.use_auto_smooth = True
        me.auto_smooth_angle = np.radians(auto_smooth_deg)
    ob = bpy.data.objects.new(name, me)
    ob.location = location
    if parent is not None:
        ob.parent = parent
    if link:
        bpy.context.scene.collection.objects.link(ob)
    return ob


def instance(name, source, location=(0, 0, 0), rotation=(0, 0, 0), scale=(1, 1, 1), parent=None):
    """A new object sharing `source`'s mesh data (one COLLADA geometry, many nodes)."""
    ob = bpy.data.objects.new(name, source.data)
    ob.location = location
    ob.rotation_euler = rotation
    ob.scale = scale
    if parent is not None:
        ob.parent = parent
    bpy.context.scene.collection.objects.link(ob)
    return ob


def empty(name, location=(0, 0, 0), parent=None):
    ob = bpy.data.objects.new(name, None)
    ob.location = location
    if parent is not None:
        ob.parent = parent
    bpy.context.scene.collection.objects.link(ob)
    return ob


def export(path):
    """Writes the scene with Blender's COLLADA exporter, then daefix's tidy-up."""
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    bpy.context.view_layer.update()
    bpy.ops.wm.collada_export(
        filepath=os.path.abspath(path),
        apply_modifiers=True,
        selected=False,
        include_children=True,
        triangulate=True,
        use_object_instantiation=True,
        use_texture_copies=False,
        export_object_transformation_type_selection="matrix",
        export_global_forward_selection="Y",
        export_global_up_selection="Z",
        apply_global_orientation=False,
        use_blender_profile=False,
        sort_by_name=False,
        keep_smooth_curves=False,
        include_shapekeys=False,
        include_armatures=False,
        include_animations=False,
        export_mesh_type_selection="view",
    )
    daefix.fix(path, MATERIALS)
    print("  wrote", os.path.relpath(path), os.path.getsize(path), "bytes")


def triangle_count():
    n = 0
    for ob in bpy.context.scene.objects:
        if ob.type == "MESH":
            n += sum(len(p.vertices) - 2 for p in ob.data.polygons)
    return n
