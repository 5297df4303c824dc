#include "manifest/parallel_digests.h"

#include "base/running_work.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <thread>

namespace {
// Opening the file is the existence test: a missing path or a folder fails
// to open, and a separate look first would cost as much again per file.
std::optional<FileDigests> DigestIfFile(const DigestRequest& file) {
    FileDigests digests;
    if (!DigestFile(file.Path, file.WithSha256, digests)) return std::nullopt;
    return digests;
}
}  // namespace

std::vector<std::optional<FileDigests>> HashExistingFiles(const std::vector<DigestRequest>& files,
                                                          size_t maxThreads) {
    std::vector<std::optional<FileDigests>> digests(files.size());
    // Largest first: the small files that come last fill the threads' ends
    // evenly, where a large file started last would leave one thread alone.
    std::vector<size_t> order(files.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return files[a].SizeHint > files[b].SizeHint; });
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t n = next++; n < order.size(); n = next++) digests[order[n]] = DigestIfFile(files[order[n]]);
    };
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t threads = std::min(maxThreads == 0 ? cores : maxThreads, files.size());
    if (threads <= 1) {
        work();
        return digests;
    }
    {
        std::vector<std::jthread> helpers;  // joined at the end of this scope, before digests is handed out
        for (size_t t = 1; t < threads; ++t) helpers.push_back(StartCountedThread(work));
        work();
    }
    return digests;
}
