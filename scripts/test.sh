#!/usr/bin/env bash
# Sets everything up, builds, and runs every test tier: unit and logic tests also under
# AddressSanitizer and UndefinedBehaviorSanitizer, integration tests against the real
# desktop stack on a display and session bus of their own (xvfb-run, dbus-run-session).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

echo "== Format and data files"
git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' |
  xargs clang-format --dry-run --Werror
desktop-file-validate data/org.halvaren.Tessary.desktop
appstreamcli validate --no-net data/org.halvaren.Tessary.metainfo.xml

echo "== Sanitizer build: unit and logic tiers"
bash scripts/build.sh build-asan -DTESSARY_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 ctest -L 'unit|logic' --output-on-failure -j"$(nproc)")

echo "== Fuzzing: a few seconds per rule over its corpus"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DTESSARY_FUZZ=ON -DTESSARY_SANITIZE=ON \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_navigation fuzz_shell_quote fuzz_js_string
(cd build-fuzz && ctest -L fuzz --output-on-failure -j"$(nproc)")

echo "== All tiers"
bash scripts/build.sh build
cd build
# -noreset: Xvfb otherwise resets when its last client leaves, and a program starting then
# finds no display.
xvfb-run -a -s "-screen 0 1600x1000x24 -nolisten tcp -noreset" dbus-run-session -- \
  ctest --output-on-failure
