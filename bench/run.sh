#!/usr/bin/env bash
# Sets everything up, builds, and runs the benchmarks; results go to bench/results/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if ! command -v chromium >/dev/null; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends chromium </dev/null
fi
bash scripts/build.sh build
exec python3 bench/bench.py "$@"
