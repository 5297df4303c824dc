#include "manifest/parallel_digests.h"

#include "crypto/md5.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
// Opening the file is the existence test: a missing path or a folder fails
// to open, and a separate look first would cost as much again per file.
std::optional<std::string> DigestIfFile(const std::string& path) {
    std::string digest;
    if (CMD5::GetFileMD5(path, digest) != 0) return std::nullopt;
    return digest;
}
}  // namespace

std::vector<std::optional<std::string>> HashExistingFiles(const std::vector<std::string>& paths, size_t maxThreads) {
    std::vector<std::optional<std::string>> digests(paths.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < paths.size(); i = next++) digests[i] = DigestIfFile(paths[i]);
    };
    const size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t threads = std::min(maxThreads == 0 ? cores : maxThreads, paths.size());
    if (threads <= 1) {
        work();
        return digests;
    }
    {
        std::vector<std::jthread> helpers;  // joined at the end of this scope, before digests is handed out
        for (size_t t = 1; t < threads; ++t) helpers.emplace_back(work);
        work();
    }
    return digests;
}
