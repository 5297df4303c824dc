#!/usr/bin/env bash
# Patches against Debian's bsdiff on real consecutive builds of Windows
# programs.
#
#   bench/delta/run.sh [BUILD_DIR]      (default build/win32)
#
# Pairs: this repository's Update.exe one commit apart and several commits
# apart, and its publisher.exe several commits apart (each commit built in
# a temporary worktree; ONE_OLD, ONE_NEW and FEW_OLD choose the commits),
# and consecutive releases of Windows binaries from the npm registry (Go,
# Rust, C++; lightningcss's 64-bit DLL, whose patch seeks all over its
# base). Prints per pair and in total: the new file's size, its gzip -9
# size, our patch, bsdiff's patch, the time and peak memory to make each
# (ours through bench_delta under Wine, bsdiff natively), whether ours
# applied as the updater applies it (and why not), and the time and peak
# working set to apply it under Wine. The goals are checked at the end.
set -euo pipefail
src=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$src/build/win32}" && pwd)
one_old=${ONE_OLD:-a541d8c}
one_new=${ONE_NEW:-b0b45b2}
few_old=${FEW_OLD:-9603110}
npm_pairs=(
  "@esbuild/win32-ia32 0.28.1 0.28.2 package/esbuild.exe"
  "@rollup/rollup-win32-ia32-msvc 4.69.2 4.69.3 package/rollup.win32-ia32-msvc.node"
  "7zip-bin 5.1.1 5.2.0 package/win/ia32/7za.exe"
  "lightningcss-win32-x64-msvc 1.32.0 1.33.0 package/lightningcss.win32-x64-msvc.node"
)

bash "$src/tools/setup-deps.sh" bsdiff time
command -v npm >/dev/null || bash "$src/tools/setup-deps.sh" npm
cmake --build "$build" --target bench_delta >/dev/null

