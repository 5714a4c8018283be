#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Windows installer from a folder made by tools/stage-windows.sh, with NSIS (Debian package nsis):
#   tools/build-installer.sh STAGE_DIR SETUP_EXE
# What it installs where: packaging/quillmere.nsi. The preset files of the stage are listed for it in a generated
# include file (one macro call per file), so that the uninstaller removes exactly the files installed.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -eq 2 ] || { echo "usage: tools/build-installer.sh STAGE_DIR SETUP_EXE" >&2; exit 2; }
command -v makensis >/dev/null || { echo "build-installer.sh: makensis not found (Debian: nsis)" >&2; exit 1; }
version=$(sed -n 's/^project(Quillmere VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
stage=$(realpath "$1")
mkdir -p "$(dirname "$2")"
setup="$(realpath "$(dirname "$2")")/$(basename "$2")"
presets=$(mktemp -t quillmere-presets.XXXXXX.nsh)
trap 'rm -f "$presets"' EXIT
# VST3_PRESETS and VST2_PRESETS call the macro they are given with each file name of Presets/VST3 and
# Presets/VST2 ($ doubled, as NSIS strings need).
for format in VST3 VST2; do
  echo "!macro ${format}_PRESETS DO"
  count=0
  for file in "$stage/Presets/$format"/*; do
    [ -f "$file" ] || continue
    name=$(basename "$file")
    case "$name" in
      *'"'*) echo "build-installer.sh: $name: a preset file name with a quote" >&2; exit 1 ;;
    esac
    printf '  !insertmacro ${DO} "%s"\n' "$(printf '%s' "$name" | sed 's/\$/$$/g')"
    count=$((count + 1))
  done
  [ $count -gt 0 ] || { echo "build-installer.sh: no preset files in $stage/Presets/$format" >&2; exit 1; }
  echo "!macroend"
done > "$presets"
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DPRESETS="$presets" -DOUTFILE="$setup" \
  "$root/packaging/quillmere.nsi"
