#!/usr/bin/env bash
# start|stop BUILD_DIR: one Xvfb display, one persistent wineserver and an
# initialised private prefix for a whole test run, so that each test process
# starts warm and no window ever needs a person watching.
set -euo pipefail
action=$1
mkdir -p "$2"
build=$(cd "$2" && pwd)
state=$build/wine
export WINEPREFIX=$state/prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
mkdir -p "$state"

case $action in
start)
  "$0" stop "$build" >/dev/null 2>&1 || true
  n=90
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb :$n -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
  echo $! > "$state/xvfb.pid"
  echo ":$n" > "$state/display"
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
  export DISPLAY=:$n
  mkdir -p "$WINEPREFIX"
  wineserver -p >/dev/null 2>&1 </dev/null
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wine wineboot --init >/dev/null 2>&1
  fi
  wine cmd /c exit >/dev/null 2>&1
  ;;
stop)
  wineserver -k 2>/dev/null || true
  if [ -f "$state/xvfb.pid" ]; then kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true; fi
  rm -f "$state/xvfb.pid" "$state/display"
  ;;
esac
