#!/usr/bin/env bash
# Latency benchmark: Update.exe -silent against curl over a link with a
# round trip, made by bench/link_proxy.py (every chunk held
# DELAY_MS each way) in front of a private nginx on loopback.
#
#   bench/latency/run.sh [BUILD_DIR] [UPDATE_EXE]
#        (default build/win32 and its bin/Update.exe; ROUNDS=3, DELAY_MS=10;
#         BASELINE=path/to/another/Update.exe times that one too, in the same rounds)
#
# Releases:
#  - 400 changed files of 4 KiB, published with a pack (the pack route:
#    byte ranges of the pack) and without (the per-file route: a GET per
#    file). For each route, the wall time of a whole silent run (Wine start,
#    manifest, comparison, fetch, install) through the link and straight
#    from nginx, and a run that finds nothing to fetch; curl fetches the
#    same files through the same link (-Z --parallel-max 8) as the
#    reference. What the link adds is the run through it minus the same run
#    straight from the server.
#  - 2,000 changed files of up to 16 KiB: the requests the pack route takes
#    for them (nginx's access log); and the same release with every other
#    file installed already, which asks for 1,000 ranges.
#  - The 400 files from servers that answer ranges otherwise (nginx set up
#    to answer the first range only, 200 with the whole pack, 501), through
#    the link, against the per-file route (and, with BASELINE, that build's
#    per-file route). Every install is compared with the release byte by byte.
#  - One changed file of 64 MiB, against curl.
# Every round starts from the same installed client; the best round counts.
# Peak memory is the largest resident size of the Update.exe process seen
# while it ran (sampled every 10 ms).
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

# random_files FOLDER COUNT MIN MAX: COUNT files of MIN to MAX random bytes.
random_files() {
  python3 - "$@" <<'PY'
import os, random, sys
folder, count, low, high = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
os.makedirs(folder, exist_ok=True)
for i in range(count):
    with open(os.path.join(folder, "f%04d.bin" % i), "wb") as f:
        f.write(os.urandom(random.randint(low, high)))
PY
}

# serve_odd WWW PLAIN_WWW STATE: nginx serving WWW as servers that answer
# ranges otherwise do: several ranges of a pack answered with the first
# alone (a proxy that keeps only the first), with 200 and the whole pack
# (max_ranges 0), and with 501; and PLAIN_WWW as it is, for the per-file
# route from the same server. Each is behind a link of its own, whose port
# goes to STATE/<first|whole|501|perfile>.port.
serve_odd() {
  local www=$1 plain=$2 state=$3 name ports
  mkdir -p "$state/logs"
  read -r -a ports < <(python3 -c 'import socket
s = [socket.socket() for _ in range(5)]
for x in s: x.bind(("127.0.0.1", 0))
print(" ".join(str(x.getsockname()[1]) for x in s))')
  cat > "$state/nginx.conf" <<CONF
user $(id -un);
daemon off;
worker_processes 1;
pid $state/nginx.pid;
error_log $state/logs/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  keepalive_timeout 300s;
  client_body_temp_path $state/body;
  proxy_temp_path $state/proxy;
  fastcgi_temp_path $state/fastcgi;
  uwsgi_temp_path $state/uwsgi;
  scgi_temp_path $state/scgi;
  keepalive_requests 100000;
  map \$http_range \$first_range { "~^(?<first>bytes=[0-9]+-[0-9]*)" \$first; default ""; }
  server {
    listen 127.0.0.1:${ports[0]};
    root $www;
    location /1/packs/ {
      proxy_pass http://127.0.0.1:${ports[1]};
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Range \$first_range;
    }
  }
  server { listen 127.0.0.1:${ports[1]}; root $www; }
  server { listen 127.0.0.1:${ports[2]}; root $www; max_ranges 0; }
  server { listen 127.0.0.1:${ports[3]}; root $www; location /1/packs/ { if (\$http_range) { return 501; } } }
  server { listen 127.0.0.1:${ports[4]}; root $plain; }
}
CONF
  nginx -p "$state" -c "$state/nginx.conf" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 100); do [ -s "$state/nginx.pid" ] && break; sleep 0.05; done
  pids+=("$(cat "$state/nginx.pid")")
  for name in first:0 whole:2 501:3 perfile:4; do
    python3 "$src/bench/link_proxy.py" "${ports[${name#*:}]}" --delay-ms "$delay_ms" > "$state/${name%%:*}.port" &
    pids+=($!)
  done
  for name in first whole 501 perfile; do
    for _ in $(seq 50); do [ -s "$state/$name.port" ] && break; sleep 0.1; done
  done
}

