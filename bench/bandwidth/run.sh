#!/usr/bin/env bash
# Bandwidth benchmark: a release of real PE files published plain and
# published compressed, each fetched by Update.exe -silent over a line of
# RATE_KBIT (default 8000, 8 Mbit/s) made by bench/link_proxy.py in front of
# a private nginx on loopback; curl fetches the same files over the same
# line as the reference.
#
#   bench/bandwidth/run.sh [BUILD_DIR] [UPDATE_EXE]
#        (default build/win32 and its bin/Update.exe; ROUNDS=1, RATE_KBIT=8000, DELAY_MS=10)
#
# The release: the 20 DLLs of Wine's i386-windows folder that follow its 5
# largest (about 84 MB of ordinary Windows code). Prints, for each form of
# the release, the bytes that crossed the line towards the client and the
# wall time of a whole silent run (Wine start, manifest, comparison, fetch,
# decoding, install), and the ratios compressed / plain.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build/win32}" && pwd)
update_exe=${2:-$build/bin/Update.exe}
rounds=${ROUNDS:-1}
rate_kbit=${RATE_KBIT:-8000}
delay_ms=${DELAY_MS:-10}
native=$src/build/native/bin
dlls=/usr/lib/i386-linux-gnu/wine/i386-windows
[ -x "$build/wine-run.sh" ] && [ -f "$update_exe" ] || { echo "build the win32 preset first" >&2; exit 1; }
[ -x "$native/publisher" ] && [ -x "$native/configtool" ] || { echo "build the native preset first" >&2; exit 1; }
[ -d "$dlls" ] || { echo "no $dlls (the wine32 package)" >&2; exit 1; }

source "$src/bench/update_client.sh"

echo "preparing the release in $work" >&2
mkdir -p "$work/release/bin"
mapfile -t by_size < <(ls -S "$dlls"/*.dll)
cp "${by_size[@]:5:20}" "$work/release/bin/"
release_bytes=$(du -cb "$work/release/bin"/* | tail -1 | cut -f1)

# prepare FORM [PUBLISHER OPTIONS]: the release published that way, served
# through its own line, and an installed client of 1.0 that has none of it.
prepare() {
  local form=$1 dir=$work/$1
  shift
  mkdir -p "$dir/www" "$dir/nginx"
  "$native/publisher" --program --version 2.0 --region cn "$@" "$work/release" "$dir/www" 2>&1 | tail -1 >&2
  serve_through_line "$dir/www" "$dir/nginx" --delay-ms "$delay_ms" --rate-kbit "$rate_kbit" --count-file "$dir/carried"
  installed_client "$dir/installed" "$update_exe" "$line_port"
  echo "$line_port" > "$dir/port"
}
prepare plain --no-gzip
prepare compressed

carried() { cat "$1/carried" 2>/dev/null || echo 0; }

# update FORM: one silent run in a fresh copy of the installed client;
# prints "seconds bytes-carried".
update() {
  local dir=$work/$1 t0 t1 before
  rm -rf "$dir/app" && cp -a "$dir/installed" "$dir/app"
  before=$(carried "$dir")
  t0=$(now)
  (cd "$dir/app" && "$build/wine-run.sh" "$dir/app/Update.exe" -silent </dev/null >/dev/null 2>&1)
  t1=$(now)
  for f in "$work/release/bin"/*; do
    cmp -s "$f" "$dir/app/bin/$(basename "$f")" || { echo "Update.exe did not install $1: $(basename "$f")" >&2; exit 1; }
  done
  echo "$(elapsed "$t0" "$t1") $(( $(carried "$dir") - before ))"
}

# fetch_curl FORM: curl fetches what the manifest makes travel (NAME.gz
# where listed, else NAME), 6 at once as Update.exe does; "seconds bytes".
fetch_curl() {
  local dir=$work/$1 t0 t1 before
  rm -rf "$dir/curl" && mkdir -p "$dir/curl"
  (cd "$dir/www/1" && for f in bin/*.dll; do
     if [ -f "$f.gz" ]; then f=$f.gz; fi
     printf 'url = "http://127.0.0.1:%s/1/%s"\noutput = "%s/curl/%s"\n' "$(cat "$dir/port")" "$f" "$dir" "$(basename "$f")"
   done) > "$dir/curl.cfg"
  before=$(carried "$dir")
  t0=$(now)
  curl -s -f -Z --parallel-max 6 -K "$dir/curl.cfg" 2>/dev/null
  t1=$(now)
  echo "$(elapsed "$t0" "$t1") $(( $(carried "$dir") - before ))"
}

best() { sort -n | head -1; }
plain=() compressed=() cplain=() ccompressed=()
for r in $(seq "$rounds"); do
  echo "round $r" >&2
  plain+=("$(update plain)")
  compressed+=("$(update compressed)")
  cplain+=("$(fetch_curl plain)")
  ccompressed+=("$(fetch_curl compressed)")
done
read -r t_plain b_plain <<<"$(printf '%s\n' "${plain[@]}" | best)"
read -r t_comp b_comp <<<"$(printf '%s\n' "${compressed[@]}" | best)"
read -r t_cplain b_cplain <<<"$(printf '%s\n' "${cplain[@]}" | best)"
read -r t_ccomp b_ccomp <<<"$(printf '%s\n' "${ccompressed[@]}" | best)"

echo
echo "20 DLLs, $release_bytes bytes; line ${rate_kbit} kbit/s, ${delay_ms} ms each way; best of $rounds (seconds, bytes towards the client)"
printf '%-46s %9s %12s\n' "Update.exe -silent, published plain" "$t_plain" "$b_plain"
printf '%-46s %9s %12s\n' "Update.exe -silent, published compressed" "$t_comp" "$b_comp"
printf '%-46s %9s %12s\n' "curl -Z --parallel-max 6, plain files" "$t_cplain" "$b_cplain"
printf '%-46s %9s %12s\n' "curl -Z --parallel-max 6, the .gz files" "$t_ccomp" "$b_ccomp"
echo
awk -v tp="$t_plain" -v tc="$t_comp" -v bp="$b_plain" -v bc="$b_comp" -v cp="$t_cplain" -v cc="$t_ccomp" 'BEGIN {
  printf "compressed / plain: bytes %.3f (goal <= 0.45: %s), time %.3f (goal <= 0.5: %s)\n",
         bc / bp, (bc <= 0.45 * bp) ? "met" : "NOT met", tc / tp, (tc <= 0.5 * tp) ? "met" : "NOT met"
  printf "Update.exe / curl over the same line: plain %.2f, compressed %.2f\n", tp / cp, tc / cc }'
