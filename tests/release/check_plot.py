# SPDX-License-Identifier: GPL-3.0-or-later
"""check_plot.py PLOT_COMMAND RENDERER OUTPUT.png: the response plot command runs and writes a PNG picture."""
import os
import subprocess
import sys

command, renderer, output = sys.argv[1:4]
probe = subprocess.run(["/usr/bin/python3", "-c", "import numpy, matplotlib"], capture_output=True)
if probe.returncode != 0:
    print("SKIPPED: Debian's python3-numpy and python3-matplotlib are not installed")
    sys.exit(77)
if os.path.exists(output):
    os.remove(output)
subprocess.run([command, output, renderer], check=True)
with open(output, "rb") as f:
    head = f.read(24)
size = os.path.getsize(output)
if head[:8] != b"\x89PNG\r\n\x1a\n" or size < 10000:
    sys.exit(f"{output}: not a PNG picture of any size ({size} bytes)")
width, height = int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")
print(f"{output}: {width} x {height} PNG, {size} bytes")
