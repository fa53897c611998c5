#!/usr/bin/env bash
# The program-level scenarios that need no X11 input events, run again on a headless Wayland
# compositor. Usage: wayland.sh PYTHON (from tests/program, with the program in TESSARY_PROGRAM)
set -euo pipefail
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'kill "$weston" 2>/dev/null || true; rm -rf "$XDG_RUNTIME_DIR"' EXIT
weston --backend=headless-backend.so --socket=wayland-tessary --idle-time=0 \
  >"$XDG_RUNTIME_DIR/weston.log" 2>&1 &
weston=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/wayland-tessary" ] && break; sleep 0.1; done
WAYLAND_DISPLAY=wayland-tessary GDK_BACKEND=wayland "$1" -B -m unittest -k Backend -k Wizard test_program
