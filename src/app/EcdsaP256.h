// ECDSA on the NIST P-256 curve from the platform's CNG provider: the publisher's signature
// over the CDN configuration. Keys travel as raw bytes: the public key is X || Y (64 bytes),
// the private key X || Y || d (96 bytes); a signature is r || s (64 bytes).
#pragma once

#include <string>

// A new key pair; false when the provider cannot make one.
bool GenerateP256KeyPair(std::string* privateKey, std::string* publicKey);

// Signs a 32-byte digest; false for a key or digest of the wrong size or a provider failure.
bool SignP256(const std::string& privateKey, const std::string& digest, std::string* signature);

// True only when signature is a valid signature of the 32-byte digest under publicKey.
bool VerifyP256(const std::string& publicKey, const std::string& digest,
                const std::string& signature);
