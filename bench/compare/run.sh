#!/usr/bin/env bash
# Manifest comparison against md5sum over the same installed tree.
#
# Builds an installed tree of 2,000 files (512 MiB: 8 large, the rest small)
# and a manifest in which every digest matches, warms the page cache, then
# prints md5sum's throughput and the comparison's (one hashing thread, and
# as the updater runs it) as ratios, the peak memory, the cost per entry
# of manifests of 10,000 and 100,000 absent files, the same tree compared
# a second time with remembered digests, and the cost per remembered entry
# of trees of 10,000 and 100,000 tiny files.
#
# Then whole runs: a data package of 2 GiB (32 files of 64 MiB and 1,000
# small ones) served by nginx on loopback, through
# Update.exe -silent -t:2 -d:Big three times, a few seconds apart as runs at
# the client's starts are (a file changed within two seconds of a compare
# is read again by the next one): the install, then two runs that find it
# current. It prints each run's wall time, what its compare took from
# memory and what it read, and the third run against the first. PACKAGE=0
# leaves this part out.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
cd "$src"
build=$src/build/win32
native=$src/build/native/bin
cmake --preset win32 >/dev/null
cmake --build --preset win32 --target bench_compare publisher Update >/dev/null
cmake --preset native >/dev/null
cmake --build --preset native --target publisher configtool >/dev/null

source "$src/bench/update_client.sh"
win() { "$build/wine-run.sh" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }

echo "building the trees..." >&2
mkdir -p "$work/app"
for i in $(seq 1 8); do head -c $((48 * 1024 * 1024)) /dev/urandom > "$work/app/large$i.bin"; done
python3 - "$work" <<'PY'
import hashlib, os, sys
work = sys.argv[1]
root = os.path.join(work, "app")
for i in range(1992):
    d = os.path.join(root, "dir%02d" % (i % 40))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "f%04d.dat" % i), "wb") as f:
        f.write(os.urandom(64 * 1024))
for n in (10000, 100000):
    with open("%s/absent%d.ini" % (work, n), "w", newline="\r\n") as f:
        f.write("[Version]\nUNCONDITIONALUPDATE=1\n[FILES]\n")
        for i in range(n):
            f.write("d%03d\\file%06d.dat\n" % (i % 500, i))
        for i in range(n):
            f.write("[d%03d\\file%06d.dat]\nSIZE=4096\nMODIFYTIME=2026-12-01 10:00:00\nMD5=%032x\n" % (i % 500, i, i))
