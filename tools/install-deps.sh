#!/bin/sh
# Installs what building, testing and the real-host checks need on Debian 12.
set -e
if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$0" "$@"
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
apt-get install -y --no-install-recommends \
  ca-certificates cmake make g++ clang libclang-rt-14-dev locales python3 \
  libgtest-dev libgmock-dev libbenchmark-dev libsndfile1-dev sox \
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 \
  ardour dpf-plugins-vst lsp-plugins-vst
