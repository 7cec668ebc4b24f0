#!/usr/bin/env python3
"""Regenerates the generated files of the shipped program folder.

resources/program/sv_table.def
    One dose-equivalent rate (uSv/h) per count rate 0..8191 cps, one number
    a line. The curve is the detector's nominal sensitivity, 8.76/18 uSv/h
    per cps (the program's own fallback beyond the table), corrected for a
    non-paralysable dead time of 5 us: true rate = m / (1 - m * tau). It
    starts at 0.0, rises strictly, and reaches about 4157 uSv/h at 8191 cps.

resources/program/VelrixWarning.wav
    A 0.5 s two-tone beep followed by 0.25 s of silence, 16-bit mono PCM at
    16 kHz, so that a looping player gives a steady beep-beep.

Usage: scripts/make_program_resources.py [repository root]
"""

import math
import os
import struct
import sys
import wave

ROWS = 8192
SENSITIVITY = 8.76 / 18.0   # uSv/h per count per second
DEAD_TIME = 5e-6            # seconds

SAMPLE_RATE = 16000
BEEP_SECONDS = 0.5
PAUSE_SECONDS = 0.25
TONES_HZ = (880.0, 1320.0)  # two halves of the beep
AMPLITUDE = 0.45
FADE_SECONDS = 0.01


def dose_table_text():
    lines = []
    for m in range(ROWS):
        true_rate = m / (1.0 - m * DEAD_TIME)
        lines.append("%.6f\n" % (true_rate * SENSITIVITY))
    return "".join(lines)


def beep_frames():
    frames = bytearray()
    beep_samples = int(BEEP_SECONDS * SAMPLE_RATE)
    fade = int(FADE_SECONDS * SAMPLE_RATE)
    half = beep_samples // 2
    phase = 0.0
    for n in range(beep_samples):
        freq = TONES_HZ[0] if n < half else TONES_HZ[1]
        phase += 2.0 * math.pi * freq / SAMPLE_RATE
        envelope = min(1.0, n / fade, (beep_samples - 1 - n) / fade)
        value = int(32767 * AMPLITUDE * envelope * math.sin(phase))
        frames += struct.pack("<h", value)
    frames += b"\0\0" * int(PAUSE_SECONDS * SAMPLE_RATE)
    return bytes(frames)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    folder = os.path.join(root, "resources", "program")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "sv_table.def"), "w", newline="\n") as f:
        f.write(dose_table_text())
    with wave.open(os.path.join(folder, "VelrixWarning.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(SAMPLE_RATE)
        w.writeframes(beep_frames())


if __name__ == "__main__":
    main()
