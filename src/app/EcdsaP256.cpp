#include "app/EcdsaP256.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace {

const size_t kCoordinate = 32;

BCRYPT_ALG_HANDLE SharedAlgorithm() {
    static const BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (::BCryptOpenAlgorithmProvider(&opened, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) != 0) {
            opened = nullptr;
        }
        return opened;
    }();
    return algorithm;
}

class ScopedKey {
  public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (key_) ::BCryptDestroyKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    BCRYPT_KEY_HANDLE* Receive() { return &key_; }
    BCRYPT_KEY_HANDLE Get() const { return key_; }

  private:
    BCRYPT_KEY_HANDLE key_ = nullptr;
};

// Imports X || Y (public) or X || Y || d (private) as a CNG key blob.
bool ImportKey(const std::string& raw, bool privateKey, ScopedKey* key) {
    const size_t size = privateKey ? 3 * kCoordinate : 2 * kCoordinate;
    if (raw.size() != size || SharedAlgorithm() == nullptr) return false;
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + size);
    BCRYPT_ECCKEY_BLOB header;
    header.dwMagic = privateKey ? BCRYPT_ECDSA_PRIVATE_P256_MAGIC : BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = kCoordinate;
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), raw.data(), size);
    return ::BCryptImportKeyPair(SharedAlgorithm(), nullptr,
                                 privateKey ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB,
                                 key->Receive(), blob.data(), static_cast<ULONG>(blob.size()),
                                 0) == 0;
}

bool ExportKey(BCRYPT_KEY_HANDLE key, bool privateKey, std::string* raw) {
    const LPCWSTR type = privateKey ? BCRYPT_ECCPRIVATE_BLOB : BCRYPT_ECCPUBLIC_BLOB;
    ULONG size = 0;
    if (::BCryptExportKey(key, nullptr, type, nullptr, 0, &size, 0) != 0) return false;
    std::vector<UCHAR> blob(size);
    if (::BCryptExportKey(key, nullptr, type, blob.data(), size, &size, 0) != 0) return false;
    const size_t want = privateKey ? 3 * kCoordinate : 2 * kCoordinate;
    if (size != sizeof(BCRYPT_ECCKEY_BLOB) + want) return false;
    raw->assign(reinterpret_cast<const char*>(blob.data()) + sizeof(BCRYPT_ECCKEY_BLOB), want);
    return true;
}

}  // namespace

bool GenerateP256KeyPair(std::string* privateKey, std::string* publicKey) {
    if (SharedAlgorithm() == nullptr) return false;
    ScopedKey key;
    return ::BCryptGenerateKeyPair(SharedAlgorithm(), key.Receive(), 256, 0) == 0 &&
           ::BCryptFinalizeKeyPair(key.Get(), 0) == 0 && ExportKey(key.Get(), true, privateKey) &&
           ExportKey(key.Get(), false, publicKey);
}

bool SignP256(const std::string& privateKey, const std::string& digest, std::string* signature) {
    if (digest.size() != 32) return false;
    ScopedKey key;
    if (!ImportKey(privateKey, true, &key)) return false;
    // The size query answers 32 under some providers; the signature is r || s, 64 bytes.
    UCHAR buffer[2 * kCoordinate];
    ULONG size = 0;
    if (::BCryptSignHash(
            key.Get(), nullptr, reinterpret_cast<UCHAR*>(const_cast<char*>(digest.data())),
            static_cast<ULONG>(digest.size()), buffer, sizeof(buffer), &size, 0) != 0 ||
        size != sizeof(buffer)) {
        return false;
    }
    signature->assign(reinterpret_cast<const char*>(buffer), sizeof(buffer));
    return true;
}

bool VerifyP256(const std::string& publicKey, const std::string& digest,
                const std::string& signature) {
    if (digest.size() != 32 || signature.size() != 2 * kCoordinate) return false;
    ScopedKey key;
    if (!ImportKey(publicKey, false, &key)) return false;
    return ::BCryptVerifySignature(key.Get(), nullptr,
                                   reinterpret_cast<UCHAR*>(const_cast<char*>(digest.data())),
                                   static_cast<ULONG>(digest.size()),
                                   reinterpret_cast<UCHAR*>(const_cast<char*>(signature.data())),
                                   static_cast<ULONG>(signature.size()), 0) == 0;
}
