#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian package, checks that the renderer runs, that hosts find every plug-in where they look
# without any path set and that every factory preset is there as a VST 3 and a VST 2 preset file, removes the
# package and checks that it left nothing behind. Changes the system: run it as root on a machine you can throw
# away (CI does).
#   tools/check-package.sh dist/quillmere_<version>_amd64.deb
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
deb=$(realpath "$1")
version=$(dpkg-deb -f "$deb" Version)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }
watched="/usr/bin /usr/lib/vst /usr/lib/vst3 /usr/lib/clap /usr/lib/lv2 /usr/share/man/man1 /usr/share/doc
  /usr/share/vst3 /usr/share/quillmere /usr/share/lintian/overrides"
vst3_presets=/usr/share/vst3/presets/Quillmere/Quillmere
vst2_presets=/usr/share/quillmere/presets/vst2
snapshot() { find $watched -maxdepth 3 2>/dev/null | sort; }

# Debian's package checker, with its pedantic and informational tags too, finds nothing to report.
if command -v lintian >/dev/null; then
  lintian --pedantic --display-info --tag-display-limit 0 "$deb" > "$scratch/lintian.txt" 2>&1 || true
  grep -v 'root privileges' "$scratch/lintian.txt" || true
  if grep -q '^[EWIPX]: ' "$scratch/lintian.txt"; then fail "lintian reports the tags above"; fi
fi

