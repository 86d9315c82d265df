#!/usr/bin/env python3
"""Synthesises the program's four sound effects into resources/sounds/*.wav.

The files are committed; run this again only to change a sound. Mono, 16-bit, 22050 Hz, a second
or less each, so every file stays well under 100 KB. The noise generator is seeded, so the output
is the same on every run.
"""
import math
import os
import random
import struct
import wave

RATE = 22050


def envelope(t, attack, decay):
    """Linear attack, exponential decay."""
    if t < attack:
        return t / attack
    return math.exp(-(t - attack) / decay)


def tone(freq, length, attack=0.004, decay=0.05, harmonics=(1.0,)):
    out = []
    for i in range(int(length * RATE)):
        t = i / RATE
        s = sum(a * math.sin(2 * math.pi * freq * (k + 1) * t) for k, a in enumerate(harmonics))
        out.append(s * envelope(t, attack, decay))
    return out


def silence(length):
    return [0.0] * int(length * RATE)


def noise_burst(rng, length, decay, lowpass):
    out, last = [], 0.0
    for i in range(int(length * RATE)):
        t = i / RATE
        last += lowpass * (rng.uniform(-1, 1) - last)
        out.append(last * envelope(t, 0.001, decay))
    return out


def mix(*tracks):
    length = max(len(t) for t in tracks)
    return [sum(t[i] for t in tracks if i < len(t)) for i in range(length)]


def focus_beep():
    # Two short, bright beeps: the focus is set.
    beep = tone(2400, 0.07, decay=0.03, harmonics=(1.0, 0.15))
    return beep + silence(0.05) + beep


def servo_auto_focus(rng):
    # A small motor moving the lens: a buzzing saw tone that rises and falls, with a little grit.
    out = []
    length = 0.35
    phase = 0.0
    for i in range(int(length * RATE)):
        t = i / RATE
        freq = 140 + 60 * math.sin(math.pi * t / length)
        phase += freq / RATE
        saw = 2 * (phase % 1.0) - 1
        amp = min(1.0, t / 0.02, (length - t) / 0.03)
        out.append((0.6 * saw + 0.15 * rng.uniform(-1, 1)) * amp * 0.5)
    return out


def shutter(rng):
    # Two clicks, the curtain opening and closing, with a short mechanical ring.
    click = mix(noise_burst(rng, 0.06, 0.008, 0.6), tone(1800, 0.06, attack=0.001, decay=0.01))
    second = mix(noise_burst(rng, 0.12, 0.02, 0.35), tone(1100, 0.12, attack=0.001, decay=0.02))
    return click + silence(0.05) + second


def timer_tick():
    # A soft wooden tick, once a second during the countdown.
    return tone(1250, 0.06, attack=0.001, decay=0.012, harmonics=(1.0, 0.3, 0.1))


def write(path, samples, peak=0.7):
    top = max(abs(s) for s in samples) or 1.0
    frames = b"".join(struct.pack("<h", int(s / top * peak * 32767)) for s in samples)
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames)


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sounds")
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(1778)
    sounds = {
        "CameraFocusBeep": focus_beep(),
        "CameraServoAutoFocus": servo_auto_focus(rng),
        "CameraShutter": shutter(rng),
        "TimerTick": timer_tick(),
    }
    for name, samples in sounds.items():
        write(os.path.join(folder, name + ".wav"), samples)


if __name__ == "__main__":
    main()
