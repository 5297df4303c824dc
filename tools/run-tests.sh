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

# The README's first command as a newcomer meets it: a fresh clone of what
# is committed, nothing built yet.
echo "== demonstration from a fresh clone" >&2
clone=$(mktemp -d /tmp/update-demo-clone.XXXXXX)
if git clone -q . "$clone/repo" && (cd "$clone/repo" && bash tools/demo.sh) >"$clone/demo.log" 2>&1; then
  tail -n 3 "$clone/demo.log" >&2
else
  cat "$clone/demo.log" >&2
  echo "== the demonstration failed" >&2
  status=1
fi
rm -rf "$clone"
exit $status
