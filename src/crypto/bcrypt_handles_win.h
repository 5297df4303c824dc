#pragma once
// Owning wrappers of BCrypt (CNG) handles.
#include "base/unique_any.h"

#include <windows.h>
#include <bcrypt.h>

namespace bcrypt_close {
inline void Algorithm(BCRYPT_ALG_HANDLE handle) { BCryptCloseAlgorithmProvider(handle, 0); }
inline void Hash(BCRYPT_HASH_HANDLE handle) { BCryptDestroyHash(handle); }
inline void Key(BCRYPT_KEY_HANDLE handle) { BCryptDestroyKey(handle); }
}  // namespace bcrypt_close

using UniqueAlgorithm = unique_any<BCRYPT_ALG_HANDLE, &bcrypt_close::Algorithm>;
using UniqueHash = unique_any<BCRYPT_HASH_HANDLE, &bcrypt_close::Hash>;
using UniqueKey = unique_any<BCRYPT_KEY_HANDLE, &bcrypt_close::Key>;

// empty when the provider is not available.
inline UniqueAlgorithm OpenAlgorithm(LPCWSTR algorithm) {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0))) return {};
    return UniqueAlgorithm(handle);
}

// A hash object on an algorithm opened with OpenAlgorithm; empty on failure.
inline UniqueHash CreateHash(BCRYPT_ALG_HANDLE algorithm) {
    BCRYPT_HASH_HANDLE handle = nullptr;
    // Since Windows 7 CNG allocates the hash object itself when none is given.
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0))) return {};
    return UniqueHash(handle);
}