# prepare NAME RELEASE [PUBLISHER OPTIONS]: RELEASE (2.0) published into
# $work/NAME/www, served by nginx straight and through the link, and a
# client of 1.0 (installed) and one of 2.0 with the files (current) for each.
prepare() {
  local name=$1 release=$2 dir=$work/$1
  shift 2
  mkdir -p "$dir/www" "$dir/nginx"
  "$native/publisher" --program --version 2.0 --region cn "$@" "$release" "$dir/www" >/dev/null 2>&1
  serve_through_line "$dir/www" "$dir/nginx" --delay-ms "$delay_ms"
  installed_client "$dir/installed" "$update_exe" "$line_port"
  installed_client "$dir/direct" "$update_exe" "$(cat "$dir/nginx/port")"
  cp -a "$dir/installed" "$dir/current"
  cp -a "$release/." "$dir/current/"
  "$native/configtool" set "$dir/current/Config.dat" Update Version 2.0 >/dev/null
}

echo "preparing releases in $work" >&2
releases=$work/releases
random_files "$releases/small/files" 400 4096 4096
random_files "$releases/many/files" 2000 1 16384
mkdir -p "$releases/large"
head -c 64M /dev/urandom > "$releases/large/large.bin"
prepare pack "$releases/small"
prepare plain "$releases/small" --pack-max 0
prepare many "$releases/many"
prepare large "$releases/large"
# The same 2,000 files, every other one installed already: 1,000 ranges.
cp -a "$work/many/installed" "$work/many/scattered"
for f in "$releases"/many/files/f*[02468].bin; do
  mkdir -p "$work/many/scattered/files" && cp "$f" "$work/many/scattered/files/"
done
serve_odd "$work/pack/www" "$work/plain/www" "$work/odd"
for name in first whole 501 perfile; do
  installed_client "$work/odd-$name/installed" "$update_exe" "$(head -1 "$work/odd/$name.port")"
done

best() { sort -n | head -1; }

# peak_kb PROGRAM OUT: the largest VmHWM of the process running PROGRAM, into OUT, until stopped.
peak_kb() {
  local program=$1 out=$2 peak=0 pid hwm
  while :; do
    for pid in $(pgrep -f "$program" 2>/dev/null); do
      hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null || echo 0)
      [ "${hwm:-0}" -gt "$peak" ] && peak=$hwm && echo "$peak" > "$out"
    done
    sleep 0.01
  done
}

# update DIR FROM [EXE]: one silent run in a fresh copy of DIR/FROM; prints
# its seconds, and keeps its peak memory in DIR/peak.
update() {
  local dir=$1 from=$2 exe=${3:-} t0 t1 sampler
  rm -rf "$dir/app" && cp -a "$dir/$from" "$dir/app"
  [ -n "$exe" ] && cp "$exe" "$dir/app/Update.exe"
  echo 0 > "$dir/peak"
  peak_kb "$dir/app/Update.exe" "$dir/peak" &
  sampler=$!
  t0=$(now)
  (cd "$dir/app" && "$build/wine-run.sh" "$dir/app/Update.exe" -silent </dev/null >/dev/null 2>&1)
  t1=$(now)
  kill "$sampler"; wait "$sampler" 2>/dev/null || true
  # Byte by byte, every file of the release.
  local release=$releases/small
  case $dir in */many) release=$releases/many ;; */large) release=$releases/large ;; esac
  local differs
  differs=$(diff -rq "$release" "$dir/app" 2>/dev/null | grep -c "^Only in $release\|^Files .* differ" || true)
  [ "$differs" = 0 ] || { echo "Update.exe did not install $dir" >&2; exit 1; }
  elapsed "$t0" "$t1"
}

curl_small() {
  local dir=$work/plain t0 t1 port
  port=$(head -1 "$dir/nginx/proxy.port")
  rm -rf "$dir/curl" && mkdir -p "$dir/curl"
  for i in $(seq -f %04g 0 399); do
    printf 'url = "http://127.0.0.1:%s/1/files/f%s.bin"\noutput = "%s/curl/f%s.bin"\n' "$port" "$i" "$dir" "$i"
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
  curl -s -f -o "$dir/curl.bin" "http://127.0.0.1:$(head -1 "$dir/nginx/proxy.port")/1/large.bin"
  t1=$(now)
  elapsed "$t0" "$t1"
}

declare -A times peaks
record() { times[$1]+="$2 "; peaks[$1]=$(cat "$3/peak"); }
many_requests=
for r in $(seq "$rounds"); do
  echo "round $r" >&2
  for route in pack plain; do
    record "$route-link" "$(update "$work/$route" installed)" "$work/$route"
    record "$route-direct" "$(update "$work/$route" direct)" "$work/$route"
    record "$route-noop" "$(update "$work/$route" current)" "$work/$route"
  done
  times[curl-small]+="$(curl_small) "
  lines=$(wc -l < "$work/many/nginx/logs/access.log")
  record many "$(update "$work/many" installed)" "$work/many"
  many_requests=$(tail -n +"$((lines + 1))" "$work/many/nginx/logs/access.log" | grep -vc 'UpdateConfig.ini' || true)
  lines=$(wc -l < "$work/many/nginx/logs/access.log")
  record scattered "$(update "$work/many" scattered)" "$work/many"
  scattered_requests=$(tail -n +"$((lines + 1))" "$work/many/nginx/logs/access.log" | grep -vc 'UpdateConfig.ini' || true)
  for name in first whole 501 perfile; do
    record "odd-$name" "$(update "$work/odd-$name" installed)" "$work/odd-$name"
  done
  record large "$(update "$work/large" installed)" "$work/large"
  times[curl-large]+="$(curl_large) "
  if [ -n "$baseline" ]; then
    record baseline-small "$(update "$work/odd-perfile" installed "$baseline")" "$work/odd-perfile"
    record baseline-large "$(update "$work/large" installed "$baseline")" "$work/large"
  fi
