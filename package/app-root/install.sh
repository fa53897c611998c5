#!/bin/bash
# Installs the backend by hand from an unpacked package: the code tree beside this script
# becomes the code root, and uv is put into ~/.local/bin when it is missing there.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
uv_dir=""
if [ -e "$here/../bin/uv" ]; then
  uv_dir=$(cd "$here/../bin" && pwd)
  if [ ! -e "$HOME/.local/bin/uv" ]; then
    mkdir -p "$HOME/.local/bin"
    cp "$uv_dir/uv" "$HOME/.local/bin/uv"
    echo "Zainstalowano $HOME/.local/bin/uv"
  fi
fi
chmod 755 "$here/installer/"*.sh
exec bash "$here/installer/bootstrap.sh" "$here" "$uv_dir"
