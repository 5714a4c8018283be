#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# check_installer.sh ROOT BUILD_DIR WORK_DIR VST3_CHECK CLAP_CHECK VST3_RUN CLAP_RUN WINE WINESERVER
# Builds the Windows installer from the cross-build in BUILD_DIR (as tools/release.sh does) and, in a fresh wine
# prefix: installs it silently, checks that every file is in place as built (every factory preset of
# effect/PresetTable.h too, as a VST 3 preset in ProgramData and a VST 2 program file in the program folder) and
# the uninstaller is registered, runs the VST 3 and CLAP check hosts on the installed plug-ins and compares what
# they render with their runs on the build tree (VST3_RUN, CLAP_RUN), uninstalls silently and checks that no
# file, folder or registry key of the installation is left, while the user's own presets beside the factory
# ones stay. A second round installs the VST 2 plug-in into a folder given with /D= (one without spaces: wine
# quotes an argument with spaces, and /D= takes the rest of the command line as it is).
set -eu
root=$1 build=$2 work=$3 vst3_check=$4 clap_check=$5 vst3_run=$6 clap_run=$7 wine=$8 wineserver=$9
fail() { echo "check_installer: $*" >&2; exit 1; }

mkdir -p "$work"
stage="$work/stage"
setup="$work/Quillmere-setup.exe"
"$root/tools/stage-windows.sh" "$build" "$stage"
"$root/tools/build-installer.sh" "$stage" "$setup"

scratch=$(mktemp -d -t quillmere-installer.XXXXXX)
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
export WINEPREFIX="$scratch/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
mkdir -p "$scratch/home"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home" XDG_DATA_HOME="$scratch/home" XDG_CACHE_HOME="$scratch/home"
# Runs a Windows program and waits until every program of the prefix has ended (an uninstaller copies itself
# and returns at once).
run() {
  "$wine" "$@" 2>>"$scratch/wine.log" && status=0 || status=$?
  "$wineserver" -w
  return $status
}
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere'
drive="$WINEPREFIX/drive_c"
common="$drive/Program Files/Common Files"
vst3_presets="$drive/ProgramData/VST3 Presets/Quillmere/Quillmere"
vst2_presets="$drive/Program Files/Quillmere/Presets/VST2"
snapshot() { (cd "$drive" && find "Program Files" ProgramData VST2 2>/dev/null | LC_ALL=C sort); }

# Every file the installer must put in place: the stage's file and where it goes, one "built|installed" a line.
presets=$(sed -n 's/^ *{"\([^"]*\)", {.*/\1/p' "$root/effect/PresetTable.h")
[ -n "$presets" ] || fail "no preset names found in effect/PresetTable.h"
installed_files() {
  printf '%s\n' "Quillmere.vst3/Contents/x86_64-win/Quillmere.vst3|$common/VST3/Quillmere.vst3/Contents/x86_64-win/Quillmere.vst3" \
    "Quillmere.clap|$common/CLAP/Quillmere.clap" "Quillmere.dll|$1/Quillmere.dll" \
    "README.txt|$drive/Program Files/Quillmere/README.txt" "LICENSE.txt|$drive/Program Files/Quillmere/LICENSE.txt"
  printf '%s\n' "$presets" | while IFS= read -r name; do
    printf '%s\n' "Presets/VST3/$name.vstpreset|$vst3_presets/$name.vstpreset" \
      "Presets/VST2/$name.fxp|$vst2_presets/$name.fxp"
  done
}

# The first call makes the prefix.
if run reg query "$key" >/dev/null; then fail "a fresh prefix already has the uninstall key"; fi
snapshot > "$scratch/before"

