#pragma once
// Owning wrappers of BCrypt (CNG) handles.
#include <windows.h>
#include <bcrypt.h>

#include <memory>
#include <type_traits>

struct AlgorithmCloser {
    void operator()(BCRYPT_ALG_HANDLE handle) const { BCryptCloseAlgorithmProvider(handle, 0); }
};
struct HashCloser {
    void operator()(BCRYPT_HASH_HANDLE handle) const { BCryptDestroyHash(handle); }
};
struct KeyCloser {
    void operator()(BCRYPT_KEY_HANDLE handle) const { BCryptDestroyKey(handle); }
};

using UniqueAlgorithm = std::unique_ptr<std::remove_pointer_t<BCRYPT_ALG_HANDLE>, AlgorithmCloser>;
using UniqueHash = std::unique_ptr<std::remove_pointer_t<BCRYPT_HASH_HANDLE>, HashCloser>;
using UniqueKey = std::unique_ptr<std::remove_pointer_t<BCRYPT_KEY_HANDLE>, KeyCloser>;

// nullptr when the provider is not available.
inline UniqueAlgorithm OpenAlgorithm(LPCWSTR algorithm) {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0))) return nullptr;
    return UniqueAlgorithm(handle);
}

// A hash object on an algorithm opened with OpenAlgorithm; nullptr on failure.
inline UniqueHash CreateHash(BCRYPT_ALG_HANDLE algorithm) {
    BCRYPT_HASH_HANDLE handle = nullptr;
    // Since Windows 7 CNG allocates the hash object itself when none is given.
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &handle, nullptr, 0, nullptr, 0, 0))) return nullptr;
    return UniqueHash(handle);
}
