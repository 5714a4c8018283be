#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building, testing, packaging and the real-host checks need on Debian 12.
# Runs as root as it is (a container, CI), else through sudo. When another package manager holds apt's or dpkg's
# lock, it waits for it (up to 10 minutes) instead of failing at once.
set -e
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps.sh: run it as root (there is no sudo here)" >&2; exit 1; }
  exec sudo "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive
apt_get() { apt-get -o DPkg::Lock::Timeout=600 "$@"; }
apt_get update
apt_get install -y --no-install-recommends \
  ca-certificates cmake make pkg-config ccache g++ clang libclang-rt-14-dev locales python3 git \
  libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev sox \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 \
  ardour dpf-plugins-vst lsp-plugins-vst \
  juce-modules-source-data dpf-source zam-plugins \
  lv2-dev liblilv-dev lilv-utils lv2file lv2proc ecasound sordi lsp-plugins-lv2 x42-plugins \
  libqt6core6 \
  dpkg-dev lintian file zip nsis time man-db groff-base python3-numpy python3-matplotlib
# Qtractor's plug-in scan helper loads CLAP plug-ins without a display; take it from the package without
# installing the whole program.
if [ ! -x /opt/qtractor-scan/usr/lib/x86_64-linux-gnu/qtractor/qtractor_plugin_scan ]; then
  tmp=$(mktemp -d)
  (cd "$tmp" && apt_get download qtractor && dpkg -x qtractor_*.deb /opt/qtractor-scan)
  rm -rf "$tmp"
fi
