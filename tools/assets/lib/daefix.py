"""Tidies a COLLADA document written by Blender's exporter for Vantrel's loader.

Blender 3.4's exporter writes standard COLLADA 1.4.1, but three things in it
do not fit what our COLLADA loader reads:

* Every effect is a `<lambert>` without specular colour or shininess (the
  exporter ignores the Principled BSDF's specular), and translucency goes to
  `<transparent>` only, while the loader reads `<transparency>`. We rewrite
  each effect as `<phong>` with the emission, ambient, diffuse (colour or the
  exported texture), specular, shininess and transparency the generator
  chose for that material.
* Texture coordinates are written with stride 2 (S, T). Our loader warns on any
  texture-coordinate source whose stride is not 3, so they are widened to
  (S, T, P) with P = 0.
* Time stamps: fixed, and normals recomputed from the positions in a fixed
  order (Blender's differ in the last digit between runs), so a rerun writes
  identical files.

Image paths become file names next to the document. Inputs the loader
would warn about (colour sets and the like) stop the generator. Everything
else of the exporter's output is kept as written.
"""
import os
import xml.etree.ElementTree as ET

NS = "http://www.collada.org/2005/11/COLLADASchema"
XSI = "http://www.w3.org/2001/XMLSchema-instance"
Q = "{%s}" % NS
FIXED_DATE = "2024-01-01T00:00:00"


def q(tag):
    return Q + tag


def fmt(values):
    return " ".join(("%.6g" % v) for v in values)


def _colour(parent, tag, sid, rgba):
    e = ET.SubElement(parent, q(tag))
    c = ET.SubElement(e, q("color"), {"sid": sid})
    c.text = fmt(rgba)
    return e


def _float(parent, tag, sid, value):
    e = ET.SubElement(parent, q(tag))
    f = ET.SubElement(e, q("float"), {"sid": sid})
    f.text = fmt([value])
    return e


def fix_effects(root, materials):
    """Rewrites every effect as phong with the generator's parameters."""
    # material id -> effect id, and material id -> generator name
    eff_to_name = {}
    for m in root.iter(q("material")):
        inst = m.find(q("instance_effect"))
        if inst is None:
            continue
        eff_to_name[inst.get("url").lstrip("#")] = m.get("name") or m.get("id")
    for effect in root.iter(q("effect")):
        name = eff_to_name.get(effect.get("id"))
        if name not in materials:
            raise KeyError("no parameters for material '%s' (effect %s)" % (name, effect.get("id")))
        p = materials[name]
        prof = effect.find(q("profile_COMMON"))
        tech = prof.find(q("technique"))
        old = list(tech)[0]
        diffuse_tex = old.find(q("diffuse") + "/" + q("texture"))
        tech.remove(old)
        shader = ET.SubElement(tech, q("phong"))
        _colour(shader, "emission", "emission", p["emission"])
        _colour(shader, "ambient", "ambient", p["ambient"])
        if diffuse_tex is not None:
            d = ET.SubElement(shader, q("diffuse"))
            d.append(diffuse_tex)
        else:
            _colour(shader, "diffuse", "diffuse", p["diffuse"])
        _colour(shader, "specular", "specular", p["specular"])
        _float(shader, "shininess", "shininess", p["shininess"])
        alpha = p.get("alpha", 1.0)
        if alpha < 1.0:
            t = ET.SubElement(shader, q("transparent"), {"opaque": "A_ONE"})
            c = ET.SubElement(t, q("color"), {"sid": "transparent"})
            c.text = fmt([1, 1, 1, 1])
            _float(shader, "transparency", "transparency", alpha)
        # Blender-only extras of the effect go
        for extra in effect.findall(q("extra")):
            effect.remove(extra)


def _primitives(mesh):
    return [p for p in mesh if p.tag in (q("triangles"), q("polylist"), q("polygons"))]


def fix_texcoords(root):
    """Widens every TEXCOORD source from stride 2 to stride 3 (S, T, P).

    Blender writes one texture coordinate per face corner; equal values are
    merged on the way (the indices in <p> are remapped), which roughly
    thirds the size of a big mesh's texture coordinates.
    """
    for mesh in root.iter(q("mesh")):
        sources = {s.get("id"): s for s in mesh.findall(q("source"))}
        uses = {}
        for prim in _primitives(mesh):
            inputs = prim.findall(q("input"))
            width = max(int(i.get("offset", "0")) for i in inputs) + 1
            for inp in inputs:
                if inp.get("semantic") == "TEXCOORD":
                    uses.setdefault(inp.get("source").lstrip("#"), []).append(
                        (prim, int(inp.get("offset", "0")), width))
        for sid, prims in uses.items():
            src = sources[sid]
            arr = src.find(q("float_array"))
            acc = src.find(q("technique_common") + "/" + q("accessor"))
            stride = int(acc.get("stride", "1"))
            if stride not in (2, 3):
                raise ValueError("unexpected texcoord stride %d in %s" % (stride, sid))
            vals = arr.text.split() if arr.text else []
            count = len(vals) // stride
            remap = []
            index_of = {}
            out = []
            for i in range(count):
                key = (vals[stride * i], vals[stride * i + 1])
                j = index_of.get(key)
                if j is None:
                    j = index_of[key] = len(index_of)
                    out.extend((key[0], key[1], "0"))
                remap.append(j)
            arr.text = " ".join(out)
            arr.set("count", str(len(out)))
            acc.set("stride", "3")
            acc.set("count", str(len(index_of)))
            for prm in acc.findall(q("param")):
                acc.remove(prm)
            for n in ("S", "T", "P"):
                ET.SubElement(acc, q("param"), {"name": n, "type": "float"})
            for prim, offset, width in prims:
                for p in prim.findall(q("p")):
                    idx = p.text.split()
                    for k in range(offset, len(idx), width):
                        idx[k] = str(remap[int(idx[k])])
                    p.text = " ".join(idx)


