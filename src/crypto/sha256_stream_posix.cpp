#include "crypto/sha256_stream.h"

#include "base/unique_any.h"

#include <openssl/evp.h>

namespace {
void FreeDigestContext(EVP_MD_CTX* context) { EVP_MD_CTX_free(context); }
using DigestContext = unique_any<EVP_MD_CTX*, &FreeDigestContext>;
}  // namespace

struct Sha256Stream::Impl {
    DigestContext context;
    bool failed = false;
};

Sha256Stream::Sha256Stream() : impl_(std::make_unique<Impl>()) {
    impl_->context.reset(EVP_MD_CTX_new());
    impl_->failed = !impl_->context || EVP_DigestInit_ex(impl_->context.get(), EVP_sha256(), nullptr) != 1;
}

Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::Update(const uint8_t* bytes, size_t count) {
    if (!impl_->failed && EVP_DigestUpdate(impl_->context.get(), bytes, count) != 1) impl_->failed = true;
}

bool Sha256Stream::Finish(Sha256Digest& digest) {
    unsigned int length = 0;
    const bool finished = !impl_->failed &&
                          EVP_DigestFinal_ex(impl_->context.get(), digest.data(), &length) == 1 &&
                          length == digest.size();
    impl_->failed = true;
    return finished;
}
