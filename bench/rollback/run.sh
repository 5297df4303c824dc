#!/usr/bin/env bash
# Rollback of a release whose program fails to start, under Wine: twenty
# crashing releases rolled back, kills at three points of a rollback, and
# the extra disk the kept previous release takes (bench/rollback/measure.py).
#
#   bench/rollback/run.sh [BUILD_DIR]      (default build/win32; ROUNDS=20, FILES=2000)
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build/win32}" && pwd)
[ -x "$build/wine-run.sh" ] && [ -f "$build/bin/Update.exe" ] || { echo "build the win32 preset first" >&2; exit 1; }
cmake --build "$build" --target Update configtool publisher QIRAClient >/dev/null
trap '"$src/cmake/wine-session.sh" stop "$build" >/dev/null 2>&1 || true' EXIT
"$src/cmake/wine-session.sh" start "$build" >/dev/null
UPDATE_BUILD_DIR=$build UPDATE_BIN_DIR=$build/bin UPDATE_WINE_RUN=$build/wine-run.sh \
  python3 "$src/bench/rollback/measure.py"