work=$(mktemp -d /tmp/bench-delta.XXXXXX)
# Below the source, so that the compiler cache serves the builds; the
# programs built stay there for the next run.
programs="$src/build/bench-delta"
cleanup() {
  "$src/cmake/wine-session.sh" stop "$build" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
"$src/cmake/wine-session.sh" start "$build" >/dev/null
win() { "$build/wine-run.sh" "$@"; }
winpath() { echo "Z:${1//\//\\}"; }

# The shipped Update.exe and publisher.exe of one commit.
build_commit() {
  local commit=$1 tree="$programs/tree"
  if [ ! -f "$programs/$commit/publisher.exe" ]; then
    echo "building $commit..." >&2
    mkdir -p "$programs/$commit"
    git -C "$src" worktree add --detach "$tree" "$commit" >/dev/null 2>&1
    (cd "$tree" && cmake --preset win32 >/dev/null && cmake --build build/win32 --target Update publisher >/dev/null)
    cp "$tree/build/win32/bin/Update.exe" "$tree/build/win32/bin/publisher.exe" "$programs/$commit/"
    git -C "$src" worktree remove --force "$tree"
  fi
}
build_commit "$one_old"; build_commit "$one_new"; build_commit "$few_old"

pairs=()   # "label old new"
pairs+=("Update.exe-1-commit $programs/$one_old/Update.exe $programs/$one_new/Update.exe")
pairs+=("Update.exe-few-commits $programs/$few_old/Update.exe $programs/$one_new/Update.exe")
pairs+=("publisher.exe-few-commits $programs/$few_old/publisher.exe $programs/$one_new/publisher.exe")
for entry in "${npm_pairs[@]}"; do
  read -r package old new file <<<"$entry"
  for version in "$old" "$new"; do
    mkdir -p "$work/npm/$version"
    (cd "$work/npm/$version" && npm pack --silent "$package@$version" >/dev/null && tar xzf ./*.tgz)
  done
  pairs+=("${package##*/}-$old-$new $work/npm/$old/$file $work/npm/$new/$file")
done

results=$work/results
: > "$results"
for entry in "${pairs[@]}"; do
  read -r label old new <<<"$entry"
  echo "measuring $label..." >&2
  gz=$(gzip -9 -c "$new" | wc -c)
  # A pair whose patch is not made, or not applied, is reported with why
  # (one word: spaces become underscores) instead of ending the run.
  applied=""
  rm -f "$work/ours.out"
  if ! made=$(win "$build/bin/bench_delta.exe" make "$(winpath "$old")" "$(winpath "$new")" \
              "$(winpath "$work/ours.patch")" 2>"$work/why"); then
    made="" status="not-made:$(tr -d '\r' < "$work/why")"
  elif ! applied=$(win "$build/bin/bench_delta.exe" apply "$(winpath "$work/ours.patch")" "$(winpath "$old")" \
                   "$(winpath "$work/ours.out")" "$(stat -c %s "$new")" "$(md5sum < "$new" | cut -c1-32)" \
                   2>"$work/why"); then
    applied="" status="refused:$(tr -d '\r' < "$work/why")"
  elif ! cmp -s "$work/ours.out" "$new"; then
    status="another-file"
  else
    status=yes
  fi
  status=$(printf '%s' "$status" | sed 's/bench_delta: //g' | tr ' \n' '__')
  bs=$( { /usr/bin/time -f "%e %M" bsdiff "$old" "$new" "$work/bs.patch"; } 2>&1 | tail -1)
  echo "$label $(stat -c %s "$old") $(stat -c %s "$new") $gz $(stat -c %s "$work/bs.patch") $bs applied $status" \
       "$(echo "$made" | tr '\r\n' '  ')" "$(echo "$applied" | tr '\r\n' '  ' | sed 's/peak/apply_peak/g')" >> "$results"
done

cp "$results" "$programs/results.txt"
python3 - "$results" <<'PY'
import sys
rows = []
for line in open(sys.argv[1]):
    p = line.split()
    row = dict(label=p[0], base=int(p[1]), new=int(p[2]), gz=int(p[3]), bs=int(p[4]), bs_s=float(p[5]), bs_kib=int(p[6]))
    it = iter(p[7:])
    for k, v in zip(it, it):
        row[k] = v if k == "applied" else float(v)
    rows.append(row)
done = [r for r in rows if r["applied"] == "yes"]
print("%-42s %10s %9s %9s %9s %6s %6s | %6s %6s %8s %8s | %7s %6s %8s" % (
    "pair", "new", ".gz", "ours", "bsdiff", "/bs", "/.gz", "make s", "bs s", "make MiB", "bs MiB", "applied", "apply",
    "peak MiB"))
for r in rows:
    if r["applied"] != "yes":
        print("%-42s %10d %9d %9s %9d %6s %6s | %6s %6.2f %8s %8.1f | %7s" % (
            r["label"], r["new"], r["gz"], "-", r["bs"], "-", "-", "-", r["bs_s"], "-", r["bs_kib"] / 1024, "no"))
        continue
    make_mib = (r["peak_kib"] - r["peak_before_kib"]) / 1024
    print("%-42s %10d %9d %9d %9d %6.2f %6.3f | %6.2f %6.2f %8.1f %8.1f | %7s %6.3f %8.1f" % (
        r["label"], r["new"], r["gz"], r["patch_bytes"], r["bs"], r["patch_bytes"] / r["bs"], r["patch_bytes"] / r["gz"],
        r["make_seconds"], r["bs_s"], make_mib, r["bs_kib"] / 1024, "yes", r["apply_seconds"], r["apply_peak_kib"] / 1024))
t = {k: sum(r[k] for r in done) for k in ("new", "gz", "patch_bytes", "bs", "make_seconds", "bs_s")}
print("%-42s %10d %9d %9d %9d %6.2f %6.3f | %6.2f %6.2f" % ("total of the pairs applied", t["new"], t["gz"],
      t["patch_bytes"], t["bs"], t["patch_bytes"] / t["bs"], t["patch_bytes"] / t["gz"], t["make_seconds"], t["bs_s"]))
print()
print("make MiB: bench_delta's peak working set less its own at start (both files held); bs MiB: bsdiff's maximum RSS")
print("applied: the patch made, applied from its file under Wine as the updater applies it, is the new file")
print("apply: best of three, under Wine, result checked against size and MD5; peak MiB: the whole Wine process")
for r in rows:
    if r["applied"] != "yes":
        print("%s: no patch applied: %s" % (r["label"], r["applied"].replace("_", " ")))
print("goal: every pair gets a patch that applies: %d of %d" % (len(done), len(rows)))
worst_ratio = max(r["patch_bytes"] / r["bs"] for r in done)
one = [r for r in done if r["label"].startswith("Update.exe-1-commit")][0]
worst_time = max(r["make_seconds"] / r["bs_s"] for r in done)
worst_memory = max((r["peak_kib"] - r["peak_before_kib"]) * 1024 / r["base"] for r in done)
large = [r for r in done if r["new"] >= 10 * 1000 * 1000]
print("goal: patch <= 1.1 x bsdiff: worst pair %.2f, total %.2f" % (worst_ratio, t["patch_bytes"] / t["bs"]))
print("goal: one-commit Update.exe <= 0.1 x .gz: %.3f" % (one["patch_bytes"] / one["gz"]))
print("goal: making <= 2 x bsdiff's time: worst pair %.2f, total %.2f" % (worst_time, t["make_seconds"] / t["bs_s"]))
print("goal: making <= 10 x the base in memory: worst %.1f" % worst_memory)
for r in large:
    print("goal: applying %s (%.1f MB) <= 0.3 s and < 16 MiB: %.3f s, %.1f MiB" % (
        r["label"], r["new"] / 1e6, r["apply_seconds"], r["apply_peak_kib"] / 1024))
PY
