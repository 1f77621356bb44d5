#!/usr/bin/python3
"""Draws the show room's sign, models/ShowRoom/Sign-Vantrel.jpg.

Usage: sign.py DATA_DIR

The game shows the sign as a 300 x 200 quad, so the logo is drawn
at 3:2 (768 x 512) and squeezed into a 512 x 512 image: on screen it is
stretched back to its drawn proportions. The same file is the logo panel on
the show room's back wall (mapped onto a 3 x 2 m panel).
"""
import os
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/liberation2"


def draw_sign():
    w, h = 768, 512
    yy, xx = np.mgrid[0:h, 0:w]
    # dark blue-black plate with a soft diagonal sheen
    t = (xx / w * 0.6 + (1 - yy / h) * 0.4)
    base = np.dstack([0.05 + 0.08 * t, 0.07 + 0.10 * t, 0.12 + 0.16 * t])
    sheen = np.exp(-((xx - yy * 0.8 - 260) / 90.0) ** 2) * 0.10
    base += sheen[..., None]
    # fine speed lines
    rng = np.random.default_rng(4242)
    lines = np.zeros((h, w))
    for _ in range(40):
        y0 = rng.integers(40, h - 40)
        x0 = rng.integers(-200, w)
        length = rng.integers(80, 300)
        seg = (yy == y0) & (xx >= x0) & (xx < x0 + length)
        lines[seg] = rng.uniform(0.15, 0.45)
    base += lines[..., None] * np.array([0.35, 0.5, 0.8])
    img = Image.fromarray(np.clip(base * 255, 0, 255).astype(np.uint8), "RGB").convert("RGBA")

    # logo text with a chrome gradient, red swoosh beneath
    font = ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-BoldItalic.ttf"), 150)
    text = "Vantrel"
    mask = Image.new("L", (w, h), 0)
    md = ImageDraw.Draw(mask)
    box = md.textbbox((0, 0), text, font=font)
    tw, th = box[2] - box[0], box[3] - box[1]
    tx, ty = (w - tw) / 2 - box[0], 150 - box[1]
    md.text((tx, ty), text, font=font, fill=255)
    grad = np.zeros((h, w, 3))
    rel = np.clip((yy - ty - box[1]) / max(th, 1), 0, 1)
    chrome = np.interp(rel, [0, 0.45, 0.5, 0.62, 1], [0.98, 0.80, 0.45, 0.70, 0.95])
    grad[..., 0] = chrome * 0.97
    grad[..., 1] = chrome * 0.98
    grad[..., 2] = chrome
    chrome_img = Image.fromarray((grad * 255).astype(np.uint8), "RGB").convert("RGBA")
    shadow = mask.filter(ImageFilter.GaussianBlur(8))
    dark = Image.new("RGBA", (w, h), (0, 0, 0, 255))
    img = Image.composite(dark, img, shadow.point(lambda v: int(v * 0.8)))
    outline = mask.filter(ImageFilter.MaxFilter(7))
    img = Image.composite(Image.new("RGBA", (w, h), (200, 25, 30, 255)), img, outline)
    img = Image.composite(chrome_img, img, mask)

    d = ImageDraw.Draw(img)
    # swoosh: a tapered red band under the word
    pts = []
    for i in range(0, 101):
        s = i / 100
        x = 90 + s * 600
        y = 370 - 40 * np.sin(s * np.pi) * 0.6 + s * 10
        pts.append((x, y))
    for i in range(100, -1, -1):
        s = i / 100
        x = 90 + s * 600
        thick = 3 + 16 * np.sin(s * np.pi) ** 1.5
        y = 370 - 40 * np.sin(s * np.pi) * 0.6 + s * 10 + thick
        pts.append((x, y))
    d.polygon(pts, fill=(215, 30, 35, 255))
    small = ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-Bold.ttf"), 34)
    sub = "D R I V E   T H E   V A L L E Y"
    sw = d.textlength(sub, font=small)
    d.text(((w - sw) / 2, 420), sub, font=small, fill=(200, 210, 225, 255))
    # thin frame
    d.rectangle([6, 6, w - 7, h - 7], outline=(150, 160, 175, 255), width=3)
    return img.convert("RGB").resize((512, 512), Image.LANCZOS)


def main():
    data = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "data")
    path = os.path.join(data, "models", "ShowRoom", "Sign-Vantrel.jpg")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    draw_sign().save(path, quality=92, optimize=True)
    print("  wrote", os.path.relpath(path))


if __name__ == "__main__":
    main()