def recompute_normals(root):
    """Rewrites every normal from the positions, keeping Blender's smoothing.

    Blender's own normals differ in the last digit from run to run (its
    accumulation is threaded), which would make every regeneration a change.
    Each normal index Blender wrote stands for a group of face corners shaded
    together (split at sharp edges); its normal becomes the angle-weighted sum
    of those corners' face normals, normalised, summed in file order.
    """
    import numpy as np
    for mesh in root.iter(q("mesh")):
        sources = {s.get("id"): s for s in mesh.findall(q("source"))}
        vert = mesh.find(q("vertices"))
        pos_id = [i.get("source")[1:] for i in vert.findall(q("input")) if i.get("semantic") == "POSITION"][0]
        pos = np.array(sources[pos_id].find(q("float_array")).text.split(), float).reshape(-1, 3)
        normal_id = None
        corners_v, corners_n = [], []
        for prim in _primitives(mesh):
            inputs = prim.findall(q("input"))
            width = max(int(i.get("offset", "0")) for i in inputs) + 1
            off = {i.get("semantic"): int(i.get("offset", "0")) for i in inputs}
            if "NORMAL" not in off:
                continue
            normal_id = [i.get("source")[1:] for i in inputs if i.get("semantic") == "NORMAL"][0]
            idx = np.array(prim.find(q("p")).text.split(), int).reshape(-1, 3, width)
            corners_v.append(idx[:, :, off["VERTEX"]])
            corners_n.append(idx[:, :, off["NORMAL"]])
        if normal_id is None:
            continue
        tv = np.concatenate(corners_v)
        tn = np.concatenate(corners_n)
        arr = sources[normal_id].find(q("float_array"))
        old = np.array(arr.text.split(), float).reshape(-1, 3)
        p0, p1, p2 = pos[tv[:, 0]], pos[tv[:, 1]], pos[tv[:, 2]]
        face = np.cross(p1 - p0, p2 - p0)
        length = np.linalg.norm(face, axis=1, keepdims=True)
        face = np.where(length > 0, face / np.maximum(length, 1e-30), 0.0)
        acc = np.zeros_like(old)
        for k, (a, b, c) in enumerate(((p0, p1, p2), (p1, p2, p0), (p2, p0, p1))):
            e1, e2 = b - a, c - a
            cosang = np.sum(e1 * e2, axis=1) / np.maximum(
                np.linalg.norm(e1, axis=1) * np.linalg.norm(e2, axis=1), 1e-30)
            ang = np.arccos(np.clip(cosang, -1.0, 1.0))
            np.add.at(acc, tn[:, k], face * ang[:, None])
        n = np.linalg.norm(acc, axis=1, keepdims=True)
        new = np.where(n > 1e-12, acc / np.maximum(n, 1e-30), old)
        arr.text = " ".join("%.6g" % v for v in new.reshape(-1))


def fix_images(root, folder):
    """Image paths relative to the document: the file must lie next to it."""
    for img in root.iter(q("image")):
        init = img.find(q("init_from"))
        name = os.path.basename(init.text.replace("\\", "/"))
        if not os.path.isfile(os.path.join(folder, name)):
            raise FileNotFoundError("image %s is not next to the document in %s" % (name, folder))
        init.text = name


def check_inputs(root):
    """Refuses inputs other than VERTEX/NORMAL/TEXCOORD (the loader warns on them)."""
    for mesh in root.iter(q("mesh")):
        for prim in _primitives(mesh):
            for inp in prim.findall(q("input")):
                if inp.get("semantic") not in ("VERTEX", "NORMAL", "TEXCOORD"):
                    raise ValueError("input %s in %s: remove it in the generator"
                                     % (inp.get("semantic"), mesh))


def fix_asset(root):
    asset = root.find(q("asset"))
    for tag in ("created", "modified"):
        e = asset.find(q(tag))
        if e is not None:
            e.text = FIXED_DATE
    contrib = asset.find(q("contributor"))
    if contrib is not None:
        a = contrib.find(q("author"))
        if a is not None:
            a.text = "Vantrel asset generator (tools/assets)"


def strip_blender_extras(root):
    for parent in root.iter():
        for extra in parent.findall(q("extra")):
            techs = extra.findall(q("technique"))
            if techs and all(t.get("profile") == "blender" for t in techs):
                parent.remove(extra)


def fix(path, materials):
    ET.register_namespace("", NS)
    ET.register_namespace("xsi", XSI)
    tree = ET.parse(path)
    root = tree.getroot()
    fix_asset(root)
    fix_images(root, os.path.dirname(os.path.abspath(path)))
    fix_effects(root, materials)
    fix_texcoords(root)
    recompute_normals(root)
    check_inputs(root)
    strip_blender_extras(root)
    ET.indent(tree, space="  ")
    tree.write(path, encoding="utf-8", xml_declaration=True)
