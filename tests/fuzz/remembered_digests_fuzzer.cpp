// libFuzzer target: a memory of digests as a damaged or hostile disk could
// hold it. The input gets its checksum appended, so that the parser behind
// the check is reached. Nothing may fault, and what loads must come back
// whole from being written and read again.
#include "crypto/md5_digest.h"
#include "manifest/remembered_digests_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
int64_t FixedClock() { return 133'000'000'000'000'000; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Md5Digest checksum;
    checksum.Update(bytes.data(), bytes.size());
    const auto md5 = checksum.Finish();
    bytes.append(reinterpret_cast<const char*>(md5.data()), md5.size());

    const LoadedDigests loaded = ParseRememberedDigests(bytes, "F\\", &FixedClock);
    if (loaded.State != RememberedDigestsState::Loaded) {
        if (!loaded.Memory.Files().empty()) std::abort();
        return 0;
    }
    const LoadedDigests again = ParseRememberedDigests(SerializeRememberedDigests(loaded.Memory), "F\\", &FixedClock);
    if (again.State != RememberedDigestsState::Loaded) std::abort();
    for (const auto& [key, file] : again.Memory.Files()) {
        const auto found = loaded.Memory.Files().find(key);
        if (found == loaded.Memory.Files().end() || found->second.Md5 != file.Md5 || found->second.ListedAt != file.ListedAt)
            std::abort();
    }
    return 0;
}
