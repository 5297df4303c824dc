// bench_compare [--tree APP_FOLDER MANIFEST MEMORY_FILE] [--absent MANIFEST]... [--tiny FOLDER MANIFEST MEMORY_FILE]
//
// Times the manifest comparison over an installed tree whose every digest
// matches (so all of its cost is reading and hashing), once with the hashing
// on one thread and once as the updater runs it; then the same tree
// compared with remembered digests (a first compare that learns them, a
// second that should read nothing); then the comparison of manifests whose
// files are all absent (the cost per entry), and of trees of tiny files
// compared from memory (the cost per remembered entry). Prints one
// "key value" line per figure for bench/compare/run.sh.
#include "base/file_io.h"
#include "base/path_info.h"
#include "best_seconds.h"
#include "manifest/manifest.h"
#include "manifest/parallel_digests.h"
#include "manifest/remembered_digests_file.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
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

// The release as a run reads it, once per compare as a run does.
Release ReadManifest(const std::string& manifestPath) {
    std::string bytes;
    Release release;
    if (ReadWholeFile(manifestPath, kMaxManifestBytes, bytes) != FileReadStatus::Ok ||
        !ReadRelease(bytes, ManifestLayout::Program, 1, release)) {
        std::fprintf(stderr, "bench_compare: %s is no manifest\n", manifestPath.c_str());
    }
    return release;
}

std::vector<std::string> ListedNames(const std::string& manifestPath) {
    std::vector<std::string> names;
    for (const S_UpdateFileInfo& file : ReadManifest(manifestPath).Files) names.push_back(file.FileName);
    return names;
}

size_t Compare(const std::string& manifestPath, const std::string& folder, RememberedDigests* memory = nullptr) {
    std::vector<S_UpdateFileInfo> changed;
    CompareManifest(ReadManifest(manifestPath), S_UpdateCheckInfo(folder, "", ""), changed, memory);
    return changed.size();
}

// The remembered compare of a tree: the first compare learns, the memory
// goes to disk and comes back, the second decides from it.
void CompareRemembered(const char* prefix, const std::string& manifestPath, const std::string& folder,
                       const std::string& memoryPath) {
    RemoveFile(memoryPath);
    RememberedDigests learning(folder);
    auto start = std::chrono::steady_clock::now();
    Compare(manifestPath, folder, &learning);
    std::printf("%s_learning_seconds %.4f\n", prefix, Seconds(start));
    start = std::chrono::steady_clock::now();
    SaveRememberedDigests(memoryPath, learning);
    std::printf("%s_save_seconds %.4f\n", prefix, Seconds(start));
    std::printf("%s_memory_bytes %lld\n", prefix, static_cast<long long>(FileSize(memoryPath)));

    RecallCounts counts;
    size_t listed = 0;
    double loadSeconds = 1e9;
    const double compareSeconds = BestSeconds([&] {
        const auto loadStart = std::chrono::steady_clock::now();
        LoadedDigests loaded = LoadRememberedDigests(memoryPath, folder);
        loadSeconds = std::min(loadSeconds, Seconds(loadStart));
        listed = Compare(manifestPath, folder, &loaded.Memory);
        counts = loaded.Memory.Counts();
    }, 10);  // short enough to take the best of ten: Wine's many small calls suffer most from a busy machine
    std::printf("%s_load_seconds %.4f\n", prefix, loadSeconds);
    std::printf("%s_remembered_seconds %.4f\n", prefix, compareSeconds - loadSeconds);
    std::printf("%s_remembered_files %zu\n", prefix, counts.Remembered);
    std::printf("%s_remembered_read %zu\n", prefix, counts.Read);
    std::printf("%s_remembered_listed %zu\n", prefix, listed);
}

// Hashing alone (one thread), the compare as the updater runs it, and the
// remembered compare of the tree.
void CompareTree(const std::string& folder, const std::string& manifestPath, const std::string& memoryPath) {
    const std::vector<std::string> names = ListedNames(manifestPath);
    std::vector<DigestRequest> paths;
    for (const auto& name : names) paths.push_back({folder + name});

    // The large files alone: what hashing costs without the per-file cost of
    // opening (which Wine makes many times larger than Windows does).
    std::vector<DigestRequest> largePaths;
    for (const auto& path : paths) {
        if (path.Path.find("large") != std::string::npos) largePaths.push_back(path);
    }
    std::printf("large_one_thread_seconds %.3f\n", BestSeconds([&] { HashExistingFiles(largePaths, 1); }));
    std::printf("one_thread_seconds %.3f\n", BestSeconds([&] { HashExistingFiles(paths, 1); }));
    std::printf("files_hashed %zu\n", paths.size());

    size_t listed = 0;
    std::printf("compare_seconds %.3f\n", BestSeconds([&] { listed = Compare(manifestPath, folder); }));
    std::printf("compare_listed %zu\n", listed);
    std::printf("peak_working_set_kib %zu\n", PeakWorkingSetKiB());
    CompareRemembered("tree", manifestPath, folder, memoryPath);
}

void CompareAbsent(const std::string& folder, const std::string& manifestPath) {
    const auto start = std::chrono::steady_clock::now();
    const size_t listed = Compare(manifestPath, folder);
    const double seconds = Seconds(start);
    std::printf("absent_entries %zu seconds %.3f per_entry_us %.2f\n", listed, seconds,
                listed == 0 ? 0.0 : seconds * 1e6 / static_cast<double>(listed));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_compare [--tree APP_FOLDER MANIFEST MEMORY_FILE] [--absent MANIFEST]... "
                             "[--tiny FOLDER MANIFEST MEMORY_FILE]\n");
        return 2;
    }
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--tree" && i + 3 < argc) {
            folder = S_UpdateCheckInfo(argv[i + 1], "", "").LocalFolder;
            CompareTree(folder, argv[i + 2], argv[i + 3]);
            i += 3;
        } else if (option == "--absent" && i + 1 < argc) {
            CompareAbsent(folder + "absent\\", argv[++i]);
        } else if (option == "--tiny" && i + 3 < argc) {
            const std::vector<std::string> names = ListedNames(argv[i + 2]);
            const std::string prefix = "tiny" + std::to_string(names.size());
            CompareRemembered(prefix.c_str(), argv[i + 2], S_UpdateCheckInfo(argv[i + 1], "", "").LocalFolder,
                              argv[i + 3]);
            std::printf("%s_peak_working_set_kib %zu\n", prefix.c_str(), PeakWorkingSetKiB());
            i += 3;
        } else {
            std::fprintf(stderr, "bench_compare: unexpected %s\n", argv[i]);
            return 2;
        }
    }
    return 0;
}
