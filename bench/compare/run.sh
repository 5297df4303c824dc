#!/usr/bin/env bash
# Manifest comparison against md5sum over the same installed tree.
#
# Builds an installed tree of 2,000 files (512 MiB: 8 large, the rest small)
# and a manifest in which every digest matches, warms the page cache, then
# prints md5sum's throughput and the comparison's (one hashing thread, and
# as the updater runs it) as ratios, the peak memory, and the cost per entry
# of manifests of 10,000 and 100,000 absent files.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=$root/build/win32
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target bench_compare publisher >/dev/null

work=$(mktemp -d /tmp/bench-compare.XXXXXX)
trap 'cmake/wine-session.sh stop "$build" >/dev/null 2>&1; rm -rf "$work"' EXIT
cmake/wine-session.sh start "$build"
win() { "$build/wine-run.sh" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }

echo "building the tree..." >&2
mkdir -p "$work/app"
for i in $(seq 1 8); do head -c $((48 * 1024 * 1024)) /dev/urandom > "$work/app/large$i.bin"; done
python3 - "$work/app" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(1992):
    d = os.path.join(root, "dir%02d" % (i % 40))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%04d.dat" % i), "wb") as f:
        f.write(os.urandom(64 * 1024))
PY
total_bytes=$(du -sb "$work/app" | cut -f1)
win "$build/bin/publisher.exe" --program --version 1 "$(winpath "$work/app")" "$(winpath "$work/www")" >/dev/null 2>&1
manifest=$work/www/1/UpdateConfig.ini

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
for n in (10000, 100000):
    with open("%s/absent%d.ini" % (work, n), "w", newline="\r\n") as f:
        f.write("[Version]\nUNCONDITIONALUPDATE=1\n[FILES]\n")
        for i in range(n):
            f.write("d%03d\\file%06d.dat\n" % (i % 500, i))
        for i in range(n):
            f.write("[d%03d\\file%06d.dat]\nSIZE=4096\nMODIFYTIME=2026-12-01 10:00:00\nMD5=%032x\n" % (i % 500, i, i))
PY

find "$work/app" -type f -exec cat {} + > /dev/null   # page cache
md5_start=$(date +%s%N)
find "$work/app" -type f -print0 | xargs -0 md5sum > /dev/null
md5_seconds=$(python3 -c "print(($(date +%s%N) - $md5_start) / 1e9)")
large_bytes=$(cat "$work"/app/large*.bin | wc -c)
md5_start=$(date +%s%N)
md5sum "$work"/app/large*.bin > /dev/null
md5_large_seconds=$(python3 -c "print(($(date +%s%N) - $md5_start) / 1e9)")

out=$(win "$build/bin/bench_compare.exe" "$(winpath "$work/app")\\" "$(winpath "$manifest")" \
      "$(winpath "$work/absent10000.ini")" "$(winpath "$work/absent100000.ini")")
echo "$out" | sed 's/^/  /' >&2

python3 - "$total_bytes" "$md5_seconds" "$large_bytes" "$md5_large_seconds" <<PY
import sys
total, md5s = int(sys.argv[1]), float(sys.argv[2])
large, md5l = int(sys.argv[3]), float(sys.argv[4])
figures = {}
absent = []
for line in """$out""".splitlines():
    parts = line.split()
    if parts[0] == "absent_entries":
        absent.append((int(parts[1]), float(parts[5])))
    else:
        figures[parts[0]] = float(parts[1])
mib = total / 1048576
print("tree: %d files, %.0f MiB, all digests matching (listed: %d)" % (figures["files_hashed"], mib, figures["compare_listed"]))
print("md5sum:                 %7.1f MiB/s" % (mib / md5s))
print("large files only, one thread: %.1f MiB/s, md5sum %.1f MiB/s, ratio %.2f" % (large / 1048576 / figures["large_one_thread_seconds"], large / 1048576 / md5l, md5l / figures["large_one_thread_seconds"]))
print("compare, one thread:    %7.1f MiB/s  ratio %.2f (target >= 0.9)" % (mib / figures["one_thread_seconds"], md5s / figures["one_thread_seconds"]))
print("compare, as shipped:    %7.1f MiB/s  ratio %.2f (target >= 1.5 on 2 cores)" % (mib / figures["compare_seconds"], md5s / figures["compare_seconds"]))
print("peak working set:       %7.1f MiB (largest file 48 MiB)" % (figures["peak_working_set_kib"] / 1024))
for n, us in absent:
    print("absent files, %6d entries: %.2f us per entry" % (n, us))
if len(absent) == 2:
    print("cost per entry, 100,000 vs 10,000: %.2f (target <= 1.2)" % (absent[1][1] / absent[0][1]))
PY
