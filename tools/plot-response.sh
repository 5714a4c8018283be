#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures the effect through the built renderer and plots it (Debian: python3-numpy, python3-matplotlib):
#   tools/plot-response.sh [OUTPUT.png] [RENDERER]
# OUTPUT defaults to docs/response.png, RENDERER to build/host/quillmere-render.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
output="${1:-$root/docs/response.png}"
renderer="${2:-$root/build/host/quillmere-render}"
# Debian's Python, where numpy and matplotlib are installed, whatever python3 comes first on PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
exec "$python" "$root/tools/plot_response.py" "$renderer" "$output"
