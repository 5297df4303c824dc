#!/usr/bin/env bash
# Demonstration: a silent program update of an installed client, end to end,
# with a signed release.
#
# Installs what is missing, builds Update.exe, makes a release key with the
# publisher (the private key stays outside the served tree), lays out an
# installed client (stand-in QIRAClient.exe, Update.exe, a Config.dat
# pointing at 127.0.0.1 and holding the public key as ReleaseKey), publishes
# a newer release signed with the key, serves it with nginx on a free
# loopback port, runs "Update.exe -silent" under Wine and prints what
# changed and how many bytes travelled (files that compress well travel as
# NAME.gz). Then it publishes the next signed release with --previous (the
# changed data file also travels as a patch against 4.0.2's copy), changes
# one byte of it on the server and shows that the updater refuses it,
# installs that release as published, printing the bytes that travelled
# against the .gz and plain sizes, and refuses the earlier release replayed.
# Everything lives in a temporary folder removed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash tools/setup-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target Update configtool publisher QIRAClient press_button >/dev/null

build=$root/build/win32
bin=$build/bin
work=$(mktemp -d /tmp/update-demo.XXXXXX)
export UPDATE_WINEPREFIX=$build/wine/demo-prefix
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  WINEPREFIX=$UPDATE_WINEPREFIX wineserver -k 2>/dev/null || true
  [ -f "$build/wine/xvfb.pid" ] && kill "$(cat "$build/wine/xvfb.pid")" 2>/dev/null || true
  rm -f "$build/wine/xvfb.pid" "$build/wine/display"
  rm -rf "$work"
}
trap cleanup EXIT

win() { "$build/wine-run.sh" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }

# A private Wine prefix and display for the demonstration.
mkdir -p "$UPDATE_WINEPREFIX"
n=90; while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
Xvfb :$n -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
echo $! > "$build/wine/xvfb.pid"; echo ":$n" > "$build/wine/display"
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && break; sleep 0.1; done
WINEPREFIX=$UPDATE_WINEPREFIX WINEARCH=win32 wineserver -p >/dev/null 2>&1 </dev/null
win wineboot --init >/dev/null 2>&1 || true

# --- the release key: made once, the private half kept off the server ------
mkdir -p "$work/keys"
echo "== publisher keygen   (once; keys/release.key never goes to the update server)"
release_key=$(win "$bin/publisher.exe" keygen "$(winpath "$work/keys/release.key")" 2>/dev/null | tr -d '\r')
echo "  public key (keys/release.key.pub): $release_key"
echo

# --- the server: release 4.0.2 published, signed, and served by nginx -------
mkdir -p "$work/release/skin" "$work/release/data/new" "$work/www" "$work/nginx/logs"
cp "$bin/QIRAClient.exe" "$work/release/QIRAClient.exe"
printf 'client core 4.0.2\r\n' > "$work/release/core.dll"
printf 'logo 4.0.2' > "$work/release/skin/logo.png"
# A data file that compresses well: it travels as cities.dat.gz.
# Release 4.0.3 changes the population of every 97th city and adds 500.
cities() {
  seq 1 "$1" | awk -v changed="$2" '{ p = ($1 * 7919) % 100000; if (changed && $1 % 97 == 0) p += 1000
                                       printf "city %05d, population %d, region %d\r\n", $1, p, $1 % 31 }'
}
cities 40000 0 > "$work/release/data/new/cities.dat"
printf 'readme, unchanged\r\n' > "$work/release/readme.txt"
echo "== publisher --program --version 4.0.2 --sign keys/release.key"
win "$bin/publisher.exe" --program --version 4.0.2 --region cn --notify --sign "$(winpath "$work/keys/release.key")" \
    "$(winpath "$work/release")" "$(winpath "$work/www")" 2>&1 | tr -d '\r' | grep -E 'signed|gzip' | sed 's/^/  /'
echo "  served: $(cd "$work/www/1" && find . -name 'UpdateConfig.ini*' -o -name '*.gz' | sed 's|^\./||' | sort | tr '\n' ' ')"
echo

port=$(tools/serve-static.sh "$work/www" "$work/nginx")
nginx_pid=$(cat "$work/nginx/nginx.pid")