done
t() { printf '%s\n' ${times[$1]} | best; }

echo
echo "delay ${delay_ms} ms each way, best of $rounds rounds (seconds; peak memory of the last round)"
row() { printf '%-58s %8s %8s\n' "$1" "$2" "${3:+$3 KiB}"; }
row "400 x 4 KiB, pack route, through the link" "$(t pack-link)" "${peaks[pack-link]}"
row "400 x 4 KiB, pack route, straight from nginx" "$(t pack-direct)"
row "400 x 4 KiB, pack route, nothing to fetch" "$(t pack-noop)"
row "400 x 4 KiB, per-file route, through the link" "$(t plain-link)" "${peaks[plain-link]}"
row "400 x 4 KiB, per-file route, straight from nginx" "$(t plain-direct)"
row "400 x 4 KiB, per-file route, nothing to fetch" "$(t plain-noop)"
row "curl -Z --parallel-max 8, 400 x 4 KiB, through the link" "$(t curl-small)"
row "2,000 x up to 16 KiB, pack route, through the link" "$(t many)" "${peaks[many]}"
row "the same, every other file installed already (1,000 ranges)" "$(t scattered)" "${peaks[scattered]}"
row "400 x 4 KiB, a server with the first range only, pack route" "$(t odd-first)" "${peaks[odd-first]}"
row "400 x 4 KiB, a server with 200 and the whole pack, pack route" "$(t odd-whole)" "${peaks[odd-whole]}"
row "400 x 4 KiB, a server with 501 to ranges, pack route" "$(t odd-501)" "${peaks[odd-501]}"
row "400 x 4 KiB, the same server, per-file route" "$(t odd-perfile)" "${peaks[odd-perfile]}"
row "Update.exe -silent, 1 x 64 MiB changed" "$(t large)" "${peaks[large]}"
row "curl, 1 x 64 MiB" "$(t curl-large)"
echo
awk -v link="$(t pack-link)" -v direct="$(t pack-direct)" -v curl="$(t curl-small)" \
    -v plink="$(t plain-link)" -v pdirect="$(t plain-direct)" 'BEGIN {
  printf "small, pack route: the link adds %.3f s = %.2f x curl (goal <= 0.25: %s); the run / curl = %.2f (goal <= 0.75: %s)\n",
    link - direct, (link - direct) / curl, (link - direct) / curl <= 0.25 ? "met" : "NOT met",
    link / curl, link / curl <= 0.75 ? "met" : "NOT met"
  printf "small, per-file route: the link adds %.3f s = %.2f x curl; the run / curl = %.2f\n",
    plink - pdirect, (plink - pdirect) / curl, plink / curl }'
echo "many: $many_requests requests for 2,000 files (goal <= 40: $([ "$many_requests" -le 40 ] && echo met || echo NOT met));" \
     "$scattered_requests requests for 1,000 of them every other one"
echo "peak memory: $(printf '%s ' "${peaks[@]}" | tr ' ' '\n' | sort -n | sed -n '1p;$p' | paste -sd- ) KiB over every run above"
for name in first whole 501; do
  awk -v n="$name" -v a="$(t "odd-$name")" -v b="$(t odd-perfile)" -v c="${baseline:+$(t baseline-small)}" 'BEGIN {
    printf "%s: pack route %.3f s against the per-file route from the same server %.3f s: %s", n, a, b, a <= b ? "no slower" : "SLOWER"
    if (c != "") printf "; against the baseline'"'"'s per-file route %.3f s: %s", c, a <= c ? "no slower" : "SLOWER"
    printf "\n" }'
done
awk -v u="$(t large)" -v c="$(t curl-large)" 'BEGIN {
  printf "large: Update.exe / curl = %.2f (%.1f MB/s against %.1f MB/s)\n", u / c, 64 * 1.048576 / u, 64 * 1.048576 / c }'
if [ -n "$baseline" ]; then
  awk -v u="$(t odd-perfile)" -v b="$(t baseline-small)" -v l="$(t large)" -v bl="$(t baseline-large)" 'BEGIN {
    printf "Update.exe / baseline: small (per-file route) %.2f, large %.2f (target for large <= 1)\n", u / b, l / bl }'
fi
