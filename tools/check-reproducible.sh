#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks that a release is reproducible: runs tools/release.sh a second time, into a scratch folder, and compares
# every file with DIST_DIR (made by an earlier tools/release.sh on the same commit) byte for byte. The second
# run takes its compiled objects from ccache, so it costs mostly linking and packaging.
#   tools/check-reproducible.sh [DIST_DIR]
set -e
root="$(cd "$(dirname "$0")/.." && pwd)"
first=$(realpath "${1:-$root/dist}")
second=$(mktemp -d)
trap 'rm -rf "$second"' EXIT
[ -n "$(ls "$first")" ] || { echo "check-reproducible: $first is empty" >&2; exit 1; }
"$root/tools/release.sh" "$second" >/dev/null
status=0
for name in $( (ls "$first"; ls "$second") | LC_ALL=C sort -u); do
  if [ ! -e "$first/$name" ] || [ ! -e "$second/$name" ]; then
    echo "check-reproducible: $name is made by one run only" >&2
    status=1
  elif ! cmp -s "$first/$name" "$second/$name"; then
    echo "check-reproducible: $name differs between two runs: $(cmp "$first/$name" "$second/$name" 2>&1)" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "check-reproducible: two release runs gave the same $(ls "$first" | wc -l) files"
exit $status