# --- the installed client: release 4.0.1 ------------------------------------
app=$work/app
mkdir -p "$app/skin"
cp "$bin/Update.exe" "$bin/QIRAClient.exe" "$app/"
printf 'client core 4.0.1\r\n' > "$app/core.dll"
printf 'logo 4.0.1' > "$app/skin/logo.png"
printf 'readme, unchanged\r\n' > "$app/readme.txt"
cfg() { win "$bin/configtool.exe" "$@"; }
cfg set "$(winpath "$app/Config.dat")" Update Version 4.0.1 >/dev/null
cfg set "$(winpath "$app/Config.dat")" Update Region cn >/dev/null
cfg set "$(winpath "$app/Config.dat")" Update ServerIP 127.0.0.1 >/dev/null
cfg set "$(winpath "$app/Config.dat")" Update ServerPort "$port" >/dev/null
cfg set "$(winpath "$app/UserConfig.dat")" Server UseProxy 0 >/dev/null
# The client started after an install is watched for a failed start; the
# stand-in keeps running, so five seconds say as much as the default minute.
cfg set "$(winpath "$app/Config.dat")" Update StartWatchSeconds 5 >/dev/null
# What an installer seeds: from now on only releases signed with the key count.
cfg set "$(winpath "$app/Config.dat")" Update ReleaseKey "$release_key" >/dev/null
# The installer's registry key, empty, as a fresh install leaves it.
win reg delete 'HKLM\SOFTWARE\HALVO管家' /f >/dev/null 2>&1 || true
win reg add 'HKLM\SOFTWARE\HALVO管家' /f >/dev/null 2>&1

state() {
  echo "  files:"
  (cd "$app" && find . -type f ! -name Config.dat ! -name UserConfig.dat ! -name UpdateRecord.dat ! -name client.log | sort | while read -r f; do
     printf '    %-26s %s\n' "${f#./}" "$(md5sum < "$f" | cut -c1-12)"; done)
  echo "  Config.dat [Update] Version: $(cfg get "$(winpath "$app/Config.dat")" Update Version 2>/dev/null | tr -d '\r')"
  echo "  registry:"
  win reg query 'HKLM\SOFTWARE\HALVO管家' 2>/dev/null | tr -d '\r' | grep -E 'InstallPath|Version' | sed 's/^ */    /' || echo "    (none)"
  echo "  UpdateRecord.dat:"
  if [ -f "$app/UpdateRecord.dat" ]; then cfg dump "$(winpath "$app/UpdateRecord.dat")" | tr -d '\r' | sed 's/^/    /'; else echo "    (none)"; fi
}

# The running client holds core.dll the way a loaded DLL is held: it cannot
# be overwritten, only renamed.
(cd "$app" && win QIRAClient.exe --hold-rename-ok core.dll --exit-after 60 >/dev/null 2>&1 &)
for _ in $(seq 50); do [ -s "$app/client.log" ] && break; sleep 0.1; done

echo "== before"
state
echo
echo "== Update.exe -silent   (server 127.0.0.1:$port)"
start=$(date +%s%N)
# The release asks for the new-version notification; answer it with
# "立即升级" as a user would, so the client is closed and started again.
win "$bin/press_button.exe" 'HALVO管家升级通知' 19507 60 >/dev/null 2>&1 &
(cd "$app" && win Update.exe -silent)
echo "   finished in $(( ($(date +%s%N) - start) / 1000000 )) ms (5 s of it is the wait before the client is started again, 5 s the watch of its start)"
sleep 1
echo
echo "== after"
state
echo "  staging folder UPDATE\\Program\\: $([ -e "$app/UPDATE/Program" ] && echo present || echo removed)"
echo "  backups: $(cd "$app" && find . -name '*.bak' | sed 's|^\./||' | tr '\n' ' ')"
echo "  requests served: $(awk '$2 ~ /^\/1\// {print $2}' "$work/nginx/logs/access.log" | tr '\n' ' ')"
echo "  bytes that travelled for the changed files: $(grep -o 'fetched [0-9]* files: [0-9]* bytes received' "$app/UPDATE/update.log" | tail -1 | sed 's/.*: //')" \
     "(their plain size: $(cat "$work/release/core.dll" "$work/release/skin/logo.png" "$work/release/data/new/cities.dat" | wc -c) bytes)"
