#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a release from scratch into dist/: the Debian package, the Windows zip and a source tarball of HEAD,
# then prints each file with its size and SHA-256 sum.
#   tools/release.sh
# Needs what tools/install-deps.sh installs (CPack's Debian generator, mingw-w64, zip).
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
version=$(sed -n 's/^project(Quillmere VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no project version in CMakeLists.txt" >&2; exit 1; }
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: the work tree has uncommitted changes; the source tarball holds HEAD only" >&2
fi
dist="$root/dist"
linux="$root/build-release"
windows="$root/build-release-windows"
rm -rf "$dist" "$linux" "$windows"
mkdir -p "$dist"

# The Debian package.
cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=OFF \
  -DQUILLMERE_DEBIAN_LAYOUT=ON
cmake --build "$linux" -j "$(nproc)"
(cd "$linux" && cpack -G DEB)
cp "$linux/package/quillmere_${version}_amd64.deb" "$dist/"

# The Windows zip: every plug-in DLL may import only system libraries.
tools/build-windows.sh "$windows"
stage="$windows/zip"
rm -rf "$stage"
mkdir -p "$stage"
cp "$windows/Quillmere.dll" "$stage/"
cp -R "$windows/vst3/Quillmere.vst3" "$stage/"
cp "$windows/clap/Quillmere.clap" "$stage/"
mkdir -p "$stage/Presets"
cp -R "$windows/presets/vst3" "$stage/Presets/VST3"
cp -R "$windows/presets/vst2" "$stage/Presets/VST2"
sed "s/@VERSION@/$version/" packaging/README-windows.txt | sed 's/$/\r/' > "$stage/README.txt"
sed 's/$/\r/' LICENSE > "$stage/LICENSE.txt"
for dll in "$stage/Quillmere.dll" "$stage/Quillmere.vst3/Contents/x86_64-win/Quillmere.vst3" "$stage/Quillmere.clap"; do
  imports=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  for name in $imports; do
    case "$name" in
      kernel32.dll | msvcrt.dll) ;;
      *) echo "release.sh: $dll imports $name, which Windows does not bring" >&2; exit 1 ;;
    esac
  done
done
(cd "$stage" && rm -f "$dist/Quillmere-$version-win64.zip" && zip -X -r -q "$dist/Quillmere-$version-win64.zip" .)

# The sources of HEAD.
git archive --format=tar.gz --prefix="quillmere-$version/" -o "$dist/quillmere-$version.tar.gz" HEAD

cd "$dist"
for file in *; do
  printf '%10s  %s\n' "$(stat -c %s "$file")" "$(sha256sum "$file")"
done
