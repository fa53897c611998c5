#!/usr/bin/env bash
# Sets everything up, builds the program and runs it from the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
exec build/bin/halvaren-tessary