# Tiny files, 200 to a folder: the first 10,000 are the smaller tree.
sections = []
for i in range(100000):
    name = "t%03d\\tiny%06d.dat" % (i // 200, i)
    data = os.urandom(100)
    path = os.path.join(work, "tiny", name.replace("\\", "/"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    sections.append("[%s]\nSIZE=100\nMD5=%s\n" % (name, hashlib.md5(data).hexdigest()))
for n in (10000, 100000):
    with open("%s/tiny%d.ini" % (work, n), "w", newline="\r\n") as f:
        f.write("[Version]\nUNCONDITIONALUPDATE=1\n[FILES]\n")
        f.write("".join(s.split("]")[0][1:] + "\n" for s in sections[:n]))
        f.write("".join(sections[:n]))
PY
total_bytes=$(du -sb "$work/app" | cut -f1)
win "$build/bin/publisher.exe" --program --version 1 "$(winpath "$work/app")" "$(winpath "$work/www")" >/dev/null 2>&1
manifest=$work/www/1/UpdateConfig.ini

seconds() { local start; start=$(date +%s%N); "$@" > /dev/null; python3 -c "print(($(date +%s%N) - $start) / 1e9)"; }
best() { local a b c; a=$(seconds "$@"); b=$(seconds "$@"); c=$(seconds "$@"); python3 -c "print(min($a, $b, $c))"; }
find "$work/app" -type f -exec cat {} + > /dev/null   # page cache
mapfile -d '' app_files < <(find "$work/app" -type f -print0)
md5_seconds=$(best md5sum "${app_files[@]}")
large_bytes=$(cat "$work"/app/large*.bin | wc -c)
md5_large_seconds=$(best md5sum "$work"/app/large*.bin)

memory=$(winpath "$work/UPDATE/Program.digests")
out=$(win "$build/bin/bench_compare.exe" --tree "$(winpath "$work/app")" "$(winpath "$manifest")" "$memory" \
      --absent "$(winpath "$work/absent10000.ini")" --absent "$(winpath "$work/absent100000.ini")")
# Each tiny tree in a process of its own, for its own peak working set.
for n in 10000 100000; do
    out+=$'\n'$(win "$build/bin/bench_compare.exe" --tiny "$(winpath "$work/tiny")" "$(winpath "$work/tiny$n.ini")" "$memory")
done
echo "$out" | sed 's/^/  /' >&2

python3 - "$total_bytes" "$md5_seconds" "$large_bytes" "$md5_large_seconds" <<PY
import sys
total, md5s = int(sys.argv[1]), float(sys.argv[2])
large, md5l = int(sys.argv[3]), float(sys.argv[4])
f = {}
absent = []
for line in """$out""".splitlines():
    parts = line.split()
    if parts[0] == "absent_entries":
        absent.append((int(parts[1]), float(parts[5])))
    else:
        f[parts[0]] = float(parts[1])
mib = total / 1048576
print("tree: %d files, %.0f MiB, all digests matching (listed: %d)" % (f["files_hashed"], mib, f["compare_listed"]))
print("md5sum:                 %7.1f MiB/s" % (mib / md5s))
print("large files only, one thread: %.1f MiB/s, md5sum %.1f MiB/s, ratio %.2f" % (large / 1048576 / f["large_one_thread_seconds"], large / 1048576 / md5l, md5l / f["large_one_thread_seconds"]))
print("compare, one thread:    %7.1f MiB/s  ratio %.2f (target >= 0.9)" % (mib / f["one_thread_seconds"], md5s / f["one_thread_seconds"]))
print("compare, as shipped:    %7.1f MiB/s  ratio %.2f (target >= 1.5 on 2 cores)" % (mib / f["compare_seconds"], md5s / f["compare_seconds"]))
print("peak working set:       %7.1f MiB (largest file 48 MiB)" % (f["peak_working_set_kib"] / 1024))
files = f["files_hashed"]
print("remembered, same tree:  %.4f s (%d from memory, %d read, %d listed), %.3f x the compare (target <= 0.05); %.1f us per file (target <= 60)"
      % (f["tree_remembered_seconds"], f["tree_remembered_files"], f["tree_remembered_read"], f["tree_remembered_listed"],
         f["tree_remembered_seconds"] / f["compare_seconds"], f["tree_remembered_seconds"] * 1e6 / files))
print("  memory file %d bytes: load %.4f s, save %.4f s" % (f["tree_memory_bytes"], f["tree_load_seconds"], f["tree_save_seconds"]))
for n, us in absent:
    print("absent files, %6d entries: %.2f us per entry" % (n, us))
if len(absent) == 2:
    print("cost per entry, 100,000 vs 10,000: %.2f (target <= 1.2)" % (absent[1][1] / absent[0][1]))
per = {}
for n in (10000, 100000):
    p = "tiny%d" % n
    if p + "_remembered_seconds" not in f:
        continue
    per[n] = f[p + "_remembered_seconds"] * 1e6 / n
    print("tiny files, %6d remembered: %.1f us per file (%d from memory, %d read), load %.1f us, save %.1f us per entry, %d bytes; peak working set %.1f MiB"
          % (n, per[n], f[p + "_remembered_files"], f[p + "_remembered_read"], f[p + "_load_seconds"] * 1e6 / n,
             f[p + "_save_seconds"] * 1e6 / n, f[p + "_memory_bytes"], f[p + "_peak_working_set_kib"] / 1024))
if len(per) == 2:
    print("cost per remembered entry, 100,000 vs 10,000: %.2f (target <= 1.2)" % (per[100000] / per[10000]))
PY

[ "${PACKAGE:-1}" = 0 ] && exit 0
rm -rf "$work/app" "$work/tiny" "$work/www"   # room in the page cache for the package
echo "building the 2 GiB package..." >&2
pkg=$work/package
mkdir -p "$pkg/release"
for i in $(seq -w 1 32); do head -c $((64 * 1024 * 1024)) /dev/urandom > "$pkg/release/large$i.bin"; done
python3 - "$pkg/release" <<'PY'
import os, sys
for i in range(1000):
    d = os.path.join(sys.argv[1], "small%02d" % (i % 10))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "s%04d.dat" % i), "wb") as f:
        f.write(os.urandom(4096 + 37 * i))
PY
"$native/publisher" --package 2 --no-gzip "$pkg/release" "$pkg/www" >/dev/null 2>&1
port=$("$src/tools/serve-static.sh" "$pkg/www" "$pkg/nginx")
pids+=("$(cat "$pkg/nginx/nginx.pid")")
installed_client "$pkg/app" "$build/bin/Update.exe" "$port"
package_bytes=$(du -sb "$pkg/release" | cut -f1)

win cmd /c exit   # Wine's own start-up, once per session, counts for no run
times=()
for run in 1 2 3; do
  [ "$run" = 1 ] || sleep 3
  t0=$(now)
  (cd "$pkg/app" && "$build/wine-run.sh" "$pkg/app/Update.exe" -silent -t:2 -d:Big </dev/null >/dev/null 2>&1) ||
    { echo "run $run: Update.exe failed (exit code $?)" >&2; tail -5 "$pkg/app/UPDATE/update.log" >&2; exit 1; }
  times+=("$(elapsed "$t0" "$(now)")")
done
diff -r -q -x config.ini "$pkg/release" "$pkg/app/Big" >/dev/null || { echo "the package was not installed whole" >&2; exit 1; }
mapfile -t compares < <(grep -o 'compared the installed files: .*' "$pkg/app/UPDATE/update.log")

echo
echo "package: $(find "$pkg/release" -type f | wc -l) files, $((package_bytes / 1048576)) MiB; Update.exe -silent -t:2 -d:Big three times, 3 s apart (seconds)"
labels=("1: install, everything fetched" "2: unchanged" "3: unchanged")
for i in 0 1 2; do
  printf '  %-32s %8s  %s\n' "${labels[$i]}" "${times[$i]}" "${compares[$i]#compared the installed files: }"
done
awk -v a="${times[0]}" -v b="${times[1]}" -v c="${times[2]}" 'BEGIN {
  printf "second run / first: %.3f; third run / first: %.3f (target <= 0.3)\n", b / a, c / a }'
