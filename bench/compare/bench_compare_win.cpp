// bench_compare APP_FOLDER MANIFEST [ABSENT_MANIFEST...]
//
// Times the manifest comparison over an installed tree whose every digest
// matches (so all of its cost is reading and hashing), once with the hashing
// on one thread and once as the updater runs it, and then the comparison of
// manifests whose files are all absent (the cost per entry). Prints one
// "key value" line per figure for bench/compare/run.sh.
#include "manifest/manifest.h"
#include "manifest/parallel_digests.h"

#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

size_t PeakWorkingSetKiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_compare APP_FOLDER MANIFEST [ABSENT_MANIFEST...]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::string manifestPath = argv[2];

    std::vector<std::string> names;
    CConfigFile(manifestPath).ReadSection("FILES", names);
    std::vector<DigestRequest> paths;
    for (const auto& name : names) paths.push_back({folder + name});

    // The large files alone: what hashing costs without the per-file cost of
    // opening (which Wine makes many times larger than Windows does).
    std::vector<DigestRequest> largePaths;
    for (const auto& path : paths) {
        if (path.Path.find("large") != std::string::npos) largePaths.push_back(path);
    }
    auto start = std::chrono::steady_clock::now();
    HashExistingFiles(largePaths, 1);
    std::printf("large_one_thread_seconds %.3f\n", Seconds(start));

    start = std::chrono::steady_clock::now();
    const auto digests = HashExistingFiles(paths, 1);
    std::printf("one_thread_seconds %.3f\n", Seconds(start));
    std::printf("files_hashed %zu\n", digests.size());

    std::vector<S_UpdateFileInfo> changed;
    start = std::chrono::steady_clock::now();
    CompareManifest(CConfigFile(manifestPath), S_UpdateCheckInfo(folder, "", ""), changed);
    std::printf("compare_seconds %.3f\n", Seconds(start));
    std::printf("compare_listed %zu\n", changed.size());
    std::printf("peak_working_set_kib %zu\n", PeakWorkingSetKiB());

    for (int i = 3; i < argc; ++i) {
        std::vector<S_UpdateFileInfo> absent;
        start = std::chrono::steady_clock::now();
        CompareManifest(CConfigFile(argv[i]), S_UpdateCheckInfo(folder + "absent\\", "", ""), absent);
        const double seconds = Seconds(start);
        std::printf("absent_entries %zu seconds %.3f per_entry_us %.2f\n", absent.size(), seconds,
                    absent.empty() ? 0.0 : seconds * 1e6 / static_cast<double>(absent.size()));
    }
    return 0;
}
