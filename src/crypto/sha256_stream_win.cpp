#include "crypto/sha256_stream.h"

#include "crypto/bcrypt_handles_win.h"

#include <algorithm>
#include <limits>

struct Sha256Stream::Impl {
    UniqueAlgorithm algorithm;
    UniqueHash hash;
    bool failed = false;
};

Sha256Stream::Sha256Stream() : impl_(std::make_unique<Impl>()) {
    impl_->algorithm = OpenAlgorithm(BCRYPT_SHA256_ALGORITHM);
    if (impl_->algorithm) impl_->hash = CreateHash(impl_->algorithm.get());
    impl_->failed = !impl_->hash;
}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::Update(const uint8_t* bytes, size_t count) {
    if (impl_->failed) return;
    while (count > 0) {
        const ULONG chunk = static_cast<ULONG>(std::min<size_t>(count, std::numeric_limits<ULONG>::max()));
        if (!BCRYPT_SUCCESS(BCryptHashData(impl_->hash.get(), const_cast<PUCHAR>(bytes), chunk, 0))) {
            impl_->failed = true;
            return;
        }
        bytes += chunk;
        count -= chunk;
    }
}

bool Sha256Stream::Finish(Sha256Digest& digest) {
    const bool finished =
        !impl_->failed &&
        BCRYPT_SUCCESS(BCryptFinishHash(impl_->hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0));
    impl_->failed = true;
    return finished;
}
