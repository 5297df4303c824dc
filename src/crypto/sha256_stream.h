#pragma once
// SHA-256 over bytes that arrive in pieces (a file read in blocks), from the
// system's library like the rest of crypto_primitives.h.
#include "crypto/crypto_primitives.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class Sha256Stream {
public:
    Sha256Stream();
    ~Sha256Stream();
    Sha256Stream(const Sha256Stream&) = delete;
    Sha256Stream& operator=(const Sha256Stream&) = delete;

    void Update(const uint8_t* bytes, size_t count);
    // False when the system's hash could not be used at any point; the
    // stream is spent afterwards either way.
    bool Finish(Sha256Digest& digest);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
