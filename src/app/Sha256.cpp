#include "app/Sha256.h"

#include <windows.h>

#include <bcrypt.h>

namespace {

// One algorithm handle for the whole process (opening one costs far more than a hash); CNG
// handles serve several threads at once. Never closed.
BCRYPT_ALG_HANDLE SharedAlgorithm() {
    static const BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        if (::BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0) {
            opened = nullptr;
        }
        return opened;
    }();
    return algorithm;
}

}  // namespace

struct Sha256Hasher::Impl {
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;
};

Sha256Hasher::Sha256Hasher() : impl_(new Impl) {
    Reset();
}

Sha256Hasher::~Sha256Hasher() {
    if (impl_->hash) ::BCryptDestroyHash(impl_->hash);
    delete impl_;
}

void Sha256Hasher::Reset() {
    if (impl_->hash) ::BCryptDestroyHash(impl_->hash);
    impl_->hash = nullptr;
    const BCRYPT_ALG_HANDLE algorithm = SharedAlgorithm();
    impl_->ok = algorithm != nullptr &&
                ::BCryptCreateHash(algorithm, &impl_->hash, nullptr, 0, nullptr, 0, 0) == 0;
}

bool Sha256Hasher::Update(const void* data, size_t length) {
    auto* p = static_cast<UCHAR*>(const_cast<void*>(data));
    while (impl_->ok && length > 0) {
        const ULONG chunk = length > 0x40000000 ? 0x40000000 : static_cast<ULONG>(length);
        impl_->ok = ::BCryptHashData(impl_->hash, p, chunk, 0) == 0;
        p += chunk;
        length -= chunk;
    }
    return impl_->ok;
}

std::string Sha256Hasher::Finish() {
    if (!impl_->ok) return {};
    UCHAR digest[32];
    impl_->ok = false;  // a hash can be finished only once
    if (::BCryptFinishHash(impl_->hash, digest, sizeof(digest), 0) != 0) return {};
    return std::string(reinterpret_cast<const char*>(digest), sizeof(digest));
}

std::string Sha256Digest(const void* data, size_t length) {
    Sha256Hasher hasher;
    hasher.Update(data, length);
    return hasher.Finish();
}
