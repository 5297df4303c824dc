# Sourced by the benchmarks that time Update.exe over a line of our own
# (bench/latency, bench/bandwidth). Expects $src (the source tree), $build
# (the win32 build) and $native (the native tools' folder); gives a work
# folder, the clean-up of everything started, and the pieces every such
# benchmark needs.

work=$(mktemp -d "/tmp/$(basename "$(dirname "$0")")-bench.XXXXXX")
pids=()
started_wine=
bench_cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "$started_wine" ] && "$src/cmake/wine-session.sh" stop "$build" || true
  rm -rf "$work"
}
trap bench_cleanup EXIT

if [ ! -f "$build/wine/display" ]; then
  "$src/cmake/wine-session.sh" start "$build"
  started_wine=1
fi

# serve_through_line WWW STATE [LINK_PROXY OPTIONS]: nginx on WWW, behind
# bench/link_proxy.py, whose port goes to $line_port (nginx's own to
# STATE/port). Both are stopped at exit (so call it in this shell, not in
# a $(...)).
serve_through_line() {
  local www=$1 state=$2 port
  shift 2
  port=$("$src/tools/serve-static.sh" "$www" "$state")
  echo "$port" > "$state/port"
  pids+=("$(cat "$state/nginx.pid")")
  python3 "$src/bench/link_proxy.py" "$port" "$@" > "$state/proxy.port" &
  pids+=($!)
  for _ in $(seq 50); do [ -s "$state/proxy.port" ] && break; sleep 0.1; done
  line_port=$(head -1 "$state/proxy.port")
}

# installed_client DIR UPDATE_EXE PORT: a client of release 1.0 in DIR that
# asks 127.0.0.1:PORT, without a proxy.
installed_client() {
  local dir=$1
  mkdir -p "$dir"
  cp "$2" "$dir/Update.exe"
  "$native/configtool" set "$dir/Config.dat" Update Version 1.0 >/dev/null
  "$native/configtool" set "$dir/Config.dat" Update Region cn >/dev/null
  "$native/configtool" set "$dir/Config.dat" Update ServerIP 127.0.0.1 >/dev/null
  "$native/configtool" set "$dir/Config.dat" Update ServerPort "$3" >/dev/null
  "$native/configtool" set "$dir/UserConfig.dat" Server UseProxy 0 >/dev/null
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f\n", b - a }'; }
