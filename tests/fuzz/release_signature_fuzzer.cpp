// libFuzzer target: the signature check takes a signature file, a manifest
// and a release key from anywhere (the first byte chooses which of the
// three the rest of the input is; the other two are a published key and
// signature). None may fault, only the signed bytes may verify, and what
// base64 accepts must be the one canonical spelling of its bytes.
#include "base/base64.h"
#include "manifest/release_signature.h"
#include "support/rfc6979_vectors.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 4) {
    case 0:
        CheckManifestSignature("sample", input, kRfcKeyLine);
        break;
    case 1:
        if ((CheckManifestSignature(input, kRfcSampleSignature, kRfcKeyLine) == SignatureCheck::Verified) !=
            (input == "sample")) {
            std::abort();
        }
        break;
    case 2:
        CheckManifestSignature("sample", kRfcSampleSignature, input);
        break;
    case 3: {
        std::string bytes;
        if (DecodeBase64(input, bytes) && EncodeBase64(bytes) != input) std::abort();
        break;
    }
    }
    return 0;
}
