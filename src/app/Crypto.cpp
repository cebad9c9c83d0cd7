#include "app/Crypto.h"

#include <windows.h>
#include <wincrypt.h>

namespace {

// One provider for the whole process: acquiring one costs far more than a hash, and a provider
// serves hashes of several threads at once. Never released (it lives as long as the process).
HCRYPTPROV SharedProvider() {
    static const HCRYPTPROV provider = [] {
        HCRYPTPROV acquired = 0;
        if (!::CryptAcquireContextW(&acquired, nullptr, nullptr, PROV_RSA_FULL,
                                    CRYPT_VERIFYCONTEXT)) {
            acquired = 0;
        }
        return acquired;
    }();
    return provider;
}

}  // namespace

struct Md5Hasher::Impl {
    HCRYPTHASH hash = 0;
    bool ok = false;
};

Md5Hasher::Md5Hasher() : impl_(new Impl) {
    Reset();
}

Md5Hasher::~Md5Hasher() {
    if (impl_->hash) ::CryptDestroyHash(impl_->hash);
    delete impl_;
}

void Md5Hasher::Reset() {
    if (impl_->hash) ::CryptDestroyHash(impl_->hash);
    impl_->hash = 0;
    const HCRYPTPROV provider = SharedProvider();
    impl_->ok = provider != 0 && ::CryptCreateHash(provider, CALG_MD5, 0, 0, &impl_->hash);
}

bool Md5Hasher::Update(const void* data, size_t length) {
    const BYTE* p = static_cast<const BYTE*>(data);
    while (impl_->ok && length > 0) {
        const DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
        impl_->ok = ::CryptHashData(impl_->hash, p, chunk, 0) != FALSE;
        p += chunk;
        length -= chunk;
    }
    return impl_->ok;
}

std::string Md5Hasher::Finish() {
    if (!impl_->ok) return {};
    BYTE digest[16];
    DWORD size = sizeof(digest);
    if (!::CryptGetHashParam(impl_->hash, HP_HASHVAL, digest, &size, 0) || size != 16) return {};
    impl_->ok = false;  // a hash value can be read only once
    return std::string(reinterpret_cast<const char*>(digest), 16);
}

std::string Md5Digest(const std::string& bytes) {
    Md5Hasher hasher;
    hasher.Update(bytes.data(), bytes.size());
    return hasher.Finish();
}

std::string Base64Encode(const std::string& bytes) {
    if (bytes.empty()) return {};
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD length = 0;
    if (!::CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()), flags, nullptr, &length)) {
        return {};
    }
    std::string text(length, '\0');
    if (!::CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()),
                                static_cast<DWORD>(bytes.size()), flags, &text[0], &length)) {
        return {};
    }
    text.resize(length);
    while (!text.empty() && (text.back() == '\0' || text.back() == '\r' || text.back() == '\n')) {
        text.pop_back();
    }
    return text;
}
