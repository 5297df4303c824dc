#!/usr/bin/env bash
# Installs what is missing, builds both presets and runs every test of both.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
status=0
for preset in native win32; do
  echo "== $preset: configure and build" >&2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in native win32; do
  echo "== $preset: tests" >&2
  ctest --preset "$preset" -j2 || status=1
done
exit $status
