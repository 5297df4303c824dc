#!/usr/bin/env bash
# Latency benchmark: Update.exe -silent against curl over a link with a
# round trip, made by bench/link_proxy.py (every chunk held
# DELAY_MS each way) in front of a private nginx on loopback.
#
#   bench/latency/run.sh [BUILD_DIR] [UPDATE_EXE]
#        (default build/win32 and its bin/Update.exe; ROUNDS=3, DELAY_MS=10;
#         BASELINE=path/to/another/Update.exe times that one too, in the same rounds)
#
# Two releases: 400 changed files of 4 KiB, and one changed file of 64 MiB.
# For each, the wall time of a whole silent run (Wine start, manifest,
# comparison, fetch, install) is set against curl fetching the same files
# through the same proxy (-Z --parallel-max 8 for the small files). A run
# of Update.exe that finds nothing to fetch is timed too: it is the part of
# the run that is no transfer (Wine start-up, manifest, hashing). Every
# round starts from the same installed client; the best round counts.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build/win32}" && pwd)
update_exe=${2:-$build/bin/Update.exe}
rounds=${ROUNDS:-3}
baseline=${BASELINE:-}
delay_ms=${DELAY_MS:-10}
native=$src/build/native/bin
[ -x "$build/wine-run.sh" ] && [ -f "$update_exe" ] || { echo "build the win32 preset first" >&2; exit 1; }
[ -x "$native/publisher" ] && [ -x "$native/configtool" ] || { echo "build the native preset first" >&2; exit 1; }

source "$src/bench/update_client.sh"

# prepare NAME: a release of NAME's files (2.0) served through a delay
# proxy, and an installed client of 1.0 in $work/NAME/installed.
prepare() {
  local name=$1 dir=$work/$1
  mkdir -p "$dir/release" "$dir/www" "$dir/nginx"
  "$native/publisher" --program --version 2.0 --region cn "$dir/release" "$dir/www" >/dev/null
  serve_through_line "$dir/www" "$dir/nginx" --delay-ms "$delay_ms"
  installed_client "$dir/installed" "$update_exe" "$line_port"
  echo "$line_port" > "$dir/port"
}

echo "preparing releases in $work" >&2
mkdir -p "$work/small/release/files" "$work/large/release"
python3 - "$work/small/release/files" <<'PY'
import os, sys
for i in range(400):
    with open(os.path.join(sys.argv[1], "f%03d.bin" % i), "wb") as f:
        f.write(os.urandom(4096))
PY
head -c 64M /dev/urandom > "$work/large/release/large.bin"
prepare small
prepare large
# An installation that is current already: only the manifest is fetched.
cp -a "$work/small/installed" "$work/small/current"
cp -a "$work/small/release/files" "$work/small/current/files"
"$native/configtool" set "$work/small/current/Config.dat" Update Version 2.0 >/dev/null

best() { sort -n | head -1; }

# update NAME [FROM [EXE]]: one silent run in a fresh copy of the installed client.
update() {
  local dir=$work/$1 from=${2:-installed} exe=${3:-} t0 t1
  rm -rf "$dir/app" && cp -a "$dir/$from" "$dir/app"
  [ -n "$exe" ] && cp "$exe" "$dir/app/Update.exe"
  t0=$(now)
  (cd "$dir/app" && "$build/wine-run.sh" "$dir/app/Update.exe" -silent </dev/null >/dev/null 2>&1)
  t1=$(now)
  if [ "$from" = installed ]; then
    if [ "$1" = small ]; then cmp -s "$dir/app/files/f399.bin" "$dir/release/files/f399.bin"
    else cmp -s "$dir/app/large.bin" "$dir/release/large.bin"; fi || { echo "Update.exe did not install $1" >&2; exit 1; }
  fi
  elapsed "$t0" "$t1"
}

