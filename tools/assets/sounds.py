#!/usr/bin/python3
"""Synthesises the race's sound effects into DATA_DIR/sounds/ as WAV files.

Usage: sounds.py DATA_DIR

All four are 16-bit mono at 44.1 kHz, made in numpy from a fixed seed, so a
run writes the same bytes every time.

engine-idle.wav, engine-load.wav
    An engine at BASE_RPM, a four-stroke four-cylinder: two firings per
    turn of the crank, 100 Hz, the strongest line, over a half-order rumble
    at 50 Hz and a falling series of harmonics. "idle" is the throttle
    closed, "load" the throttle open: brighter, louder harmonics and more
    exhaust noise. Each is 0.5 s, a whole number of periods of every part
    (the noise too is made circularly, in the frequency domain), so the
    game loops them without a seam and plays them at rpm / BASE_RPM.
squeal.wav
    Tyres sliding: narrow bands of noise near 1.1 and 2.3 kHz whose level
    wavers; 1 s, circular like the engine, looped while the wheels slip.
thud.wav
    A hard knock: a short low sweep from 95 to 40 Hz with a noise click,
    0.35 s, played once per impact.
"""
import os
import sys
import wave

import numpy as np

SR = 44100
BASE_RPM = 3000.0                      # the engine loops' speed (the game reads it too)
FIRING_HZ = BASE_RPM / 60.0 * 2.0      # 100 Hz: four cylinders, one firing each per two turns
ENGINE_FRAMES = SR // 2                # 0.5 s = 50 firings = 25 turns of the crank
SQUEAL_FRAMES = SR                     # 1 s

rng = np.random.default_rng(4242)


def circular_noise(frames, low_hz, high_hz, peak_hz=None, width_hz=None):
    """White noise filtered in the frequency domain: periodic over `frames`."""
    spectrum = np.fft.rfft(rng.standard_normal(frames))
    freqs = np.fft.rfftfreq(frames, 1.0 / SR)
    if peak_hz is None:
        gain = ((freqs >= low_hz) & (freqs <= high_hz)).astype(float)
    else:
        gain = np.exp(-0.5 * ((freqs - peak_hz) / width_hz) ** 2)
    out = np.fft.irfft(spectrum * gain, frames)
    return out / np.max(np.abs(out))


def engine(brightness, noise_level, drive):
    """One loop of the engine at BASE_RPM; `brightness` lifts the upper
    harmonics, `drive` saturates the whole."""
    t = np.arange(ENGINE_FRAMES) / SR
    signal = 0.35 * np.sin(2 * np.pi * FIRING_HZ / 2 * t + 0.7)  # the crank's half order
    phases = np.random.default_rng(7).uniform(0, 2 * np.pi, 40)  # shared: the loops cross-fade
    for h in range(1, 41):
        amplitude = 1.0 / h ** (1.6 - brightness)
        if h % 2 == 0:
            amplitude *= 0.7
        signal += amplitude * np.sin(2 * np.pi * FIRING_HZ * h * t + phases[h - 1])
    # Exhaust puffs: noise that swells at each firing.
    puff = 0.5 + 0.5 * np.cos(2 * np.pi * FIRING_HZ * t)
    signal += noise_level * puff ** 3 * circular_noise(ENGINE_FRAMES, 100.0, 800.0)
    signal = np.tanh(drive * signal / np.max(np.abs(signal)))
    return signal / np.max(np.abs(signal))


def squeal():
    t = np.arange(SQUEAL_FRAMES) / SR
    tone = circular_noise(SQUEAL_FRAMES, 0, 0, peak_hz=1100.0, width_hz=25.0)
    tone += 0.5 * circular_noise(SQUEAL_FRAMES, 0, 0, peak_hz=2300.0, width_hz=40.0)
    # Whole cycles per loop keep the waver seamless.
    waver = 0.75 + 0.15 * np.sin(2 * np.pi * 3 * t) + 0.1 * np.sin(2 * np.pi * 7 * t + 1.0)
    signal = tone * waver
    return signal / np.max(np.abs(signal))


def thud():
    frames = int(0.35 * SR)
    t = np.arange(frames) / SR
    sweep_hz = 40.0 + 55.0 * np.exp(-t / 0.05)
    body = np.sin(2 * np.pi * np.cumsum(sweep_hz) / SR) * np.exp(-t / 0.08)
    click = rng.standard_normal(frames) * np.exp(-t / 0.006)
    click = np.convolve(click, np.ones(8) / 8, mode="same")
    attack = np.minimum(t / 0.002, 1.0)
    signal = (body + 0.4 * click) * attack
    return signal / np.max(np.abs(signal))


def write(path, signal, level):
    samples = np.round(signal * level * 32767).astype("<i2")
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(SR)
        out.writeframes(samples.tobytes())


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = os.path.join(sys.argv[1], "sounds")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "engine-idle.wav"), engine(0.0, 0.15, 1.2), 0.6)
    write(os.path.join(folder, "engine-load.wav"), engine(0.5, 0.35, 2.5), 0.8)
    write(os.path.join(folder, "squeal.wav"), squeal(), 0.7)
    write(os.path.join(folder, "thud.wav"), thud(), 0.9)


if __name__ == "__main__":
    main()