echo "  client.log:"
tr -d '\r' < "$app/client.log" | sed 's/^/    /'
echo "  UPDATE\\update.log:"
tr -d '\r' < "$app/UPDATE/update.log" | sed 's/^/    /'

# The demonstration fails when the update did not happen.
version=$(cfg get "$(winpath "$app/Config.dat")" Update Version 2>/dev/null | tr -d '\r')
if [ "$version" != 4.0.2 ] || ! cmp -s "$app/core.dll" "$work/release/core.dll" ||
   ! cmp -s "$app/data/new/cities.dat" "$work/release/data/new/cities.dat"; then
  echo "demo: the update did not install release 4.0.2" >&2
  exit 1
fi
# The updater fetched the signature right after the manifest and went on
# only because it verified: with ReleaseKey set there is no other way on.
if ! awk '$2 ~ /^\/1\// {print $2}' "$work/nginx/logs/access.log" | head -2 | tr '\n' ' ' |
     grep -q '^/1/UpdateConfig.ini /1/UpdateConfig.ini.sig $' ||
   ! grep -q 'UpdateConfig.ini.sig: release statement verified with the release key' "$app/UPDATE/update.log"; then
  echo "demo: the updater did not check the release's signature first" >&2
  exit 1
fi
# cities.dat travelled compressed and arrived as the file the manifest lists.
if ! grep -q ' /1/data/new/cities.dat.gz ' "$work/nginx/logs/access.log" ||
   grep -q ' /1/data/new/cities.dat ' "$work/nginx/logs/access.log"; then
  echo "demo: cities.dat did not travel compressed" >&2
  exit 1
fi
echo
echo "== release 4.0.2 installed: its signed statement was verified with [Update] ReleaseKey before any file was fetched,"
echo "   and data/new/cities.dat travelled as cities.dat.gz, decoded and checked on arrival"

# The signed release 4.0.2 as it was served, for an attacker to replay later,
# and its files, which release 4.0.3's patches start from.
cp -a "$work/www/1" "$work/replayed-4.0.2"
cp -a "$work/release" "$work/release-4.0.2"

# --- a release changed on the way: refused ------------------------------------
printf 'client core 4.0.3\r\n' > "$work/release/core.dll"
cities 40500 1 > "$work/release/data/new/cities.dat"
echo
echo "== publisher --program --version 4.0.3 --sign keys/release.key --previous release-4.0.2"
win "$bin/publisher.exe" --program --version 4.0.3 --region cn --sign "$(winpath "$work/keys/release.key")" \
    --previous "$(winpath "$work/release-4.0.2")" "$(winpath "$work/release")" "$(winpath "$work/www")" 2>&1 |
    tr -d '\r' | grep -E 'gzip|patch' | sed 's/^/  /'
echo "  served: $(cd "$work/www/1" && find . -name '*.patch' | sed 's|^\./||' | sort | tr '\n' ' ')"
cp "$work/www/1/UpdateConfig.ini" "$work/UpdateConfig.ini.as-published"
sed -i 's/^VERSION=4.0.3/VERSION=4.0.4/' "$work/www/1/UpdateConfig.ini"
echo
echo "== release 4.0.3 signed, then one byte of its manifest changed on the server (VERSION=4.0.4)"
requests_before=$(wc -l < "$work/nginx/logs/access.log")
log_before=$(wc -l < "$app/UPDATE/update.log")
status=0
(cd "$app" && win Update.exe -silent) || status=$?
echo "  exit code: $status"
echo "  requests: $(tail -n +"$((requests_before + 1))" "$work/nginx/logs/access.log" | awk '{print $2}' | tr '\n' ' ')"
echo "  UPDATE\\update.log, this run:"
tail -n +"$((log_before + 1))" "$app/UPDATE/update.log" | tr -d '\r' | sed 's/^/    /'
version=$(cfg get "$(winpath "$app/Config.dat")" Update Version 2>/dev/null | tr -d '\r')
echo "  Config.dat [Update] Version: $version; core.dll: $(tr -d '\r' < "$app/core.dll")"
echo "  staging folder UPDATE\\Program\\: $([ -e "$app/UPDATE/Program" ] && echo present || echo removed)"
if [ "$version" != 4.0.2 ] || [ "$status" != 3 ] ||
   [ "$(tail -n +"$((requests_before + 1))" "$work/nginx/logs/access.log" | wc -l)" != 2 ]; then
  echo "demo: the changed release was not refused" >&2
  exit 1
