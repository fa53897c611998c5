#!/bin/bash
# Stands in for `uv run tessary serve`: runs the fake backend as its own child, the way uv
# runs the real server. Driven by UV_DELAY, UV_IGNORE_TERM, UV_FAIL and FAKE_BACKEND_ARGS.
echo "uv stand-in: $* in $PWD"
echo $$ > "$HOME/uv.pid"
[ -n "${UV_IGNORE_TERM:-}" ] && trap '' TERM
sleep "${UV_DELAY:-0}"
if [ -n "${UV_FAIL:-}" ]; then
  echo "uv stand-in: failing" >&2
  exit 1
fi
# shellcheck disable=SC2086
python3 -u "$TEST_DATA/fake_backend.py" --pidfile "$HOME/server.pid" ${FAKE_BACKEND_ARGS:-} &
wait
