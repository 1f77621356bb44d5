#!/usr/bin/python3
"""Composes and renders "Halverd - Evenfall", the game's background music.

Usage: music.py DATA_DIR [--wav PATH]

A small additive synthesiser in numpy: pad, plucked arpeggio, bass, lead and
a soft drum kit, panned in stereo, with a delay and a convolution reverb.
The piece is 40 bars at 96 beats per minute in D minor: exactly 100 s.
Everything is rendered into a circular buffer of exactly that length (notes,
delay echoes and reverb tails that run past the end wrap round to the
start), so the loop the game plays 101 times has no seam. The mix is limited
to -1.5 dBFS and encoded with lame at 160 kbit/s CBR, 44.1 kHz stereo; the
LAME header carries the encoder delay and padding, so a gapless decoder
(mpg123, as used by SDL_mixer) gives back exactly 4,410,000 frames.
"""
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

SR = 44100
BPM = 96.0
BEAT = 60.0 / BPM                    # 0.625 s
BAR = 4 * BEAT                       # 2.5 s
BARS = 40
N = int(round(BARS * BAR * SR))      # 4,410,000 frames = 100 s
TITLE = "Evenfall"
ARTIST = "Halverd"

rng = np.random.default_rng(1977)


def hz(midi):
    return 440.0 * 2.0 ** ((midi - 69) / 12.0)


class Bus:
    """A stereo circular buffer of the loop's length."""

    def __init__(self):
        self.data = np.zeros((N, 2))

    def add(self, mono, start_s, pan=0.0, gain=1.0):
        """Adds a mono signal at start_s seconds, wrapping at the loop end."""
        start = int(round(start_s * SR)) % N
        left = np.cos((pan + 1) * np.pi / 4) * gain
        right = np.sin((pan + 1) * np.pi / 4) * gain
        n = len(mono)
        pos = 0
        while pos < n:
            i0 = (start + pos) % N
            take = min(n - pos, N - i0)
            self.data[i0:i0 + take, 0] += mono[pos:pos + take] * left
            self.data[i0:i0 + take, 1] += mono[pos:pos + take] * right
            pos += take


def envelope(n, attack, release, hold=None):
    """Linear attack, sustain, exponential-ish release over n samples."""
    env = np.ones(n)
    a = max(1, int(attack * SR))
    r = max(1, int(release * SR))
    env[:a] = np.linspace(0, 1, a) if a <= n else np.linspace(0, 1, n)[:n]
    if r < n:
        env[n - r:] *= np.linspace(1, 0, r) ** 2
    return env


def additive(freq, dur, harmonics, detune_cents=0.0, vibrato=0.0, decay=None):
    """Sum of harmonics (list of amplitudes); optional per-harmonic decay rate."""
    n = int(dur * SR)
    t = np.arange(n) / SR
    f = freq * 2 ** (detune_cents / 1200.0)
    if vibrato:
        vib = 1 + vibrato * np.sin(2 * np.pi * 5.2 * t) * np.clip(t / 0.4, 0, 1)
        phase = 2 * np.pi * np.cumsum(f * vib) / SR
    else:
        phase = 2 * np.pi * f * t
    out = np.zeros(n)
    for k, amp in enumerate(harmonics, start=1):
        if amp == 0 or f * k > SR * 0.45:
            continue
        h = amp * np.sin(k * phase + rng.uniform(0, 2 * np.pi))
        if decay is not None:
            h *= np.exp(-t * decay * (1 + 0.6 * (k - 1)))
        out += h
    return out


# ------------------------------------------------------------------ the score
# Chords as (root midi, quality); one chord a bar.
PROG_A = [(50, "m"), (46, "M"), (53, "M"), (48, "M"), (50, "m"), (46, "M"), (43, "m"), (45, "M")]
PROG_C = [(46, "M"), (53, "M"), (43, "m"), (50, "m"), (46, "M"), (53, "M"), (43, "m"), (45, "M")]
PROG_I = [(50, "m"), (46, "M"), (53, "M"), (48, "M")]

SECTIONS = (
    # name, chords, drums level, lead melody
    ("intro", PROG_I, 0.3, None),
    ("a", PROG_A, 0.6, None),
    ("b", PROG_A, 0.8, "m1"),
    ("c", PROG_C, 0.5, "m2"),
    ("a2", PROG_A, 0.9, "m3"),
    ("outro", PROG_I, 0.3, None),
)

# melodies: (midi, start beat in the 8-bar phrase, length in beats)
M1 = [(74, 0, 1.5), (76, 1.5, 0.5), (77, 2, 1), (81, 3, 1),
      (79, 4, 1.5), (77, 5.5, 0.5), (74, 6, 2),
      (72, 8, 1), (77, 9, 1), (81, 10, 1), (79, 11, 1),
      (76, 12, 3), (72, 15, 1),
      (74, 16, 1.5), (76, 17.5, 0.5), (77, 18, 1), (81, 19, 1),
      (82, 20, 2), (81, 22, 1), (79, 23, 1),
      (79, 24, 1), (77, 25, 1), (74, 26, 1), (70, 27, 1),
      (73, 28, 2), (76, 30, 1), (69, 31, 1)]
