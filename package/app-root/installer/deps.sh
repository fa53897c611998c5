#!/bin/bash
# Creates the project's virtual environment in $1/.venv with the Python at $2 and installs
# the tessary command there. Needs no network: the sample backend uses the standard library.
set -euo pipefail
root=$1
python=$2
venv=$root/.venv

if [ -x "$venv/bin/python3" ]; then
  echo "      Środowisko wirtualne już istnieje: $venv"
elif "$python" -m venv --without-pip "$venv" 2>/dev/null; then
  echo "      Utworzono środowisko wirtualne: $venv"
else
  # Without Debian's python3-venv extras: a bare environment pointing at the system Python.
  echo "      Moduł venv niedostępny, tworzę proste środowisko: $venv"
  mkdir -p "$venv/bin"
  ln -sf "$python" "$venv/bin/python3"
  ln -sf python3 "$venv/bin/python"
fi

# The command runs the package from the code tree itself.
"$venv/bin/python3" - "$root" "$venv/bin/tessary" <<'PY'
import os, sys
root, target = sys.argv[1], sys.argv[2]
with open(target, "w", encoding="utf-8") as f:
    f.write("#!" + os.path.join(os.path.dirname(target), "python3") + "\n"
            "import sys\n"
            f"sys.path.insert(0, {root!r})\n"
            "from tessary.cli import main\n"
            "sys.exit(main())\n")
os.chmod(target, 0o755)
PY
echo "      Zainstalowano polecenie: $venv/bin/tessary"