# Every binary is hardened (read-only relocations bound at load time, fortified or stack-protected calls) and
# carries no compiler notes; hosts' packages find the plug-ins by the virtual packages Debian's plug-ins provide.
dpkg-deb -x "$deb" "$scratch/unpacked"
for binary in $(find "$scratch/unpacked" -type f -exec sh -c 'file -b "$1" | grep -q "^ELF"' sh {} \; -print); do
  name=${binary#"$scratch/unpacked"}
  readelf -d "$binary" | grep -q 'FLAGS.*BIND_NOW' || fail "$name is not linked with -z now"
  readelf -l "$binary" | grep -q GNU_RELRO || fail "$name is not linked with -z relro"
  nm -D "$binary" | grep -q -E ' U __[a-z_]+_(chk|fail)@' || fail "$name calls no fortified or stack-checked function"
  if readelf -S "$binary" | grep -q '\.comment'; then fail "$name still has a .comment section"; fi
done
[ "$(dpkg-deb -f "$deb" Provides)" = "lv2-plugin, vst-plugin" ] || fail "Provides is not lv2-plugin, vst-plugin"

# Every factory preset of effect/PresetTable.h, as a VST 3 preset where VST 3 hosts look and as a VST 2 program
# file, and nothing else in those two folders.
sed -n 's/^ *{"\([^"]*\)", {.*/\1/p' "$root/effect/PresetTable.h" > "$scratch/presets"
[ -s "$scratch/presets" ] || fail "no preset names found in $root/effect/PresetTable.h"
while IFS= read -r name; do
  for file in "$vst3_presets/$name.vstpreset:VST3" "$vst2_presets/$name.fxp:CcnK"; do
    magic=${file##*:} file=${file%:*}
    [ "$(head -c 4 "$scratch/unpacked$file" 2>/dev/null)" = "$magic" ] || fail "no $magic preset file $file in the package"
  done
done < "$scratch/presets"
for folder in $vst3_presets $vst2_presets; do
  [ "$(find "$scratch/unpacked$folder" -type f | wc -l)" -eq "$(wc -l < "$scratch/presets")" ] ||
    fail "$folder holds other files than the factory presets: $(ls "$scratch/unpacked$folder")"
done

snapshot > "$scratch/before"
dpkg -i "$deb" >/dev/null || fail "dpkg -i failed"
for file in /usr/bin/quillmere-render /usr/lib/vst/Quillmere.so \
  /usr/lib/vst3/Quillmere.vst3/Contents/x86_64-linux/Quillmere.so /usr/lib/clap/Quillmere.clap \
  /usr/lib/lv2/quillmere.lv2/manifest.ttl /usr/share/man/man1/quillmere-render.1.gz \
  /usr/share/doc/quillmere/copyright; do
  [ -e "$file" ] || fail "$file is not installed"
done
(cd "$scratch/unpacked" && find ./usr/share/vst3 ./usr/share/quillmere -type f) | while IFS= read -r file; do
  cmp -s "$scratch/unpacked/$file" "${file#.}" || fail "${file#.} is not installed as packaged"
done
[ "$(quillmere-render --version)" = "quillmere-render $version" ] || fail "quillmere-render --version is not $version"
(cd "$scratch" && quillmere-render >/dev/null) || fail "quillmere-render cannot render with the installed plug-in"
[ -s "$scratch/quillmere-demo.wav" ] || fail "quillmere-render wrote no demo file"
man -w quillmere-render >/dev/null || fail "man does not find quillmere-render"

# LV2 hosts read the standard folders.
env -u LV2_PATH lv2ls | grep -q '^urn:quillmere:quillmere$' || fail "lv2ls does not list the plug-in"

# CLAP hosts read /usr/lib/clap; Qtractor's scan helper loads the plug-in from there.
scan=/opt/qtractor-scan/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan
if [ -x "$scan" ]; then
  echo CLAP:/usr/lib/clap/Quillmere.clap | "$scan" 2>/dev/null | grep -q '^CLAP|Quillmere|2:2|' ||
    fail "Qtractor's scan helper does not load the CLAP plug-in"
fi

# Ardour, with a fresh configuration and no plug-in path set: its scanners describe the installed plug-ins, and
# a headless Ardour then lists them, which it does only for plug-ins in the folders it searches.
if command -v ardour7-lua >/dev/null; then
  home="$scratch/ardour"
  mkdir -p "$home"
  run() {
    env -u LXVST_PATH -u LXVST_PLUGINS -u VST3_PATH HOME="$home" XDG_CONFIG_HOME="$home/config" \
      XDG_CACHE_HOME="$home/cache" XDG_DATA_HOME="$home/data" LD_LIBRARY_PATH=/usr/lib/ardour7 "$@"
  }
  run /usr/lib/ardour7/ardour-vst-scanner -f /usr/lib/vst/Quillmere.so >/dev/null 2>&1 || true
  run /usr/lib/ardour7/ardour-vst3-scanner -f /usr/lib/vst3/Quillmere.vst3 >/dev/null 2>&1 || true
  # Ardour trusts a cache only when it is newer than the plug-in, in whole seconds.
  sleep 1
  find "$home/cache" -type f -exec touch {} +
  cat > "$scratch/find.lua" <<'LUA'
ARDOUR.config():set_hide_dummy_backend(false)
AudioEngine:set_backend("None (Dummy)", "", "")
assert(create_session(os.getenv("QM_SESSION_DIR"), "find", 44100), "could not create a session")
for _, kind in ipairs({{"VST2", ARDOUR.PluginType.LXVST}, {"VST3", ARDOUR.PluginType.VST3},
                       {"LV2", ARDOUR.PluginType.LV2}}) do
  local plugin = ARDOUR.LuaAPI.new_plugin(Session, "Quillmere", kind[2], "")
  print("found " .. kind[1] .. ": " .. (plugin:isnil() and "nothing" or plugin:name()))
end
close_session()
LUA
  QM_SESSION_DIR="$scratch/session" run timeout 120 ardour7-lua "$scratch/find.lua" > "$scratch/ardour.txt" 2>&1 || true
  for kind in VST2 VST3 LV2; do
    grep -q "^found $kind: Quillmere$" "$scratch/ardour.txt" ||
      fail "Ardour does not find the $kind plug-in: $(grep '^found' "$scratch/ardour.txt")"
  done
else
  echo "check-package: Ardour is not installed; the host discovery check is skipped"
fi

dpkg -r quillmere >/dev/null || fail "dpkg -r failed"
# Without configuration files or maintainer scripts, nothing of the package stays in dpkg's database either.
if [ -n "$(dpkg-query -W -f='${db:Status-Abbrev}' quillmere 2>/dev/null)" ]; then
  fail "dpkg still lists the package after dpkg -r: $(dpkg-query -W -f='${db:Status-Abbrev}' quillmere)"
fi
snapshot > "$scratch/after"
diff "$scratch/before" "$scratch/after" >&2 || fail "removing the package left the files above behind or took others"
echo "check-package: $deb installs, is found by the hosts and removes cleanly"
