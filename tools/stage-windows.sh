#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Puts the Windows plug-ins of a cross-build (tools/build-windows.sh) into a fresh folder as the zip and the
# installer ship them: Quillmere.dll (VST 2), Quillmere.vst3/ (VST 3 bundle), Quillmere.clap, the factory presets
# (Presets/VST3, Presets/VST2), README.txt and LICENSE.txt with Windows line ends. Fails when a DLL imports anything Windows does not bring. With
# SOURCE_DATE_EPOCH set, every file and folder gets that time, so archives of the folder do not depend on when
# it was built.
#   tools/stage-windows.sh BUILD_DIR STAGE_DIR
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -eq 2 ] || { echo "usage: tools/stage-windows.sh BUILD_DIR STAGE_DIR" >&2; exit 2; }
build="$1"
stage="$2"
version=$(sed -n 's/^project(Quillmere VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
rm -rf "$stage"
mkdir -p "$stage"
cp "$build/Quillmere.dll" "$stage/"
cp -R "$build/vst3/Quillmere.vst3" "$stage/"
cp "$build/clap/Quillmere.clap" "$stage/"
mkdir -p "$stage/Presets"
cp -R "$build/presets/vst3" "$stage/Presets/VST3"
cp -R "$build/presets/vst2" "$stage/Presets/VST2"
sed "s/@VERSION@/$version/" "$root/packaging/README-windows.txt" | sed 's/$/\r/' > "$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" > "$stage/LICENSE.txt"
for dll in "$stage/Quillmere.dll" "$stage/Quillmere.vst3/Contents/x86_64-win/Quillmere.vst3" "$stage/Quillmere.clap"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for name in $imports; do
    case "$name" in
      kernel32.dll | msvcrt.dll) ;;
      *) echo "stage-windows.sh: $dll imports $name, which Windows does not bring" >&2; exit 1 ;;
    esac
  done
done
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
if [ -n "$SOURCE_DATE_EPOCH" ]; then
  find "$stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
fi
