#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds the Linux plug-in, the renderer, the tests and the benchmarks into build/.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"
