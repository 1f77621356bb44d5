#!/usr/bin/python3
"""Draws every texture image of Vantrel's models (not the dials or the sign).

Usage: textures.py DATA_DIR

Each image is drawn with numpy from seeded noise, so a rerun writes the same
files. The Blender scripts reference these files by name; they are written
straight into the folder of the model that uses them (COLLADA image paths are
relative to the document). Images are RGB (no alpha: the renderer blends with
alpha whenever transparency is on, so opaque surfaces carry none) and have
power-of-two sizes.
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib"))
import noise  # noqa: E402

FONT_DIR = "/usr/share/fonts/truetype/liberation2"


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def save(img, path, quality=88):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if isinstance(img, np.ndarray):
        img = Image.fromarray(noise.to_u8(img), "RGB")
    img = img.convert("RGB")
    if path.endswith(".jpg"):
        img.save(path, quality=quality, optimize=True)
    else:
        img.save(path, optimize=True)
    print("  wrote", os.path.relpath(path), img.size)


def mix(a, b, t):
    t = np.asarray(t)[..., None] if np.ndim(t) == 2 else t
    return np.asarray(a) * (1 - t) + np.asarray(b) * t


def colour_field(t, stops):
    """Maps a 0..1 field through a piecewise-linear colour ramp."""
    xs = [s[0] for s in stops]
    out = np.zeros(t.shape + (3,))
    for c in range(3):
        out[..., c] = np.interp(t, xs, [s[1][c] for s in stops])
    return out


# --------------------------------------------------------------------- track
GRASS_RAMP = [(0.0, (0.16, 0.27, 0.07)), (0.35, (0.25, 0.40, 0.11)), (0.6, (0.33, 0.48, 0.15)),
              (0.85, (0.45, 0.55, 0.22)), (1.0, (0.55, 0.58, 0.30))]
# the pasture patches: a lusher, darker green
MEADOW_RAMP = [(0.0, (0.14, 0.25, 0.06)), (0.35, (0.22, 0.37, 0.10)), (0.6, (0.29, 0.44, 0.13)),
               (0.85, (0.40, 0.51, 0.20)), (1.0, (0.50, 0.55, 0.27))]


def grass(path, seed=101, ramp=GRASS_RAMP):
    """Meadow grass, tiles every 32 m (1024 px)."""
    rng = np.random.default_rng(seed)
    n = 1024
    macro = noise.fractal(rng, n, n, beta=2.6, lo=1, hi=24)
    mid = noise.fractal(rng, n, n, beta=1.6, lo=8, hi=160)
    fine = noise.fractal(rng, n, n, beta=0.6, lo=100)
    # short grass blades: noise stretched along a few directions
    blades = np.zeros((n, n))
    for k in range(3):
        b = rng.random((n // 2, n // 8))
        b = np.array(Image.fromarray(noise.to_u8(np.dstack([b] * 3))).resize((n, n), Image.BICUBIC))[..., 0] / 255.0
        blades += np.roll(np.rot90(b, k), k * 97, axis=0)
    blades = noise.normalise(blades)
    # little variation at the tile's own scale (32 m): it would show the tiling
    t = 0.18 * macro + 0.42 * mid + 0.25 * fine + 0.15 * blades
    t = noise.normalise(t)
    rgb = colour_field(t, ramp)
    # a few clover / flower specks
    specks = (rng.random((n, n)) > 0.9993).astype(float)
    specks = np.clip(noise.blur(specks, 1) * 30, 0, 1)
    rgb = mix(rgb, (0.80, 0.80, 0.55), specks * 0.3)
    save(rgb, path)


def asphalt(rng, h, w):
    """Grey asphalt grain, 0..1 rgb."""
    grain = noise.fractal(rng, h, w, beta=0.3, lo=40)
    blotch = noise.fractal(rng, h, w, beta=2.2, lo=1, hi=20)
    stones = (rng.random((h, w)) > 0.985).astype(float) * rng.random((h, w))
    t = 0.55 * grain + 0.35 * blotch + 0.25 * stones
    g = 0.27 + 0.16 * (t - 0.5)
    rgb = np.dstack([g, g * 1.0, g * 1.03])
    return rgb


def road(path, seed=202, centre="dashed", centre_colour=(0.86, 0.86, 0.84), patches=0.0):
    """Asphalt with markings. u: across the 11 m road, v: along, 22 m a tile.

    Left half (u 0..0.5): the normal road. Right half (u 0.5..1): the same
    road with the chequered start line across it at v = 0.5. centre:
    "dashed" (6 m dash, 5 m gap) or "double" (two solid lines, no
    overtaking); patches: how much of the road is darker repaired asphalt.
    """
    rng = np.random.default_rng(seed)
    h, w = 1024, 1024
    half = w // 2
    px_per_m = half / 11.0
    base = asphalt(rng, h, half)
    ys = (np.arange(h) + 0.5) / h * 22.0          # metres along, image top = v 1
    along = 22.0 - ys                              # metres along with v up
    xs = (np.arange(half) + 0.5) / px_per_m        # metres across, 0..11
    X, A = np.meshgrid(xs, along)
    wear = noise.fractal(rng, h, half, beta=1.2, lo=6)
    paint = np.zeros((h, half))
    # edge lines: 0.2 m wide, 0.3 m in from each edge
    paint[(X > 0.3) & (X < 0.5)] = 1
    paint[(X > 11 - 0.5) & (X < 11 - 0.3)] = 1
    centre_paint = np.zeros((h, half))
    if centre == "dashed":
        # 6 m dash, 5 m gap, period 11 m
        dash = ((A % 11.0) > 2.5) & ((A % 11.0) < 8.5)
        centre_paint[(np.abs(X - 5.5) < 0.08) & dash] = 1
    else:
        centre_paint[np.abs(np.abs(X - 5.5) - 0.15) < 0.06] = 1
    # darker, polished wheel tracks
    tracks = np.zeros_like(X)
    for c in (1.9, 3.6, 7.4, 9.1):
        tracks += np.exp(-((X - c) / 0.45) ** 2)
    normal = base * (1 - 0.10 * tracks[..., None])
    if patches > 0:
        # repaired stretches: darker, smoother rectangles across a lane
        patch = noise.fractal(rng, h, half, beta=2.4, lo=1, hi=8)
        lane = np.where(X < 5.5, 1.0, 0.0) if seed % 2 else np.where(X >= 5.5, 1.0, 0.0)
        normal = normal * (1 - 0.22 * ((patch > 1 - patches) * lane)[..., None])
    paint_mask = paint * (0.75 + 0.25 * wear)
    normal = mix(normal, (0.86, 0.86, 0.84), paint_mask)
    if centre_paint.any():
        normal = mix(normal, centre_colour, centre_paint * (0.75 + 0.25 * wear))

    start = normal.copy()
    band = np.abs(A - 11.0) < 1.0                  # 2 m band at v = 0.5
    checker = ((np.floor(X / 0.5) + np.floor((A - 10.0) / 0.5)) % 2) == 0
    # no centre dashes inside the band region
    start = np.where(band[..., None], base, start)
    white = band & checker
    black = band & ~checker
    start = np.where(white[..., None], mix(base, (0.9, 0.9, 0.88), 0.85 + 0.15 * wear)[..., :], start)
    start = np.where(black[..., None], base * 0.35, start)
    rgb = np.concatenate([normal, start], axis=1)
    save(rgb, path)


def verge(path, seed=303):
    """Gravel and dry grass of the road shoulder; u across 2 m, v 8 m."""
    rng = np.random.default_rng(seed)
    h, w = 512, 256
    gravel = noise.fractal(rng, h, w, beta=0.4, lo=30)
    pebbles = noise.worley(rng, h, w, 40)
    patch = noise.fractal(rng, h, w, beta=2.0, lo=1, hi=16)
    t = 0.5 * gravel + 0.5 * (1 - pebbles)
    rgb = colour_field(t, [(0.0, (0.30, 0.28, 0.24)), (0.5, (0.47, 0.44, 0.38)),
                           (1.0, (0.62, 0.59, 0.52))])
    # grass creeping in on the outer side (u -> 1)
    u = np.linspace(0, 1, w)[None, :]
    g = np.clip((u - 0.45) * 2.2 + (patch - 0.5) * 1.2, 0, 1)
    grassc = colour_field(noise.fractal(rng, h, w, beta=0.8, lo=20),
                          [(0, (0.20, 0.30, 0.08)), (1, (0.40, 0.48, 0.18))])
    rgb = mix(rgb, grassc, g)
    save(rgb, path)


ROCK_RAMP = [(0.0, (0.30, 0.29, 0.27)), (0.5, (0.48, 0.46, 0.42)), (1.0, (0.64, 0.62, 0.57))]
# granite: cooler and greyer
GRANITE_RAMP = [(0.0, (0.30, 0.30, 0.31)), (0.5, (0.50, 0.50, 0.50)), (1.0, (0.70, 0.69, 0.67))]


def rock(path, seed=404, ramp=ROCK_RAMP, moss=0.7):
    rng = np.random.default_rng(seed)
    n = 512
    ridge = noise.fractal(rng, n, n, beta=2.0, lo=3, hi=60)
    crack = np.clip(1 - np.abs(ridge - 0.5) * 30, 0, 1) * 0.6
    layers = noise.fractal(rng, n, n, beta=2.4, lo=1, hi=64)
    grain = noise.fractal(rng, n, n, beta=0.5, lo=60)
    t = 0.55 * layers + 0.3 * grain + 0.15 * noise.fractal(rng, n, n, beta=1.5, lo=4)
    rgb = colour_field(t, ramp)
    green = np.clip((noise.fractal(rng, n, n, beta=2.0, lo=2, hi=40) - 0.6) * 3, 0, 1)
    rgb = mix(rgb, (0.28, 0.36, 0.14), green * moss)
    rgb = rgb * (1 - 0.5 * crack[..., None])
    save(rgb, path)


def tree_atlas(path):
    """Trees share one texture so each tree is one draw: u 0..0.25 bark,
    0.25..0.625 pine needles, 0.625..1 broadleaf foliage (512 x 512)."""
    rng = np.random.default_rng(515)
    n = 512
    out = np.zeros((n, n, 3))
    # bark: vertical streaks
    streak = noise.fractal(rng, n // 8, n // 4, beta=1.2, lo=2)
    streak = np.array(Image.fromarray((streak * 255).astype(np.uint8)).resize((n // 4, n), Image.BICUBIC)) / 255.0
    t = 0.7 * streak + 0.3 * noise.fractal(rng, n, n // 4, beta=0.6, lo=20)
    out[:, :n // 4] = colour_field(t, [(0, (0.16, 0.11, 0.07)), (0.6, (0.33, 0.25, 0.17)), (1, (0.45, 0.37, 0.27))])
    w = n * 3 // 8
    for x0, seed, dark, light, clumps in ((n // 4, 516, (0.05, 0.16, 0.08), (0.16, 0.33, 0.16), 14),
                                          (n // 4 + w, 517, (0.12, 0.26, 0.06), (0.38, 0.55, 0.16), 12)):
        r2 = np.random.default_rng(seed)
        cells = noise.worley(r2, n, n, clumps)
        fine = noise.fractal(r2, n, n, beta=0.5, lo=30)
        t = noise.normalise(0.55 * (1 - cells) + 0.45 * fine)
        out[:, x0:x0 + w] = colour_field(t, [(0, dark), (0.55, mix(dark, light, 0.6)), (1, light)])[:, :w]
    save(out, path)


def scree(path, seed=405):
    """Grass broken by stones: the band between meadow and bare rock."""
    rng = np.random.default_rng(seed)
    n = 512
    g = noise.fractal(rng, n, n, beta=1.0, lo=8)
    grass_c = colour_field(g, [(0, (0.22, 0.33, 0.10)), (1, (0.42, 0.50, 0.22))])
    r = noise.fractal(rng, n, n, beta=0.8, lo=10)
    rock_c = colour_field(r, [(0, (0.36, 0.35, 0.32)), (1, (0.62, 0.60, 0.55))])
    m = np.clip((noise.fractal(rng, n, n, beta=1.6, lo=4) - 0.45) * 5, 0, 1)
    save(mix(grass_c, rock_c, m), path)


def wood(path, seed=606):
    rng = np.random.default_rng(seed)
    h, w = 256, 256
    ring = noise.fractal(rng, h, w // 16, beta=1.4, lo=1)
    ring = np.array(Image.fromarray((ring * 255).astype(np.uint8)).resize((w, h), Image.BICUBIC)) / 255.0
    t = 0.5 + 0.5 * np.sin(ring * 40)
    t = 0.6 * t + 0.4 * noise.fractal(rng, h, w, beta=0.7, lo=20)
    rgb = colour_field(t, [(0, (0.34, 0.25, 0.16)), (1, (0.58, 0.47, 0.34))])
    save(rgb.transpose(1, 0, 2), path)


BANNER_COLOURS = [((200, 20, 24), (255, 255, 255))] + [((250, 190, 20), (25, 25, 30))] * 5 + \
    [((20, 60, 140), (255, 255, 255))]


def banners(path, name="VANTREL", colours=BANNER_COLOURS):
    """Gate banners, one 512 x 64 row each, top to bottom:

    row 0: "START / FINISH", rows 1-5: "CHECKPOINT 1" to "CHECKPOINT 5",
    row 6: `name`, row 7: red/white chequer for posts. colours: (background,
    text) of rows 0-6.
    """
    w, h = 512, 512
    img = Image.new("RGB", (w, h), (30, 30, 34))
    d = ImageDraw.Draw(img)
    f = font("LiberationSans-BoldItalic.ttf", 40)
    texts = ["START  /  FINISH"] + ["CHECKPOINT %d" % i for i in range(1, 6)] + [name]
    for row, (text, (bg, fg)) in enumerate(zip(texts, colours)):
        y0 = row * 64
        d.rectangle([0, y0, w, y0 + 63], fill=bg)
        d.rectangle([0, y0, w, y0 + 5], fill=(240, 240, 240))
        d.rectangle([0, y0 + 58, w, y0 + 63], fill=(240, 240, 240))
        tw = d.textlength(text, font=f)
        d.text(((w - tw) / 2, y0 + 9), text, font=f, fill=fg)
    for i in range(16):
        for j in range(2):
            c = (220, 20, 20) if (i + j) % 2 == 0 else (245, 245, 245)
            d.rectangle([i * 32, 448 + j * 32, i * 32 + 31, 448 + j * 32 + 31], fill=c)
    save(img, path)


# ---------------------------------------------------------------------- sky
DAY_SKY = dict(zenith=(0.20, 0.40, 0.78), mid=(0.42, 0.62, 0.90), horizon=(0.80, 0.87, 0.95),
               below=(0.70, 0.76, 0.80), sun=(35.0, 65.0), glow=(1.0, 0.95, 0.8), glow_width=9.0,
               cloud=((0.98, 0.98, 0.99), (0.70, 0.74, 0.80)), warm=None)
# a low sun in the west (azimuth 180: -x), a golden horizon round it, a
# deepening zenith and clouds lit from below
EVENING_SKY = dict(zenith=(0.16, 0.22, 0.45), mid=(0.42, 0.45, 0.66), horizon=(0.86, 0.70, 0.62),
                   below=(0.45, 0.40, 0.42), sun=(180.0, 12.0), glow=(1.0, 0.72, 0.38), glow_width=16.0,
                   cloud=((1.0, 0.80, 0.62), (0.46, 0.40, 0.50)), warm=((1.0, 0.62, 0.30), 55.0))


def sky(path, seed=707, look=DAY_SKY):
    """The sky dome's texture in an azimuthal mapping.

    Texture centre = zenith; radius 0.5 = 20 degrees below the horizon;
    r = (90 - elevation) / 110 * 0.5 (u along +x, v along +y). Clouds are a
    noise layer at a fixed height seen in perspective, so they thin out and
    flatten to the horizon. `look`: the colours and the sun (azimuth from
    +x, elevation, degrees).
    """
    rng = np.random.default_rng(seed)
    n = 2048
    cl = 1024
    base = noise.fractal(rng, cl, cl, beta=3.2, lo=2, hi=48)
    detail = noise.fractal(rng, cl, cl, beta=1.6, lo=12, hi=200)
    cloud_field = 0.8 * base + 0.2 * detail

    jj, ii = np.meshgrid(np.arange(n), np.arange(n))
    u = (jj + 0.5) / n - 0.5
    v = 0.5 - (ii + 0.5) / n
    r = np.sqrt(u * u + v * v)
    az = np.arctan2(v, u)
    elev = 90.0 - r / 0.5 * 110.0                      # degrees
    e = np.radians(np.clip(elev, 0.3, 90))

    # sky gradient by elevation
    t = np.clip(elev / 90.0, -1, 1)
    zen = np.array(look["zenith"])
    mid = np.array(look["mid"])
    hor = np.array(look["horizon"])
    g = np.clip(t, 0, 1) ** 0.45
    sun_az, sun_el = np.radians(look["sun"][0]), np.radians(look["sun"][1])
    if look["warm"] is not None:
        # the horizon glows towards the sun
        colour, width = look["warm"]
        off = np.degrees(np.abs(np.angle(np.exp(1j * (az - sun_az)))))
        heat = np.exp(-off / width) * np.clip(1 - np.clip(elev, 0, 90) / 35.0, 0, 1)
        hor = mix(hor, np.array(colour), heat[..., None])
    rgb = mix(mix(hor, mid, np.clip(g * 2, 0, 1)), zen, np.clip(g * 2 - 1, 0, 1))
    below = np.clip(-elev / 6.0, 0, 1)
    rgb = mix(rgb, look["below"], below)

    # clouds on a plane 1 unit up, sampled from the tileable field
    dist = np.cos(e) / np.sin(e)
    px = dist * np.cos(az) * 0.16
    py = dist * np.sin(az) * 0.16
    fx = (px % 1.0) * cl
    fy = (py % 1.0) * cl
    x0 = np.floor(fx).astype(int) % cl
    y0 = np.floor(fy).astype(int) % cl
    x1 = (x0 + 1) % cl
    y1 = (y0 + 1) % cl
    ax = fx - np.floor(fx)
    ay = fy - np.floor(fy)
    c = (cloud_field[y0, x0] * (1 - ax) * (1 - ay) + cloud_field[y0, x1] * ax * (1 - ay)
         + cloud_field[y1, x0] * (1 - ax) * ay + cloud_field[y1, x1] * ax * ay)
    cover = np.clip((c - 0.50) * 3.0, 0, 1) ** 0.8
    # soften the far clouds into the haze
    fade = np.clip((elev - 1.0) / 10.0, 0, 1) * np.clip(1.2 - dist / 14.0, 0, 1)
    cover *= fade
    shade = np.clip((c - 0.55) * 2.5, 0, 1)
    cloud_col = mix(np.array(look["cloud"][0]), np.array(look["cloud"][1]), shade[..., None] ** 1.5)
    rgb = mix(rgb, cloud_col, cover)

    # the sun and its glow
    cosang = (np.cos(e) * np.cos(sun_el) * np.cos(az - sun_az) + np.sin(e) * np.sin(sun_el))
    ang = np.degrees(np.arccos(np.clip(cosang, -1, 1)))
    glow = np.exp(-ang / look["glow_width"]) * 0.45 + np.clip(1.6 - ang, 0, 1)
    rgb = rgb + glow[..., None] * np.array(look["glow"])
    rgb = np.where((r > 0.5)[..., None], np.array(look["below"]), rgb)
    save(np.clip(rgb, 0, 1), path, quality=90)


# ------------------------------------------------------------------ show room
def showroom(folder):
    rng = np.random.default_rng(808)
    # floor: polished dark tiles, 4 x 4 tiles per image (1 m tiles)
    n = 1024
    marble = noise.fractal(rng, n, n, beta=2.0, lo=2)
    veins = np.abs(np.sin(noise.fractal(rng, n, n, beta=2.4, lo=2) * 30))
    t = 0.7 * marble + 0.3 * (1 - veins ** 0.3)
    rgb = colour_field(t, [(0, (0.10, 0.10, 0.11)), (0.6, (0.20, 0.20, 0.22)), (1, (0.36, 0.36, 0.38))])
    jj, ii = np.meshgrid(np.arange(n), np.arange(n))
    grout = ((jj % 256) < 3) | ((ii % 256) < 3)
    rgb[grout] = (0.55, 0.55, 0.56)
    save(rgb, os.path.join(folder, "floor.jpg"))
    # walls: light panels with shadow gaps, 2 m panel = 512 px
    h, w = 512, 512
    plaster = noise.fractal(rng, h, w, beta=1.4, lo=4)
    g = 0.78 + 0.05 * (plaster - 0.5)
    rgb = np.dstack([g, g, g * 1.02])
    jj, ii = np.meshgrid(np.arange(w), np.arange(h))
    gap = ((jj % 256) < 4) | (ii < 4)
    rgb[gap] = (0.35, 0.35, 0.37)
    save(rgb, os.path.join(folder, "wall.jpg"))
    # brushed metal of the turntable: concentric brushing
    n = 512
    yy, xx = np.mgrid[0:n, 0:n]
    rad = np.hypot(xx - n / 2 + 0.5, yy - n / 2 + 0.5)
    ring = noise.fractal(rng, 1, 4096, beta=0.8, lo=20)[0]
    brushed = ring[np.clip((rad * 8).astype(int), 0, 4095)]
    g = 0.62 + 0.18 * (brushed - 0.5)
    rgb = np.dstack([g, g, g * 1.03])
    for rr in (150, 230):
        rgb[np.abs(rad - rr) < 2] *= 0.55
    save(rgb, os.path.join(folder, "turntable.jpg"))


# ----------------------------------------------------------------------- cars
def tyre(path):
    """Tyre map: v 0..0.3 inner sidewall, 0.3..0.7 tread, 0.7..1 outer sidewall;
    u runs round the tyre 4 times."""
    rng = np.random.default_rng(909)
    h, w = 512, 512
    img = np.full((h, w, 3), 0.09)
    grain = noise.fractal(rng, h, w, beta=0.6, lo=40)
    img += (grain[..., None] - 0.5) * 0.03
    v = 1 - (np.arange(h) + 0.5) / h
    u = (np.arange(w) + 0.5) / w
    U, V = np.meshgrid(u, v)
    tread = (V > 0.3) & (V < 0.7)
    # circumferential grooves and diagonal sipes
    grooves = (np.abs(V - 0.42) < 0.012) | (np.abs(V - 0.58) < 0.012)
    sipes = (((U * 40 + np.abs(V - 0.5) * 8) % 1.0) < 0.12) & tread & (np.abs(V - 0.5) > 0.1)
    img[tread] = 0.12
    img[grooves] = 0.03
    img[sipes] = 0.05
    pil = Image.fromarray(noise.to_u8(img))
    d = ImageDraw.Draw(pil)
    f = font("LiberationSans-Bold.ttf", 30)
    for y0 in (int(h * 0.05), int(h * 0.78)):
        for k in range(2):
            d.text((k * 256 + 30, y0), "VANTREL  R", font=f, fill=(95, 95, 98))
    save(pil, path)


def car_details(path, style):
    """512 x 512 atlas of a car's lamps, grille, plate and badge.

    Cells (u0, v0, u1, v1): headlight (0, .5, .5, 1), tail light (.5, .5, 1, 1),
    grille (0, .25, .5, .5), plate (0, 0, .5, .25), badge (.5, 0, 1, .5).
    """
    n = 512
    img = Image.new("RGB", (n, n), (20, 20, 22))
    d = ImageDraw.Draw(img)

    def cell(u0, v0, u1, v1):
        return (int(u0 * n), int((1 - v1) * n), int(u1 * n) - 1, int((1 - v0) * n) - 1)

    # headlight: chrome reflector, projector lenses
    x0, y0, x1, y1 = cell(0, 0.5, 0.5, 1)
    for i in range(40):
        c = int(120 + 120 * i / 40)
        d.rectangle([x0 + i, y0 + i, x1 - i, y1 - i], fill=(c, c, min(255, c + 8)))
    if style == "hatch":
        # a square lamp: a big main reflector and a small fog lamp
        for cx, r0 in ((x0 + 92, 64), (x0 + 196, 34)):
            for r, col in ((r0 + 8, (60, 60, 66)), (r0, (210, 215, 225)), (r0 // 2, (255, 255, 250))):
                d.ellipse([cx - r, y0 + 120 - r, cx + r, y0 + 120 + r], fill=col)
        d.rectangle([x0 + 10, y0 + 215, x1 - 10, y0 + 235], fill=(240, 150, 30))
    elif style == "skyline":
        for cx in (x0 + 70, x0 + 180):
            for r, col in ((52, (60, 60, 66)), (44, (210, 215, 225)), (26, (255, 255, 250))):
                d.ellipse([cx - r, y0 + 128 - r, cx + r, y0 + 128 + r], fill=col)
        d.rectangle([x0 + 10, y0 + 215, x1 - 10, y0 + 235], fill=(240, 150, 30))
    else:
        # a dark lens in a chrome rim, four LED projectors and a light strip
        d.rectangle([x0, y0, x1, y1], fill=(175, 178, 186))
        d.rectangle([x0 + 14, y0 + 14, x1 - 14, y1 - 14], fill=(34, 38, 46))
        for k in range(4):
            cx = x0 + 50 + k * 52
            for r, col in ((22, (90, 94, 104)), (16, (225, 232, 245)), (7, (255, 255, 255))):
                d.ellipse([cx - r, y0 + 120 - r, cx + r, y0 + 120 + r], fill=col)
        d.rectangle([x0 + 30, y0 + 178, x1 - 30, y0 + 186], fill=(230, 238, 255))

    # tail light
    x0, y0, x1, y1 = cell(0.5, 0.5, 1, 1)
    d.rectangle([x0, y0, x1, y1], fill=(70, 5, 5))
    if style == "hatch":
        # three stacked bands: red, amber, red
        for k, col in enumerate(((225, 30, 25), (240, 140, 30), (200, 20, 20))):
            d.rectangle([x0 + 16, y0 + 30 + k * 66, x1 - 16, y0 + 86 + k * 66], fill=col)
    elif style == "skyline":
        for cx in (x0 + 68, x0 + 188):
            for r, col in ((60, (40, 40, 44)), (54, (150, 10, 10)), (40, (235, 35, 30)),
                           (24, (255, 110, 90)), (10, (250, 240, 235))):
                d.ellipse([cx - r, y0 + 128 - r, cx + r, y0 + 128 + r], fill=col)
    else:
        for i in range(30):
            c = 120 + int(130 * (1 - abs(i - 15) / 15))
            d.rectangle([x0, y0 + 98 + i * 2, x1, y0 + 99 + i * 2], fill=(c, 15, 12))
        d.rectangle([x0, y0 + 60, x1, y0 + 66], fill=(200, 200, 205))
        d.rectangle([x0, y0 + 190, x1, y0 + 196], fill=(200, 200, 205))

    # grille
    x0, y0, x1, y1 = cell(0, 0.25, 0.5, 0.5)
    d.rectangle([x0, y0, x1, y1], fill=(10, 10, 12))
    if style in ("skyline", "hatch"):
        for yy in range(y0 + 6, y1, 16):
            d.rectangle([x0 + 4, yy, x1 - 4, yy + 5], fill=(55, 55, 60))
    else:
        for yy in range(y0, y1, 10):
            for xx in range(x0 + (yy // 10 % 2) * 5, x1, 10):
                d.ellipse([xx, yy, xx + 6, yy + 6], fill=(70, 70, 78))
        d.rectangle([x0, y0, x1, y0 + 8], fill=(215, 215, 222))
        d.rectangle([x0, y1 - 8, x1, y1], fill=(215, 215, 222))

    # licence plate
    x0, y0, x1, y1 = cell(0, 0, 0.5, 0.25)
    d.rectangle([x0, y0, x1, y1], fill=(240, 240, 235))
    d.rectangle([x0 + 4, y0 + 4, x1 - 4, y1 - 4], outline=(20, 20, 20), width=4)
    f = font("LiberationSans-Bold.ttf", 54)
    text = {"skyline": "VTR 034", "veyron": "VTR 164", "hatch": "VTR 205"}[style]
    tw = d.textlength(text, font=f)
    d.text((x0 + (256 - tw) / 2, y0 + 30), text, font=f, fill=(15, 15, 20))

    # badge
    x0, y0, x1, y1 = cell(0.5, 0, 1, 0.5)
    d.rectangle([x0, y0, x1, y1], fill=(190, 190, 196))
    f = font("LiberationSans-BoldItalic.ttf", 44)
    label = {"skyline": "GT-R", "veyron": "16.4", "hatch": "RS"}[style]
    tw = d.textlength(label, font=f)
    d.text((x0 + (256 - tw) / 2, y0 + 100), label, font=f,
           fill=(20, 30, 90) if style == "veyron" else (180, 20, 20))
    save(img, path)


# alpine grass: drier and yellower; the meadows a deep green
ALPINE_RAMP = [(0.0, (0.20, 0.26, 0.08)), (0.35, (0.31, 0.38, 0.13)), (0.6, (0.41, 0.46, 0.19)),
               (0.85, (0.53, 0.53, 0.27)), (1.0, (0.62, 0.58, 0.36))]
ALPINE_MEADOW_RAMP = [(0.0, (0.10, 0.22, 0.07)), (0.35, (0.17, 0.32, 0.10)), (0.6, (0.24, 0.40, 0.13)),
                      (0.85, (0.34, 0.47, 0.19)), (1.0, (0.44, 0.52, 0.26))]


def kestrel_pass(folder):
    """KestrelPass: its own seeds and colours, a worn mountain road with a
    double centre line, banners with its name and the evening sky."""
    j = lambda n: os.path.join(folder, n)  # noqa: E731
    grass(j("grass.jpg"), seed=111, ramp=ALPINE_RAMP)
    grass(j("meadow.jpg"), seed=112, ramp=ALPINE_MEADOW_RAMP)
    road(j("road.jpg"), seed=213, centre="double", centre_colour=(0.88, 0.78, 0.36), patches=0.3)
    verge(j("verge.jpg"), seed=313)
    rock(j("rock.jpg"), seed=414, ramp=GRANITE_RAMP, moss=0.35)
    tree_atlas(j("trees.jpg"))
    scree(j("scree.jpg"), seed=415)
    wood(j("wood.jpg"), seed=616)
    banners(j("banners.png"), name="KESTREL  PASS",
            colours=[((30, 40, 60), (255, 200, 90))] + [((235, 110, 30), (255, 255, 255))] * 5 +
            [((30, 40, 60), (255, 200, 90))])
    sky(j("sky.jpg"), seed=717, look=EVENING_SKY)


def main():
    data = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "data")
    track = os.path.join(data, "tracks", "GreenValley")
    grass(os.path.join(track, "grass.jpg"))
    grass(os.path.join(track, "meadow.jpg"), seed=102, ramp=MEADOW_RAMP)
    road(os.path.join(track, "road.jpg"))
    verge(os.path.join(track, "verge.jpg"))
    rock(os.path.join(track, "rock.jpg"))
    tree_atlas(os.path.join(track, "trees.jpg"))
    scree(os.path.join(track, "scree.jpg"))
    wood(os.path.join(track, "wood.jpg"))
    banners(os.path.join(track, "banners.png"))
    sky(os.path.join(data, "models", "SkyDome", "sky.jpg"))
    kestrel_pass(os.path.join(data, "tracks", "KestrelPass"))
    showroom(os.path.join(data, "models", "ShowRoom"))
    for car, style in (("NissanSkyline", "skyline"), ("BugattiVeyron", "veyron"), ("VesperRS", "hatch")):
        folder = os.path.join(data, "cars", car)
        tyre(os.path.join(folder, "tyre.jpg"))
        car_details(os.path.join(folder, "details.png"), style)


if __name__ == "__main__":
    main()
