#!/usr/bin/env bash
# Screenshots of the real windows: the update dialog's two faces (the
# up-to-date one also as a failed check shows it) and the new-version
# notification, as Update.exe shows them under Wine on the build's Xvfb
# display. Writes docs/update-available.png, docs/up-to-date.png,
# docs/check-failed.png and docs/notify.png (each cropped to the window), each only once the window's
# controls show the face the picture is named for; otherwise that picture
# stays as it was and the script ends with an error.
#
#   tools/screenshots.sh [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-$root/docs}
build=$root/build/win32
bin=$build/bin

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Update press_button >/dev/null

work=$(mktemp -d /tmp/update-screens.XXXXXX)
server_pid=""
started_session=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$started_session" ] && cmake/wine-session.sh stop "$build" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

if [ ! -f "$build/wine/display" ]; then
  cmake/wine-session.sh start "$build" >/dev/null
  started_session=1
fi
display=$(cat "$build/wine/display")
win() { "$build/wine-run.sh" "$@"; }

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)

# --- the server: release 4.0.2 of the program, asking for the notification --
mkdir -p "$work/www/1"
printf 'client core 4.0.2\r\n' > "$work/www/1/core.dll"
digest=$(md5sum < "$work/www/1/core.dll" | cut -c1-32)
size=$(stat -c %s "$work/www/1/core.dll")
printf '[Version]\r\nVERSION=4.0.2\r\nREGION=cn\r\nNOTIFIY=1\r\n[FILES]\r\ncore.dll\r\n[core.dll]\r\nSIZE=%s\r\nMD5=%s\r\n' \
  "$size" "$digest" > "$work/www/1/UpdateConfig.ini"
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/www" >/dev/null 2>&1 &
server_pid=$!
# The dialog checks once, as it starts: a server still starting up would
# show it no release at all.
answers() { curl -fsS -o /dev/null --max-time 2 "http://127.0.0.1:$port/1/UpdateConfig.ini" 2>/dev/null; }
for _ in $(seq 50); do
  answers && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.2
done
answers || { echo "screenshots: the HTTP server on port $port does not answer" >&2; exit 1; }

# --- an installed client of a release ---------------------------------------
install() {  # folder version
  mkdir -p "$1"
  cp "$bin/Update.exe" "$1/"
  printf 'client core %s\r\n' "$2" > "$1/core.dll"
  # Plain text is read as configuration too (an administrator's seed).
  printf '[Update]\r\nVersion=%s\r\nRegion=cn\r\nServerIP=127.0.0.1\r\nServerPort=%s\r\n[Server]\r\nWebSiteURL=http://127.0.0.1/\r\n' \
    "$2" "$port" > "$1/Config.dat"
  printf '[Server]\r\nUseProxy=0\r\n' > "$1/UserConfig.dat"
}

# Waits until the window shows its face (press_button's wait-shown or
# wait-text arguments), then until it has painted on the (otherwise black)
# screen; photographs the screen cropped to the window and answers it with a
# button. A window that does not show the face is answered, not photographed.
shoot() {  # name title button face...
  local name=$1 title=$2 button=$3
  shift 3
  if ! win "$bin/press_button.exe" "$title" "$@" 60 >/dev/null 2>&1; then
    echo "screenshots: $name not written: \"$title\" does not show the face it is named for (press_button $*)" >&2
    win "$bin/press_button.exe" "$title" "$button" 5 >/dev/null 2>&1 || true
    return 1
  fi
  for _ in $(seq 60); do
    sleep 1
    import -display "$display" -window root "$work/screen.png"
    convert "$work/screen.png" -trim +repage "$work/window.png" 2>/dev/null || continue
    [ "$(identify -format %w "$work/window.png")" -gt 100 ] && break
  done
  sleep 1  # the first paint may still be under way
  import -display "$display" -window root "$work/screen.png"
  # Without time stamps: a picture changes only when the window does.
  convert "$work/screen.png" -trim +repage -define png:exclude-chunks=date,time "$work/shot.png"
  win "$bin/press_button.exe" "$title" "$button" 20 >/dev/null 2>&1 || true
  mv "$work/shot.png" "$out/$name"
  echo "$out/$name"
}

mkdir -p "$out"
update_title='在线更新'
notify_title='HALVO管家升级通知'

# Control ids (src/ui/res/resource.h): 19504 "关闭" of the dialog, 19508 its
# "立即升级", 19511 its message line, 19517 its heading; 19506 "下次升级" of
# the notification, 19507 its "立即升级".
install "$work/available" 4.0.1
(cd "$work/available" && win Update.exe >/dev/null 2>&1) &
runner=$!
shoot update-available.png "$update_title" 19504 wait-shown 19508 || failed=1
wait "$runner" || true

# Up to date: a check that reached the server and found the installed release.
install "$work/current" 4.0.2
(cd "$work/current" && win Update.exe >/dev/null 2>&1) &
runner=$!
shoot up-to-date.png "$update_title" 19504 wait-text 19511 '您安装的HALVO管家已经是最新版本！' || failed=1
wait "$runner" || true

# A check that failed: no server listens on the port the client names.
install "$work/offline" 4.0.1
sed -i "s/ServerPort=$port/ServerPort=$(free_port)/" "$work/offline/Config.dat"
(cd "$work/offline" && win Update.exe >/dev/null 2>&1) &
runner=$!
shoot check-failed.png "$update_title" 19504 wait-text 19517 '检查更新失败！' || failed=1
wait "$runner" || true

install "$work/silent" 4.0.1
(cd "$work/silent" && win Update.exe -silent >/dev/null 2>&1) &
runner=$!
shoot notify.png "$notify_title" 19506 wait-shown 19507 || failed=1
wait "$runner" || true
exit "${failed:-0}"
