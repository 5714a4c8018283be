#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows installer from a folder made by tools/stage-windows.sh, with NSIS (Debian package nsis):
#   tools/build-installer.sh STAGE_DIR SETUP_EXE
# What it installs where: packaging/quillmere.nsi.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -eq 2 ] || { echo "usage: tools/build-installer.sh STAGE_DIR SETUP_EXE" >&2; exit 2; }
command -v makensis >/dev/null || { echo "build-installer.sh: makensis not found (Debian: nsis)" >&2; exit 1; }
version=$(sed -n 's/^project(Quillmere VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
stage=$(realpath "$1")
mkdir -p "$(dirname "$2")"
setup="$(realpath "$(dirname "$2")")/$(basename "$2")"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" \
  "$root/packaging/quillmere.nsi"
