"""Seeded, tileable noise for the texture and terrain generators (numpy only).

Every function takes an explicit numpy Generator so each asset is reproducible
from its own seed.
"""
import numpy as np


def fractal(rng, h, w, beta=2.0, lo=1.0, hi=None):
    """Periodic fractal noise of shape (h, w), normalised to 0..1.

    White noise shaped in the frequency domain by 1/f^(beta/2) amplitude, so the
    result tiles seamlessly in both directions. `lo`/`hi` limit the band in
    cycles per image (hi=None keeps everything up to Nyquist).
    """
    white = rng.standard_normal((h, w))
    fy = np.fft.fftfreq(h)[:, None] * h
    fx = np.fft.rfftfreq(w)[None, :] * w
    f = np.sqrt(fx * fx + fy * fy)
    amp = np.zeros_like(f)
    band = f >= lo
    if hi is not None:
        band &= f <= hi
    amp[band] = f[band] ** (-beta / 2.0)
    out = np.fft.irfft2(np.fft.rfft2(white) * amp, s=(h, w))
    return normalise(out)


def normalise(a):
    a = a - a.min()
    m = a.max()
    return a / m if m > 0 else a


def blur(a, radius):
    """Periodic box-ish blur (three box passes approximate a Gaussian)."""
    r = int(max(1, radius))
    out = a.astype(np.float64)
    for axis in (0, 1):
        for _ in range(3):
            acc = np.zeros_like(out)
            for k in range(-r, r + 1):
                acc += np.roll(out, k, axis=axis)
            out = acc / (2 * r + 1)
    return out


def worley(rng, h, w, cells, jitter=1.0):
    """Periodic cellular noise: distance to the nearest feature point (0..1)."""
    pts = []
    for cy in range(cells):
        for cx in range(cells):
            px = (cx + 0.5 + (rng.random() - 0.5) * jitter) / cells
            py = (cy + 0.5 + (rng.random() - 0.5) * jitter) / cells
            pts.append((px, py))
    pts = np.array(pts)
    yy, xx = np.mgrid[0:h, 0:w]
    u = (xx + 0.5) / w
    v = (yy + 0.5) / h
    best = np.full((h, w), 9.0)
    for px, py in pts:
        dx = np.abs(u - px)
        dx = np.minimum(dx, 1 - dx)
        dy = np.abs(v - py)
        dy = np.minimum(dy, 1 - dy)
        best = np.minimum(best, np.sqrt(dx * dx + dy * dy))
    return normalise(best)


def to_u8(rgb):
    return np.clip(np.rint(rgb * 255.0), 0, 255).astype(np.uint8)