for round in default chosen; do
  if [ $round = default ]; then
    vst2_folder='C:\Program Files\VSTPlugins' vst2_dir="$drive/Program Files/VSTPlugins"
    run "$setup" /S || fail "the silent install failed ($round VST 2 folder)"
  else
    vst2_folder='C:\VST2' vst2_dir="$drive/VST2"
    run "$setup" /S "/D=$vst2_folder" || fail "the silent install failed ($round VST 2 folder)"
  fi
  installed_files "$vst2_dir" > "$scratch/files"
  while IFS= read -r pair; do
    built=${pair%%|*} installed=${pair#*|}
    [ -s "$stage/$built" ] || fail "the stage has no $built"
    cmp -s "$stage/$built" "$installed" || fail "$installed is missing or is not the built $built ($round round)"
  done < "$scratch/files"
  [ -f "$drive/Program Files/Quillmere/Uninstall.exe" ] || fail "no uninstaller in C:\\Program Files\\Quillmere"
  run reg query "$key" > "$scratch/key.txt" || fail "no uninstall entry under $key"
  tr -d '\r' < "$scratch/key.txt" > "$scratch/key"
  for value in "DisplayName +REG_SZ +Quillmere [0-9.]+$" "UninstallString +REG_SZ +\"C:\\\\Program Files\\\\Quillmere\\\\Uninstall.exe\"$" \
               "Vst2Folder +REG_SZ +$(printf '%s' "$vst2_folder" | sed 's/\\/\\\\/g')$"; do
    grep -E -q "^ +$value" "$scratch/key" || fail "the uninstall entry lacks /$value/: $(cat "$scratch/key")"
  done

  if [ $round = default ]; then
    # The installed plug-ins load and render as they do from the build tree.
    mkdir -p "$scratch/vst3" "$scratch/clap"
    run "$vst3_check" 'C:\Program Files\Common Files\VST3\Quillmere.vst3' "Z:$scratch/vst3" ||
      fail "the VST 3 check host failed on the installed bundle: $(cat "$scratch/vst3/problems.txt" 2>/dev/null)"
    run "$clap_check" 'C:\Program Files\Common Files\CLAP\Quillmere.clap' "Z:$scratch/clap" ||
      fail "the CLAP check host failed on the installed plug-in: $(cat "$scratch/clap/problems.txt" 2>/dev/null)"
    for file in vst3/texts.txt vst3/float.raw vst3/double.raw vst3/state.bin \
                clap/texts.txt clap/render-float.raw clap/render-double.raw clap/state.bin; do
      reference="$vst3_run/${file#vst3/}"
      [ "${file%%/*}" = clap ] && reference="$clap_run/${file#clap/}"
      [ -s "$scratch/$file" ] || fail "the check host on the installed plug-in wrote no $file"
      cmp -s "$reference" "$scratch/$file" || fail "$file from the installed plug-in differs from $reference"
    done
  fi

  if [ $round = chosen ]; then
    # The user's own presets beside the factory ones outlive the uninstall, and so do their folders.
    echo mine > "$vst3_presets/My Own.vstpreset"
    echo mine > "$vst2_presets/My Own.fxp"
  fi
  run "C:\\Program Files\\Quillmere\\Uninstall.exe" /S || fail "the silent uninstall failed ($round round)"
  if run reg query "$key" >/dev/null; then fail "the uninstall entry is left after uninstalling"; fi
  if [ $round = chosen ]; then
    for own in "$vst3_presets/My Own.vstpreset" "$vst2_presets/My Own.fxp"; do
      [ "$(cat "$own" 2>/dev/null)" = mine ] || fail "uninstalling removed the user's $own"
      rm "$own"
    done
    # What is left besides them shows in the comparison below.
    for folder in "$vst3_presets" "$drive/ProgramData/VST3 Presets/Quillmere" "$drive/ProgramData/VST3 Presets" \
                  "$vst2_presets" "$drive/Program Files/Quillmere/Presets" "$drive/Program Files/Quillmere"; do
      rmdir "$folder" 2>/dev/null || true
    done
  fi
  snapshot > "$scratch/after"
  diff "$scratch/before" "$scratch/after" >&2 || fail "uninstalling left the files above behind or took others"
  echo "check_installer: $round VST 2 folder: installed, every file in place, uninstalled without a trace"
done
