// The check of a CDN configuration against the publisher's key the launcher carries: signature,
// serial against the installation's store, expiry and a SHA-256 on every record.
#pragma once

#include <string>

#include "app/Sha256.h"
#include "resources/SignedConfig.h"

// The publisher's public key built into this program (X || Y, 64 bytes); empty when the build
// carries none.
std::string BuiltInPublisherKey();

// Reads a public key file the package tool wrote (FILE.pub: 128 hexadecimal digits).
bool ReadPublisherKeyFile(const std::wstring& path, std::string* key);

// Checks a body's signed part, from its tail, with publicKey against the serial kept at
// storePath, at the current UTC time. leadingDigest holds the SHA-256 of the bytes before the
// tail so far (the parse hashed them as they passed); it is finished here. part receives the
// signed part of an accepted body.
ConfigCheckResult CheckConfigSignature(const ConfigTail& tail, Sha256Hasher* leadingDigest,
                                       const std::string& publicKey, const std::wstring& storePath,
                                       SignedPart* part);

// Records an accepted serial when it is above the stored one (errors only lower protection).
void RecordAcceptedSerial(const std::wstring& storePath, const SignedPart& part);
