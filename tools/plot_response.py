# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures what the effect does by rendering test signals through quillmere-render, and plots it.

plot_response.py RENDERER OUTPUT.png

Panel 1: the magnitude response of the low band and of the high band, at the default split frequency and at
4000 Hz. An impulse is rendered with the band angles set so that the low band lands wholly in the left channel
and the high band wholly in the right one (angle 0 and a quarter turn, after the fixed 55 degrees); the random
part of the angle is still 0 in the first chunks of a fresh instance, which is all that is measured.
Panel 2: the left and right gains of the low band as its angle turns, measured with a 500 Hz tone and the split
at 20000 Hz, so that the high band holds next to nothing of the tone.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

RATE = 44100
BLOCK = 4096
PLACEMENT_OFFSET = math.radians(55.0)


def write_wav(path, left, right):
    """Writes a 32-bit float stereo WAV file."""
    frames = np.empty(2 * len(left), dtype="<f4")
    frames[0::2] = left
    frames[1::2] = right
    data = frames.tobytes()
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    header += b"fmt " + struct.pack("<IHHIIHH", 16, 3, 2, RATE, RATE * 8, 8, 32)
    header += b"data" + struct.pack("<I", len(data))
    with open(path, "wb") as out:
        out.write(header + data)


def read_wav(path):
    """Reads a 32-bit float stereo WAV file as (left, right)."""
    with open(path, "rb") as f:
        blob = f.read()
    pos = 12
    fmt = None
    while pos + 8 <= len(blob):
        kind, size = blob[pos:pos + 4], struct.unpack("<I", blob[pos + 4:pos + 8])[0]
        body = blob[pos + 8:pos + 8 + size]
        if kind == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16])
        elif kind == b"data":
            if fmt is None or fmt[0] not in (3, 0xFFFE) or fmt[1] != 2 or fmt[5] != 32:
                sys.exit(f"{path}: not a 32-bit float stereo WAV file")
            samples = np.frombuffer(body, dtype="<f4").astype(np.float64)
            return samples[0::2], samples[1::2]
        pos += 8 + size + (size & 1)
    sys.exit(f"{path}: no audio data")


def render(renderer, folder, name, left, right, settings):
    source = os.path.join(folder, name + "-in.wav")
    target = os.path.join(folder, name + "-out.wav")
    write_wav(source, left, right)
    command = [renderer, "--block", str(BLOCK), "--format", "float", "--force"]
    for key, value in settings:
        command += ["--set", f"{key}={value!r}"]
    subprocess.run(command + [source, target], check=True, stdout=subprocess.DEVNULL)
    return read_wav(target)


def band_responses(renderer, folder, split_hz):
    """Magnitude responses in dB of the low band (left) and the high band (right)."""
    length = 8 * BLOCK
    start = BLOCK  # the impulse comes with the second block
    amplitude = 0.25
    impulse = np.zeros(length)
    impulse[start] = amplitude
    settings = [("Freqz Split", split_hz), ("LR to LowFreqz", -PLACEMENT_OFFSET),
                ("LR to HighFreqz", math.pi / 2 - PLACEMENT_OFFSET)]
    left, right = render(renderer, folder, f"impulse-{split_hz:g}", impulse, impulse, settings)
    freqs = np.fft.rfftfreq(length - start, 1.0 / RATE)
    floor = 1e-12
    low = 20 * np.log10(np.abs(np.fft.rfft(left[start:])) / amplitude + floor)
    high = 20 * np.log10(np.abs(np.fft.rfft(right[start:])) / amplitude + floor)
    return freqs[1:], low[1:], high[1:]


def angle_gains(renderer, folder):
    """Left and right gains of the low band for user angles over one turn."""
    angles = np.linspace(-math.pi, math.pi, 37)
    length = 4 * BLOCK
    t = np.arange(length) / RATE
    tone = 0.5 * np.sin(2 * math.pi * 500.0 * t)
    settled = slice(2 * BLOCK, length)
    reference = np.sqrt(np.mean(tone[settled] ** 2))
    gains = []
    for i, angle in enumerate(angles):
        settings = [("Freqz Split", 20000.0), ("LR to LowFreqz", float(angle))]
        left, right = render(renderer, folder, f"tone-{i}", tone, tone, settings)
        gains.append((np.sqrt(np.mean(left[settled] ** 2)) / reference,
                      np.sqrt(np.mean(right[settled] ** 2)) / reference))
    return angles, np.array(gains)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: plot_response.py RENDERER OUTPUT.png")
    renderer, output = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        curves = [(split, band_responses(renderer, folder, split)) for split in (1000.0, 4000.0)]
        angles, gains = angle_gains(renderer, folder)

    figure, (top, bottom) = plt.subplots(2, 1, figsize=(8, 8.5))
    for (split, (freqs, low, high)), style in zip(curves, ("-", "--")):
        top.semilogx(freqs, low, style, color="tab:blue", label=f"low band, split {split:g} Hz")
        top.semilogx(freqs, high, style, color="tab:red", label=f"high band, split {split:g} Hz")
    top.set_xlim(20, 20000)
    top.set_ylim(-60, 6)
    top.set_xlabel("frequency (Hz)")
    top.set_ylabel("magnitude (dB)")
    top.set_title("The two bands (Q 0 dB), measured from impulses through the plug-in")
    top.grid(True, which="both", alpha=0.3)
    top.legend(loc="lower center", fontsize="small")

    bottom.plot(angles, gains[:, 0], "o-", color="tab:green", markersize=3, label="left gain")
    bottom.plot(angles, gains[:, 1], "s-", color="tab:purple", markersize=3, label="right gain")
    bottom.set_xlabel('"LR to LowFreqz" (radians; 55 degrees are added to it)')
    bottom.set_ylabel("gain (RMS of a 500 Hz tone)")
    bottom.set_title("Placement of the low band as its angle turns")
    bottom.grid(True, alpha=0.3)
    bottom.legend(loc="lower left", fontsize="small")
    figure.tight_layout()
    figure.savefig(output, dpi=80, metadata={"Software": None})


if __name__ == "__main__":
    main()
