#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds everything and runs the whole test suite.
set -e
cd "$(dirname "$0")/.."
tools/build.sh
cd build
ctest --output-on-failure -j "$(nproc)"
