#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds the 64-bit Windows plug-ins with Debian's mingw-w64 (package g++-mingw-w64-x86-64):
#   tools/build-windows.sh [BUILD_DIR]
# BUILD_DIR defaults to build-windows/. The VST 2 plug-in is left at BUILD_DIR/Quillmere.dll; every other format
# lands where its CMake folder puts it inside BUILD_DIR. None needs runtime DLLs of the compiler (only KERNEL32
# and msvcrt).
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="${1:-$root/build-windows}"
cmake -S "$root" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=OFF
cmake --build "$dir" -j 2
# Wherever the plug-in's CMake puts it, the newest build is copied to the top of BUILD_DIR.
built="$(find "$dir" -name Quillmere.dll ! -path "$dir/Quillmere.dll" -exec ls -t {} + | head -n 1)"
if [ -n "$built" ]; then
  cp -p "$built" "$dir/Quillmere.dll"
fi
test -f "$dir/Quillmere.dll"
echo "$dir/Quillmere.dll"
