#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds a release from scratch into DIST_DIR (default dist/): the Debian package, the Windows zip and installer
# and a source tarball of HEAD, then prints each file with its size and SHA-256 sum.
#   tools/release.sh [DIST_DIR]
# Needs what tools/install-deps.sh installs (CPack's Debian generator, dpkg-dev, mingw-w64, zip, nsis).
#
# Two runs on the same commit give byte-identical files (tools/check-reproducible.sh checks it): every time stamp
# is the commit's (SOURCE_DATE_EPOCH), the Windows linker writes no time into the PE headers, and the zip holds
# its files in a fixed order with fixed times and modes. The Linux binaries are built with Debian's hardening
# flags (dpkg-buildflags with every hardening feature: stack protector, fortified functions, read-only
# relocations bound at load time) but without its -g and -O2: they keep the project's Release flags (-O3) and
# ship without debugging data.
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
version=$(sed -n 's/^project(Quillmere VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release.sh: no project version in CMakeLists.txt" >&2; exit 1; }
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: the work tree has uncommitted changes; the source tarball holds HEAD only" >&2
fi
dist=$(realpath -m "${1:-$root/dist}")
linux="$root/build-release"
windows="$root/build-release-windows"
rm -rf "$dist" "$linux" "$windows"
mkdir -p "$dist"
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
export SOURCE_DATE_EPOCH

# The Debian package.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
without_g_o2() { dpkg-buildflags --get "$1" | tr ' ' '\n' | grep -v -x -e '-g' -e '-O2' | tr '\n' ' '; }
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags="$cppflags $(without_g_o2 CFLAGS)"
cxxflags="$cppflags $(without_g_o2 CXXFLAGS)"
ldflags=$(without_g_o2 LDFLAGS)
case "$cflags $cxxflags" in
  *fast-math* | *-Ofast* | *fp-contract* | *-O[0-9s]*)
    echo "release.sh: dpkg-buildflags gives flags that change the arithmetic or the optimisation: $cxxflags" >&2
    exit 1 ;;
esac
echo "release.sh: Linux build with CXXFLAGS=$cxxflags LDFLAGS=$ldflags"
CFLAGS="$cflags" CXXFLAGS="$cxxflags" LDFLAGS="$ldflags" \
  cmake -S . -B "$linux" -DCMAKE_BUILD_TYPE=Release -DQUILLMERE_BUILD_TESTS=OFF -DQUILLMERE_BUILD_BENCH=OFF \
  -DQUILLMERE_DEBIAN_LAYOUT=ON
cmake --build "$linux" -j "$(nproc)"
(cd "$linux" && cpack -G DEB)
cp "$linux/package/quillmere_${version}_amd64.deb" "$dist/"

# The Windows zip and installer: every plug-in DLL may import only system libraries (tools/stage-windows.sh).
tools/build-windows.sh "$windows"
stage="$windows/zip"
tools/stage-windows.sh "$windows" "$stage"
zip="$dist/Quillmere-$version-win64.zip"
(cd "$stage" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | TZ=UTC zip -X -q "$zip" -@)
tools/build-installer.sh "$stage" "$dist/Quillmere-$version-win64-setup.exe"

# The sources of HEAD.
git archive --format=tar.gz --prefix="quillmere-$version/" -o "$dist/quillmere-$version.tar.gz" HEAD

cd "$dist"
for file in *; do
  printf '%10s  %s\n' "$(stat -c %s "$file")" "$(sha256sum "$file")"
done