fi
echo
echo "== refused: the signed statement names other manifest bytes than those served, so nothing was fetched after it"

# --- the release as published: the changed data file travels as its patch ---
cp "$work/UpdateConfig.ini.as-published" "$work/www/1/UpdateConfig.ini"
requests_before=$(wc -l < "$work/nginx/logs/access.log")
log_before=$(wc -l < "$app/UPDATE/update.log")
(cd "$app" && win Update.exe -silent) || true
echo
echo "== release 4.0.3 as published: Update.exe -silent"
requests=$(tail -n +"$((requests_before + 1))" "$work/nginx/logs/access.log" | awk '{print $2}' | tr '\n' ' ')
echo "  requests: $requests"
echo "  UPDATE\\update.log, this run:"
tail -n +"$((log_before + 1))" "$app/UPDATE/update.log" | tr -d '\r' | sed 's/^/    /'
travelled=$(tail -n +"$((log_before + 1))" "$app/UPDATE/update.log" | grep -o 'fetched [0-9]* files: [0-9]* bytes' |
            grep -o '[0-9]* bytes')
size() { wc -c < "$1"; }
gz_or_plain=$(( $(size "$work/release/core.dll") + $(size "$work/www/1/data/new/cities.dat.gz") ))
plain=$(( $(size "$work/release/core.dll") + $(size "$work/release/data/new/cities.dat") ))
echo "  bytes that travelled for the changed files (core.dll, data/new/cities.dat): ${travelled%% *};" \
     "as .gz where there is one: $gz_or_plain; plain: $plain"
version=$(cfg get "$(winpath "$app/Config.dat")" Update Version 2>/dev/null | tr -d '\r')
if [ "$version" != 4.0.3 ] || ! cmp -s "$app/data/new/cities.dat" "$work/release/data/new/cities.dat" ||
   ! grep -qE '/1/data/new/cities\.dat\.[0-9a-f]{32}\.patch ' <<< "$requests" ||
   grep -q 'cities.dat.gz' <<< "$requests"; then
  echo "demo: release 4.0.3 was not installed from its patch" >&2
  exit 1
fi
echo
echo "== release 4.0.3 installed: data/new/cities.dat was made from its patch against the installed 4.0.2 copy"

# --- an older signed release replayed: refused ------------------------------
# The server hands out 4.0.2 again, signed and whole, as a stale mirror or an
# attacker would.
rm -rf "$work/www/1" && cp -a "$work/replayed-4.0.2" "$work/www/1"
echo
echo "== the server replays the signed release 4.0.2 as it was"
log_before=$(wc -l < "$app/UPDATE/update.log")
status=0
(cd "$app" && win Update.exe -silent) || status=$?
echo "  exit code: $status"
echo "  UPDATE\\update.log, this run:"
tail -n +"$((log_before + 1))" "$app/UPDATE/update.log" | tr -d '\r' | sed 's/^/    /'
version=$(cfg get "$(winpath "$app/Config.dat")" Update Version 2>/dev/null | tr -d '\r')
newest=$(cfg get "$(winpath "$app/Config.dat")" Update NewestPublished.program 2>/dev/null | tr -d '\r')
echo "  Config.dat [Update] Version: $version, NewestPublished.program: $newest; core.dll: $(tr -d '\r' < "$app/core.dll")"
if [ "$version" != 4.0.3 ] || [ "$status" != 3 ] || ! grep -q 'is older than' "$app/UPDATE/update.log"; then
  echo "demo: the replayed release was not refused" >&2
  exit 1
fi
echo
echo "== refused: its statement was published before the newest release this installation accepted"
