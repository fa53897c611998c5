#!/usr/bin/env bash
# The Debian package as a user gets it: built by scripts/package.sh, its fields and files,
# lintian, installed into a scratch root of its own, started for a first run to the sample
# panel, and purged without a trace. Usage: package_test.sh SOURCE_DIR VERSION
set -euo pipefail
cd "$1"
fail() { echo "FAIL: $*" >&2; exit 1; }
bash scripts/package.sh >/dev/null
deb=dist/halvaren-tessary_$2_amd64.deb
[ -f "$deb" ] || fail "no $deb"

[ "$(dpkg-deb -f "$deb" Package)" = halvaren-tessary ] || fail "package name"
for dep in python3 'bash (>= 5.0)' libwebkit2gtk-4.1-0 libgtk-3-0 libayatana-appindicator3-1; do
  dpkg-deb -f "$deb" Depends | grep -qF "$dep" || fail "no dependency on $dep"
done
dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -v '^\./$' && fail "files outside /usr"
lintian --fail-on error "$deb" >&2 || fail "lintian"

root=$(mktemp -d)
home=$(mktemp -d)
trap 'kill "${pid:-0}" 2>/dev/null || true; rm -rf "$root" "$home"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg() { command dpkg --root="$root" --force-depends --force-not-root --log=/dev/null "$@"; }
dpkg -i "$deb" >/dev/null 2>&1  # the scratch root has none of the dependencies

HOME=$home XDG_DATA_HOME=$home/.local/share NO_AT_BRIDGE=1 "$root/usr/bin/halvaren-tessary" \
  >"$home/out.log" 2>&1 </dev/null &
pid=$!
log=$home/.local/share/HalvarenTessary/native-shell.log
for _ in $(seq 600); do grep -q 'GET /nagrania' "$log" 2>/dev/null && break; sleep 0.1; done
grep -q 'GET /nagrania' "$log" 2>/dev/null || fail "no sample panel: $(cat "$home/out.log")"
kill -TERM "$pid"
wait "$pid" || fail "quit"
grep -q 'Serwer panelu zatrzymany.' "$log" || fail "quitting did not stop the server"

dpkg --purge halvaren-tessary >/dev/null
left=$(find "$root" -path "$root/var" -prune -o -type f -print)
[ -z "$left" ] || fail "left after purge: $left"
echo "package: 1 passed, 0 failed"
