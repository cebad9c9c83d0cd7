#include "resources/ConfigSignatureCheck.h"

#include <windows.h>

#include "PublisherKeyData.h"
#include "app/EcdsaP256.h"
#include "app/FileServices.h"
#include "app/Sha256.h"
#include "app/UtcClock.h"
#include "resources/AcceptedSerial.h"

std::string BuiltInPublisherKey() {
    std::string key;
    if (!ParseHexBytes(OMBRIX_PUBLISHER_KEY_HEX, 64, &key)) key.clear();
    return key;
}

bool ReadPublisherKeyFile(const std::wstring& path, std::string* key) {
    std::string text;
    return FileExists(path) && ReadFileBytes(path, &text) && ParseHexBytes(text, 64, key);
}

ConfigCheckResult CheckConfigSignature(const ConfigTail& tail, Sha256Hasher* leadingDigest,
                                       const std::string& publicKey, const std::wstring& storePath,
                                       SignedPart* part) {
    const AcceptedRelease stored = ReadAcceptedSerial(storePath);
    return CheckSignedPart(
        tail, stored.serial, UtcNowSeconds(),
        [&publicKey, leadingDigest](std::string_view signedTail, const std::string& signature) {
            leadingDigest->Update(signedTail.data(), signedTail.size());
            return VerifyP256(publicKey, leadingDigest->Finish(), signature);
        },
        part);
}

void RecordAcceptedSerial(const std::wstring& storePath, const SignedPart& part) {
    if (ReadAcceptedSerial(storePath).serial >= part.serial) return;
    WriteAcceptedSerial(storePath, AcceptedRelease{part.release, part.serial});
}
