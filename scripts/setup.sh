#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent; runs as root without prompting, or through sudo otherwise.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgtk-3-dev libwebkit2gtk-4.1-dev libayatana-appindicator3-dev libsoup-3.0-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang-format python3 python3-venv clang libclang-rt-dev nlohmann-json3-dev
  xvfb xauth dbus dbus-x11 xdotool x11-utils imagemagick procps
  python3-gi gir1.2-glib-2.0 gir1.2-gtk-3.0 gir1.2-atspi-2.0 at-spi2-core libglib2.0-bin
  desktop-file-utils appstream lintian weston
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
