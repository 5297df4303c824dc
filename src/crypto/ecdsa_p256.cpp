#include "crypto/ecdsa_p256.h"

EcdsaPrivateKey::~EcdsaPrivateKey() {
    // Through a volatile pointer, so that the compiler cannot drop the
    // stores to memory that is about to go.
    volatile uint8_t* secret = Secret.data();
    for (size_t i = 0; i < Secret.size(); ++i) secret[i] = 0;
}
