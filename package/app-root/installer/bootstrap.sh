#!/bin/bash
# Setup wizard of the sample backend: prepares the code tree in $1 and records it as the
# program's code root. $2 is the folder of a shipped uv, or empty.
# Prints its progress line by line; exits 0 only when the installation is complete.
set -uo pipefail

root=${1:?użycie: bootstrap.sh KATALOG_KODU [KATALOG_UV]}
uv_dir=${2:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
data_home=${XDG_DATA_HOME:-$HOME/.local/share}
approot=$data_home/HalvarenTessary/approot

fail() {
  echo "Błąd: $*"
  exit 1
}

echo "Kreator instalacji Halvaren Tessary"
echo "Katalog kodu: $root"
[ -n "$uv_dir" ] && echo "Dołączony uv: $uv_dir"

echo "[1/4] Sprawdzanie Pythona 3"
python=$(command -v python3) || fail "nie znaleziono Pythona 3 (python3). Zainstaluj go (np. sudo apt install python3) i uruchom aplikację ponownie."
"$python" -c 'import sys; assert sys.version_info >= (3, 9)' 2>/dev/null ||
  fail "Python 3.9 lub nowszy jest wymagany, znaleziono: $("$python" --version 2>&1)"
echo "      $("$python" --version 2>&1) ($python)"

echo "[2/4] Instalowanie zależności"
bash "$here/deps.sh" "$root" "$python" || fail "instalacja zależności nie powiodła się"

echo "[3/4] Przygotowanie modeli"
bash "$here/models.sh" "$root" || fail "przygotowanie modeli nie powiodło się"

echo "[4/4] Zapisywanie konfiguracji"
[ -e "$root/.venv/bin/tessary" ] || fail "brak polecenia $root/.venv/bin/tessary"
mkdir -p "$(dirname "$approot")" || fail "nie można utworzyć $(dirname "$approot")"
printf '%s\n' "$root" >"$approot.tmp" && mv -f "$approot.tmp" "$approot" ||
  fail "nie można zapisać $approot"
echo "      $approot"
echo "Instalacja zakończona."
