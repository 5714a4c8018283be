#!/bin/sh
# Builds everything and runs the whole test suite.
set -e
cd "$(dirname "$0")/.."
tools/build.sh
cd build
ctest --output-on-failure -j "$(nproc)"