M2 = [(77, 0, 2), (74, 2, 1), (77, 3, 1),
      (81, 4, 3), (79, 7, 1),
      (79, 8, 1.5), (77, 9.5, 0.5), (74, 10, 2),
      (74, 12, 1), (72, 13, 1), (69, 14, 2),
      (77, 16, 2), (74, 18, 1), (77, 19, 1),
      (81, 20, 1.5), (84, 21.5, 0.5), (81, 22, 2),
      (82, 24, 1.5), (81, 25.5, 0.5), (79, 26, 1), (74, 27, 1),
      (76, 28, 2), (73, 30, 2)]
M3 = [(81, 0, 1.5), (79, 1.5, 0.5), (77, 2, 1), (74, 3, 1),
      (77, 4, 1.5), (79, 5.5, 0.5), (74, 6, 2),
      (72, 8, 1), (77, 9, 1), (81, 10, 1), (84, 11, 1),
      (83, 12, 0.5), (84, 12.5, 0.5), (79, 13, 2), (76, 15, 1),
      (74, 16, 1.5), (76, 17.5, 0.5), (77, 18, 1), (81, 19, 1),
      (82, 20, 2), (86, 22, 1), (84, 23, 1),
      (82, 24, 1), (81, 25, 1), (79, 26, 1), (77, 27, 1),
      (76, 28, 2), (73, 30, 1), (74, 31, 1)]
MELODIES = {"m1": M1, "m2": M2, "m3": M3}


def chord_notes(root, quality):
    third = 3 if quality == "m" else 4
    return [root, root + third, root + 7]


def pad_note(bus, midi, start, dur, gain):
    sig = np.zeros(int((dur + 1.2) * SR))
    harm = [1 / k * (0.85 ** k) for k in range(1, 14)]
    for cents, pan in ((-7, -0.5), (0, 0.0), (7, 0.5)):
        s = additive(hz(midi), dur + 1.2, harm, detune_cents=cents)
        s *= envelope(len(s), 0.5, 1.4)
        bus.add(s, start, pan=pan, gain=gain / 3)


def pluck(bus, midi, start, gain, pan):
    harm = [1.0, 0.5, 0.33, 0.2, 0.12, 0.08, 0.05]
    s = additive(hz(midi), 0.9, harm, decay=5.5)
    s *= envelope(len(s), 0.004, 0.15)
    bus.add(s, start, pan=pan, gain=gain)


def bass_note(bus, midi, start, dur, gain):
    harm = [1.0, 0.35, 0.12, 0.06]
    s = additive(hz(midi), dur, harm)
    s *= envelope(len(s), 0.01, min(0.12, dur * 0.5))
    bus.add(s, start, pan=0.0, gain=gain)


def lead_note(bus, midi, start, dur, gain):
    harm = [1.0, 0.0, 0.30, 0.0, 0.15, 0.05, 0.07, 0.02, 0.03]
    s = additive(hz(midi), dur + 0.25, harm, vibrato=0.004)
    s *= envelope(len(s), 0.03, 0.3)
    bus.add(s, start, pan=0.15, gain=gain)


def kick(bus, start, gain):
    n = int(0.45 * SR)
    t = np.arange(n) / SR
    f = 45 + 75 * np.exp(-t * 28)
    s = np.sin(2 * np.pi * np.cumsum(f) / SR) * np.exp(-t * 7)
    s += 0.15 * rng.standard_normal(n) * np.exp(-t * 200)
    bus.add(s, start, gain=gain)


def band_noise(n, lo, hi):
    spec = np.fft.rfft(rng.standard_normal(n))
    f = np.fft.rfftfreq(n, 1 / SR)
    spec[(f < lo) | (f > hi)] = 0
    out = np.fft.irfft(spec, n)
    return out / (np.abs(out).max() + 1e-9)


def snare(bus, start, gain):
    n = int(0.35 * SR)
    t = np.arange(n) / SR
    s = band_noise(n, 1200, 9000) * np.exp(-t * 16) * 0.7
    s += np.sin(2 * np.pi * 185 * t) * np.exp(-t * 25) * 0.5
    bus.add(s, start, pan=-0.05, gain=gain)


def hat(bus, start, gain, pan):
    n = int(0.09 * SR)
    t = np.arange(n) / SR
    s = band_noise(n, 6000, 15000) * np.exp(-t * 60)
    bus.add(s, start, pan=pan, gain=gain)


