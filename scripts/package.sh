#!/usr/bin/env bash
# Builds the Debian package into dist/: bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# Built as Debian builds its binaries: fortified functions, a strong stack protector, full
# RELRO with immediate binding, a position-independent executable.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"  # CMake reads no CPPFLAGS
rm -rf build-package  # flags are read when the tree is configured
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTESSARY_BENCH=OFF >/dev/null
cmake --build build-package -j"$(nproc)"
mkdir -p dist
(cd build-package && cpack -B "$PWD/../dist" >/dev/null)
rm -rf dist/_CPack_Packages
ls dist/*.deb
