#!/usr/bin/env bash
# Transfer benchmark: the update component against a bare WinHTTP loop (and,
# for information, curl) fetching one 256 MiB file and 2,000 files of 4 KiB
# from a private nginx on a free loopback port. The component fetches the
# list as a run does, one file at a time (measured against the bare loop,
# which has one connection too) and as many at once as it does by default.
# Prints throughputs, ratios and the number of connections the component
# opened for the small files.
#
#   bench/transfer/run.sh [BUILD_DIR]      (default build/win32; ROUNDS=5)
#
# Every run writes into an empty folder, as an update writes into a fresh
# staging folder; the rounds alternate between the contenders and the best
# round of each counts, which keeps the noise of a shared machine out.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build/win32}" && pwd)
rounds=${ROUNDS:-5}
bench_exe=$build/bin/transfer_bench.exe
[ -x "$build/wine-run.sh" ] && [ -f "$bench_exe" ] || { echo "build the win32 preset first" >&2; exit 1; }

work=$(mktemp -d /tmp/transfer-bench.XXXXXX)
nginx_pid=
started_wine=
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  [ -n "$started_wine" ] && "$src/cmake/wine-session.sh" stop "$build" || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "preparing files in $work" >&2
mkdir -p "$work/root/1/small" "$work/nginx/logs" "$work/out"
head -c 256M /dev/urandom > "$work/root/1/large.bin"
python3 - "$work" <<'PY'
import os, sys
work = sys.argv[1]
with open(os.path.join(work, "small.txt"), "w") as names:
    for i in range(2000):
        name = "small/%04d.bin" % i
        with open(os.path.join(work, "root", "1", name), "wb") as f:
            f.write(os.urandom(4096))
        names.write(name + "\n")
PY

port=$("$src/tools/serve-static.sh" "$work/root" "$work/nginx")
nginx_pid=$(cat "$work/nginx/nginx.pid")

if [ ! -f "$build/wine/display" ]; then
  "$src/cmake/wine-session.sh" start "$build"
  started_wine=1
fi
win_out="Z:${work//\//\\}\\out"

fresh_out() { rm -rf "$work/out"; mkdir -p "$work/out"; }
# run MODE ARGS... -> "seconds bytes" from the benchmark program
run() { fresh_out; "$build/wine-run.sh" "$bench_exe" 127.0.0.1 "$port" "$win_out" "$@" | tr -d '\r'; }
best() { sort -n | head -1; }
mbps() { awk -v s="$1" -v b="$2" 'BEGIN { printf "%.1f", b / s / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b / a }'; }  # time b over time a: throughput a/b

curl_large() {
  local t0 t1
  fresh_out
  t0=$(date +%s.%N)
  curl -s -o "$work/out/curl-large.bin" "http://127.0.0.1:$port/1/large.bin"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}
curl_small() {
  local t0 t1
  fresh_out
  awk -v p="$port" -v o="$work/out" '{ printf "url = \"http://127.0.0.1:%s/1/%s\"\noutput = \"%s/curl-%d.bin\"\n", p, $0, o, NR }' \
    "$work/small.txt" > "$work/curl.cfg"
  t0=$(date +%s.%N)
  curl -s -K "$work/curl.cfg"
  t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.6f\n", b - a }'
}

declare -A times
for what in large small; do
  if [ $what = large ]; then args=(large.bin); bytes=$((256 * 1024 * 1024)); else args=("@Z:${work//\//\\}\\small.txt"); bytes=$((2000 * 4096)); fi
  comp=() parallel=() bare=() replace=() curl=()
  for r in $(seq "$rounds"); do
    echo "round $r: $what" >&2
    : > "$work/nginx/logs/access.log"
    comp+=("$(run component "${args[@]}" | cut -d' ' -f1)")
    if [ $what = small ]; then
      connections=$(awk '{ print $1 }' "$work/nginx/logs/access.log" | sort -u | wc -l)
      requests=$(wc -l < "$work/nginx/logs/access.log")
    fi
    : > "$work/nginx/logs/access.log"
    parallel+=("$(run parallel "${args[@]}" | cut -d' ' -f1)")
    if [ $what = small ]; then
      parallel_connections=$(awk '{ print $1 }' "$work/nginx/logs/access.log" | sort -u | wc -l)
    fi
    bare+=("$(run bare "${args[@]}" | cut -d' ' -f1)")
    replace+=("$(run bare-replace "${args[@]}" | cut -d' ' -f1)")
    if [ $what = large ]; then curl+=("$(curl_large)"); else curl+=("$(curl_small)"); fi
  done
  times[$what,component]=$(printf '%s\n' "${comp[@]}" | best)
  times[$what,parallel]=$(printf '%s\n' "${parallel[@]}" | best)
  times[$what,bare]=$(printf '%s\n' "${bare[@]}" | best)
  times[$what,replace]=$(printf '%s\n' "${replace[@]}" | best)
  times[$what,curl]=$(printf '%s\n' "${curl[@]}" | best)
  times[$what,bytes]=$bytes
done

echo
echo "best of $rounds rounds          component      at once        bare WinHTTP   bare+replace   curl"
for what in large small; do
  b=${times[$what,bytes]}
  printf '%-28s %8s MB/s  %8s MB/s  %8s MB/s  %8s MB/s  %8s MB/s\n' \
    "$what ($( [ $what = large ] && echo '1 x 256 MiB' || echo '2000 x 4 KiB'))" \
    "$(mbps "${times[$what,component]}" "$b")" "$(mbps "${times[$what,parallel]}" "$b")" \
    "$(mbps "${times[$what,bare]}" "$b")" "$(mbps "${times[$what,replace]}" "$b")" "$(mbps "${times[$what,curl]}" "$b")"
done
echo
for what in large small; do
  echo "$what: component / bare WinHTTP = $(ratio "${times[$what,component]}" "${times[$what,bare]}")   (target >= 0.9)"
  echo "$what: component / bare+replace = $(ratio "${times[$what,component]}" "${times[$what,replace]}")   (the component's own cost)"
  echo "$what: at once / bare WinHTTP   = $(ratio "${times[$what,parallel]}" "${times[$what,bare]}")   (information)"
  echo "$what: component / curl         = $(ratio "${times[$what,component]}" "${times[$what,curl]}")   (information)"
done
echo "connections for 2000 small files: one at a time $connections ($requests requests), at once $parallel_connections"