def compose():
    dry = Bus()       # drums, bass
    music = Bus()     # pad, lead (reverb send)
    arp = Bus()       # arpeggio (delay and reverb)
    bar = 0
    arp_pattern = [0, 2, 4, 1, 3, 5, 4, 2, 0, 2, 4, 1, 3, 5, 4, 2]
    for name, prog, drums, melody in SECTIONS:
        for i, (root, quality) in enumerate(prog):
            t0 = bar * BAR
            tones = chord_notes(root, quality)
            # pad: close voicing around middle C
            for m in tones:
                while m < 55:
                    m += 12
                pad_note(music, m, t0, BAR, 0.055)
            # arpeggio: chord tones over two octaves, 16ths
            ladder = sorted([m + 12 for m in tones] + [m + 24 for m in tones])
            arp_gain = 0.07 if name in ("intro", "outro") else 0.06
            for k, step in enumerate(arp_pattern):
                accent = 1.0 if k % 4 == 0 else 0.7
                if name == "outro":
                    accent *= 1.0 - 0.15 * (bar - 36) / 4
                pluck(arp, ladder[step], t0 + k * BEAT / 4, arp_gain * accent,
                      pan=-0.35 if k % 2 == 0 else 0.35)
            # bass: root eighths with a fifth pickup (softer in intro and outro,
            # which meet at the loop point)
            level = 0.20 if name not in ("intro", "outro") else 0.14
            pattern = [(0, 1.5, 0), (1.5, 0.5, 0), (2, 1, 0), (3, 0.5, 7), (3.5, 0.5, 12)]
            for b0, bl, iv in pattern:
                bass_note(dry, root - 12 + iv, t0 + b0 * BEAT, bl * BEAT * 0.92, level)
            # drums
            if drums > 0:
                for beat in range(4):
                    tb = t0 + beat * BEAT
                    if beat in (0, 2):
                        kick(dry, tb, 0.55 * drums)
                    if name == "c":
                        if beat == 2:
                            snare(dry, tb, 0.22 * drums)
                    elif beat in (1, 3):
                        snare(dry, tb, 0.22 * drums)
                    for e in (0, 0.5):
                        hat(dry, tb + e * BEAT, 0.06 * drums * (1.0 if e == 0.5 else 0.6),
                            pan=0.3)
                if name != "c":
                    kick(dry, t0 + 2.5 * BEAT, 0.35 * drums)
            bar += 1
        if melody is not None:
            start_bar = bar - len(prog)
            for midi, b0, bl in MELODIES[melody]:
                lead_note(music, midi, start_bar * BAR + b0 * BEAT, bl * BEAT * 0.95, 0.075)
    assert bar == BARS, bar
    return dry, music, arp


def circular_reverb(x, seconds=2.4, wet=0.25, seed=5):
    """Convolution with a decaying stereo noise tail, circular over the loop."""
    r = np.random.default_rng(seed)
    n = int(seconds * SR)
    t = np.arange(n) / SR
    out = np.zeros_like(x)
    for ch in range(2):
        ir = r.standard_normal(n) * np.exp(-t * 6.9 / seconds)
        # darker tail: a one-pole smoothing done in the frequency domain below
        ir[: int(0.012 * SR)] = 0                       # pre-delay
        ir /= np.sqrt(np.sum(ir ** 2))
        spec_ir = np.fft.rfft(ir, N)
        f = np.fft.rfftfreq(N, 1 / SR)
        spec_ir /= 1 + (f / 5000.0) ** 2
        out[:, ch] = np.fft.irfft(np.fft.rfft(x[:, ch]) * spec_ir, N)
    return out * wet


def ping_pong(x, delay_s, feedback=0.35, repeats=5):
    d = int(round(delay_s * SR))
    out = np.zeros_like(x)
    g = 1.0
    mono = x.mean(axis=1)
    for k in range(1, repeats + 1):
        g *= feedback
        ch = k % 2
        out[:, ch] += np.roll(mono, k * d) * g
    return out


def master(dry, music, arp):
    arp_wet = arp.data + ping_pong(arp.data, 3 * BEAT / 4)
    mix = dry.data + music.data + arp_wet
    mix += circular_reverb(music.data + arp_wet * 0.8 + dry.data * 0.15)
    # gentle bus compression: soft knee on the peak envelope, then a limiter
    peak = np.abs(mix).max()
    mix /= peak
    mix = np.tanh(mix * 1.3) / np.tanh(1.3)
    mix *= 10 ** (-1.5 / 20) / np.abs(mix).max()
    return mix


def write_wav(path, mix):
    pcm = np.clip(np.rint(mix * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.tobytes())


def main():
    args = sys.argv[1:]
    data = os.path.abspath(args[0] if args else "data")
    out = os.path.join(data, "music", "%s - %s.mp3" % (ARTIST, TITLE))
    os.makedirs(os.path.dirname(out), exist_ok=True)
    dry, music, arp = compose()
    mix = master(dry, music, arp)
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "evenfall.wav")
        if "--wav" in args:
            wav = args[args.index("--wav") + 1]
        write_wav(wav, mix)
        subprocess.run(["lame", "--quiet", "-b", "160", "--cbr", "-q", "2", "-m", "j",
                        "--resample", "44.1",
                        "--tt", TITLE, "--ta", ARTIST, "--tl", "Vantrel", "--ty", "2024",
                        "--tc", "Composed by tools/assets/music.py",
                        wav, out], check=True)
    print("  wrote", os.path.relpath(out), "%.1f s" % (N / SR), os.path.getsize(out), "bytes")


if __name__ == "__main__":
    main()