curl_small() {
  local dir=$work/small t0 t1
  rm -rf "$dir/curl" && mkdir -p "$dir/curl"
  for i in $(seq -f %03g 0 399); do
    printf 'url = "http://127.0.0.1:%s/1/files/f%s.bin"\noutput = "%s/curl/f%s.bin"\n' "$(cat "$dir/port")" "$i" "$dir" "$i"
  done > "$dir/curl.cfg"
  t0=$(now)
  curl -s -f -Z --parallel-max 8 -K "$dir/curl.cfg" 2>/dev/null
  t1=$(now)
  [ "$(ls "$dir/curl" | wc -l)" = 400 ] || { echo "curl fetched too little" >&2; exit 1; }
  elapsed "$t0" "$t1"
}

curl_large() {
  local dir=$work/large t0 t1
  rm -f "$dir/curl.bin"
  t0=$(now)
  curl -s -f -o "$dir/curl.bin" "http://127.0.0.1:$(cat "$dir/port")/1/large.bin"
  t1=$(now)
  elapsed "$t0" "$t1"
}

small=() noop=() csmall=() large=() clarge=() bsmall=() blarge=()
for r in $(seq "$rounds"); do
  echo "round $r" >&2
  small+=("$(update small)")
  noop+=("$(update small current)")
  csmall+=("$(curl_small)")
  large+=("$(update large)")
  clarge+=("$(curl_large)")
  if [ -n "$baseline" ]; then
    bsmall+=("$(update small installed "$baseline")")
    blarge+=("$(update large installed "$baseline")")
  fi
done
t_small=$(printf '%s\n' "${small[@]}" | best)
t_noop=$(printf '%s\n' "${noop[@]}" | best)
t_csmall=$(printf '%s\n' "${csmall[@]}" | best)
t_large=$(printf '%s\n' "${large[@]}" | best)
t_clarge=$(printf '%s\n' "${clarge[@]}" | best)

echo
echo "delay ${delay_ms} ms each way, best of $rounds rounds (seconds)"
printf '%-52s %8s\n' "Update.exe -silent, 400 x 4 KiB changed" "$t_small"
printf '%-52s %8s\n' "Update.exe -silent, nothing to fetch (start-up, hashing)" "$t_noop"
printf '%-52s %8s\n' "curl -Z --parallel-max 8, 400 x 4 KiB" "$t_csmall"
printf '%-52s %8s\n' "Update.exe -silent, 1 x 64 MiB changed" "$t_large"
printf '%-52s %8s\n' "curl, 1 x 64 MiB" "$t_clarge"
echo
awk -v u="$t_small" -v c="$t_csmall" -v n="$t_noop" 'BEGIN {
  printf "small: Update.exe / curl = %.2f; (Update.exe - nothing-to-fetch run) / curl = %.2f\n", u / c, (u - n) / c
  printf "small: target Update.exe <= 1.5 x curl + 1.5 s = %.3f s: %s\n", 1.5 * c + 1.5, (u <= 1.5 * c + 1.5) ? "met" : "NOT met" }'
awk -v u="$t_large" -v c="$t_clarge" 'BEGIN {
  printf "large: Update.exe / curl = %.2f (%.1f MB/s against %.1f MB/s)\n", u / c, 64 * 1.048576 / u, 64 * 1.048576 / c }'
if [ -n "$baseline" ]; then
  b_small=$(printf '%s\n' "${bsmall[@]}" | best)
  b_large=$(printf '%s\n' "${blarge[@]}" | best)
  echo
  printf '%-52s %8s\n' "baseline Update.exe, 400 x 4 KiB changed" "$b_small"
  printf '%-52s %8s\n' "baseline Update.exe, 1 x 64 MiB changed" "$b_large"
  awk -v u="$t_small" -v b="$b_small" -v l="$t_large" -v bl="$b_large" 'BEGIN {
    printf "Update.exe / baseline: small %.2f, large %.2f (target for large <= 1)\n", u / b, l / bl }'
fi
