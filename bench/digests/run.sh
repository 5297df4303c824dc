#!/usr/bin/env bash
# The digests of a signed release against md5sum and sha256sum.
#
# Hashes 8 files of 48 MiB (warm in the page cache) for MD5 alone and for
# MD5 and SHA-256 in one read, as the client checks staged files of an
# unsigned and of a signed release, in the Windows build under Wine (BCrypt's
# SHA-256) and natively (OpenSSL's), and prints throughputs and ratios
# against md5sum and sha256sum measured in the same run, and the time of one
# signature check.
#
#   bench/digests/run.sh      (builds what it needs of both presets)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
win_build=$root/build/win32
cmake --preset win32 >/dev/null && cmake --build --preset win32 --target bench_digests >/dev/null
cmake --preset native >/dev/null && cmake --build --preset native --target bench_digests >/dev/null

work=$(mktemp -d /tmp/bench-digests.XXXXXX)
trap 'cmake/wine-session.sh stop "$win_build" >/dev/null 2>&1; rm -rf "$work"' EXIT
cmake/wine-session.sh start "$win_build"
for i in $(seq 1 8); do head -c $((48 * 1024 * 1024)) /dev/urandom > "$work/large$i.bin"; done
cat "$work"/large*.bin > /dev/null   # page cache
mib=$((8 * 48))

seconds() { local start; start=$(date +%s%N); "$@" > /dev/null; python3 -c "print(($(date +%s%N) - $start) / 1e9)"; }
best() { local a b c; a=$(seconds "$@"); b=$(seconds "$@"); c=$(seconds "$@"); python3 -c "print(min($a, $b, $c))"; }
md5sum_s=$(best md5sum "$work"/large*.bin)
sha256sum_s=$(best sha256sum "$work"/large*.bin)

windows_paths=()
for f in "$work"/large*.bin; do windows_paths+=("Z:${f//\//\\}"); done
wine_out=$("$win_build/wine-run.sh" "$win_build/bin/bench_digests.exe" "${windows_paths[@]}")
native_out=$("$root/build/native/bin/bench_digests" "$work"/large*.bin)

python3 - "$mib" "$md5sum_s" "$sha256sum_s" <<PY
import sys
mib, md5sum, sha256sum = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3])
def figures(text):
    return {line.split()[0]: float(line.split()[1]) for line in text.splitlines() if line.strip()}
print("%d MiB in 8 files, one thread" % mib)
print("md5sum:    %7.1f MiB/s" % (mib / md5sum))
print("sha256sum: %7.1f MiB/s" % (mib / sha256sum))
for name, text in (("Windows build under Wine (BCrypt)", """$wine_out"""), ("native build, ASan/UBSan (OpenSSL)", """$native_out""")):
    f = figures(text)
    print(name + ":")
    print("  MD5 alone (unsigned release):     %7.1f MiB/s, ratio to md5sum %.2f" % (mib / f["md5_seconds"], md5sum / f["md5_seconds"]))
    print("  MD5 + SHA-256 (signed release):   %7.1f MiB/s, ratio to md5sum + sha256sum %.2f" % (mib / f["md5_sha256_seconds"], (md5sum + sha256sum) / f["md5_sha256_seconds"]))
    print("  one release statement check (256 KiB manifest): %.2f ms" % f["signature_check_ms"])
PY
