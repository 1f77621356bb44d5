#!/usr/bin/python3
"""Draws the HUD dials: gauges/rpm.png, gauges/tacho.png (km/h) and
gauges/tacho-mph.png (mph, the same arc) for each car.

Usage: gauges.py DATA_DIR [DIAL_FILE...]

The game draws a dial as a 100 x 100 quad and its needle from the centre
along +x, turned anticlockwise by the calibrated angle, 40 units long
(as the game draws it). So a value v sits on the ray at angle
    a(v) = a0 + v / vmax * (a1 - a0)   (degrees, anticlockwise from +x)
and the ticks are drawn on those rays, just outside the needle tip
(radius 0.8 of the dial). The image is 256 x 256 RGBA, transparent outside
the dial. FreeImage hands the rows to GL bottom-up, so an image that looks
right in a viewer (top row on top) is upright on screen.

CALIBRATION below is the table the data check (tests/data/check_data.py) reads
too, through `dial_spec()`.
"""
import math
import os
import sys

from PIL import Image, ImageDraw, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/liberation2"
SIZE = 256
SS = 4                      # supersampling factor
R_TICK_OUT = 0.94           # radii as fractions of the half size (128 px)
R_MAJOR_IN = 0.80
R_MINOR_IN = 0.87
R_NUMBER = 0.62

# car folder -> dial file -> (vmax, angle at 0, angle at vmax, major step,
#                             minor step, label step, label divisor, red from)
CALIBRATION = {
    "NissanSkyline": {
        "rpm.png": (9000, 215.0, 30.0, 1000, 250, 1000, 1000, 7500),
        "tacho.png": (320, 215.0, -35.0, 20, 10, 40, 1, None),
        "tacho-mph.png": (200, 215.0, -35.0, 25, 5, 25, 1, None),
    },
    "BugattiVeyron": {
        "rpm.png": (9000, 270.0, 0.0, 1000, 500, 1000, 1000, 6500),
        "tacho.png": (360, 270.0, 0.0, 30, 10, 60, 1, None),
        "tacho-mph.png": (240, 270.0, 0.0, 20, 10, 40, 1, None),
    },
    "VesperRS": {
        "rpm.png": (9000, 225.0, -45.0, 1000, 250, 1000, 1000, 7000),
        "tacho.png": (240, 225.0, -45.0, 20, 10, 40, 1, None),
        "tacho-mph.png": (150, 225.0, -45.0, 10, 5, 30, 1, None),
    },
}

STYLE = {
    # face, face edge, bezel, tick/number colour, red zone, accent
    "NissanSkyline": ((16, 16, 20), (40, 40, 48), (150, 150, 158), (245, 245, 245),
                      (225, 30, 30), (255, 160, 30)),
    "BugattiVeyron": ((226, 228, 232), (180, 184, 192), (70, 74, 84), (18, 20, 28),
                      (200, 20, 20), (30, 60, 150)),
    "VesperRS": ((30, 32, 38), (64, 66, 74), (190, 190, 196), (240, 240, 240),
                 (230, 40, 30), (250, 200, 40)),
}


def dial_spec(car, dial):
    """(vmax, angle0, angle1) of one dial, for the tests."""
    vmax, a0, a1 = CALIBRATION[car][dial][:3]
    return vmax, a0, a1


def angle_of(value, vmax, a0, a1):
    return a0 + value / vmax * (a1 - a0)


def draw_dial(car, dial, path):
    vmax, a0, a1, major, minor, label_step, divisor, red_from = CALIBRATION[car][dial]
    face, face_edge, bezel, ink, red, accent = STYLE[car]
    n = SIZE * SS
    c = n / 2.0
    half = n / 2.0
    img = Image.new("RGBA", (n, n), bezel + (0,))
    d = ImageDraw.Draw(img)

    def circle(r, fill):
        d.ellipse([c - r, c - r, c + r, c + r], fill=fill)

    def point(angle, r):
        a = math.radians(angle)
        return (c + r * math.cos(a), c - r * math.sin(a))   # image y grows down

    circle(half * 0.995, bezel + (255,))
    circle(half * 0.965, face_edge + (255,))
    circle(half * 0.95, face + (255,))

    # red zone as a thick arc band
    if red_from is not None:
        steps = 60
        for k in range(steps):
            v0 = red_from + (vmax - red_from) * k / steps
            v1 = red_from + (vmax - red_from) * (k + 1) / steps
            p = [point(angle_of(v0, vmax, a0, a1), half * R_MINOR_IN),
                 point(angle_of(v0, vmax, a0, a1), half * R_TICK_OUT),
                 point(angle_of(v1, vmax, a0, a1), half * R_TICK_OUT),
                 point(angle_of(v1, vmax, a0, a1), half * R_MINOR_IN)]
            d.polygon(p, fill=red + (255,))

    # ticks
    v = 0
    while v <= vmax + 1e-6:
        ang = angle_of(v, vmax, a0, a1)
        is_major = abs(v / major - round(v / major)) < 1e-6
        r_in = R_MAJOR_IN if is_major else R_MINOR_IN
        width = (3.2 if is_major else 1.6) * SS
        col = ink
        d.line([point(ang, half * r_in), point(ang, half * R_TICK_OUT)], fill=col + (255,), width=int(width))
        v += minor

    # numbers
    fnt = ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-Bold.ttf"), int(22 * SS))
    v = 0
    while v <= vmax + 1e-6:
        ang = angle_of(v, vmax, a0, a1)
        text = str(int(v // divisor))
        x, y = point(ang, half * R_NUMBER)
        tw = d.textlength(text, font=fnt)
        box = d.textbbox((0, 0), text, font=fnt)
        th = box[3] - box[1]
        d.text((x - tw / 2, y - th / 2 - box[1]), text, font=fnt,
               fill=(red if (red_from is not None and v >= red_from) else ink) + (255,))
        v += label_step

    # unit label and a small brand mark in the lower half
    small = ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-Bold.ttf"), int(13 * SS))
    unit = {"rpm.png": "x1000 r/min", "tacho.png": "km/h", "tacho-mph.png": "mph"}[dial]
    tw = d.textlength(unit, font=small)
    # car 1's dials leave the lower right quadrant free
    centred = car != "BugattiVeyron"
    uy = c + half * 0.30 if centred else c + half * 0.22
    ux = c - tw / 2 if centred else c + half * 0.16
    d.text((ux, uy), unit, font=small, fill=accent + (255,))
    brand = ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-BoldItalic.ttf"), int(11 * SS))
    tw = d.textlength("VANTREL", font=brand)
    by = c + half * 0.46 if centred else c + half * 0.40
    bx = c - tw / 2 if centred else c + half * 0.16
    d.text((bx, by), "VANTREL", font=brand, fill=ink + (150,))

    # hub under the needle
    circle(half * 0.09, bezel + (255,))
    circle(half * 0.05, (30, 30, 34, 255))

    out = img.resize((SIZE, SIZE), Image.LANCZOS)
    # transparent pixels keep the bezel colour so filtering shows no dark fringe
    px = out.load()
    for yy in range(SIZE):
        for xx in range(SIZE):
            r_, g_, b_, a_ = px[xx, yy]
            if a_ == 0:
                px[xx, yy] = bezel + (0,)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    out.save(path, optimize=True)
    print("  wrote", os.path.relpath(path), out.size)


def main():
    data = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "data")
    only = sys.argv[2:]  # dial files to draw, all when none are named
    for car, dials in CALIBRATION.items():
        for dial in dials:
            if not only or dial in only:
                draw_dial(car, dial, os.path.join(data, "cars", car, "gauges", dial))


if __name__ == "__main__":
    main()
