// bench_delta make BASE RESULT PATCH
// bench_delta apply PATCH BASE RESULT SIZE MD5
//
// Makes a patch, or applies one as the updater does (the installed copy
// read shared, the result checked against its size and MD5), and prints
// one "key value" line per figure for bench/delta/run.sh: the time, the
// process's peak working set at its start (what Wine itself takes), and
// its peak after the work (making: with both files read whole, as the
// publisher holds them).
#include "base/file_io.h"
#include "best_seconds.h"
#include "delta/patch_file.h"
#include "delta/patch_maker.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

size_t PeakWorkingSetKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1024;
}

std::string ReadOrExit(const std::string& path) {
    std::string bytes;
    if (ReadWholeFile(path, 1ull << 30, bytes) != FileReadStatus::Ok) {
        std::fprintf(stderr, "bench_delta: cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return bytes;
}

int Make(const std::string& basePath, const std::string& resultPath, const std::string& patchPath) {
    const size_t before = PeakWorkingSetKiB();
    const std::string base = ReadOrExit(basePath);
    const std::string result = ReadOrExit(resultPath);
    const auto start = std::chrono::steady_clock::now();
    const MadePatch patch = MakePatch(base, result);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (patch.Status != PatchMaking::Made) {
        std::fprintf(stderr, "bench_delta: no patch: %s\n", PatchMakingReason(patch).c_str());
        return 1;
    }
    if (!ReplaceFileAtomically(patchPath, patch.Bytes)) return 1;
    std::printf("make_seconds %.3f\npeak_before_kib %zu\npeak_kib %zu\npatch_bytes %zu\n", seconds, before,
                PeakWorkingSetKiB(), patch.Bytes.size());
    return 0;
}

int Apply(const std::string& patchPath, const std::string& basePath, const std::string& resultPath,
          const ExpectedResult& expected) {
    const size_t before = PeakWorkingSetKiB();
    PatchResult result;
    const double seconds = BestSeconds([&] { result = ApplyPatchFile(patchPath, basePath, resultPath, expected); });
    if (!result.Applied()) {
        std::fprintf(stderr, "bench_delta: %s\n", DescribePatchResult(result).c_str());
        return 1;
    }
    std::printf("apply_seconds %.3f\npeak_before_kib %zu\npeak_kib %zu\n", seconds, before, PeakWorkingSetKiB());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 5) return Make(argv[2], argv[3], argv[4]);
    if (command == "apply" && argc == 7) return Apply(argv[2], argv[3], argv[4], {std::strtoull(argv[5], nullptr, 10), argv[6], {}});
    std::fprintf(stderr, "usage: bench_delta make BASE RESULT PATCH | apply PATCH BASE RESULT SIZE MD5\n");
    return 2;
}
