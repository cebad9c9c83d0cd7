#include "TreeSigning.h"

#include <windows.h>

#include <algorithm>

#include "BesideFile.h"
#include "PackageWriter.h"
#include "app/EcdsaP256.h"
#include "app/FileServices.h"
#include "app/Sha256.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "app/UtcClock.h"
#include "framework/ScopedHandle.h"
#include "resources/SignedConfig.h"

const wchar_t kTreeSigningName[] = L"signing.txt";

bool WriteNewKey(const std::wstring& path, std::wstring* error) {
    if (FileExists(path) || FileExists(path + L".pub")) {
        *error = path + L" or " + path + L".pub exists already: a key is never replaced";
        return false;
    }
    SigningKey key;
    if (!GenerateP256KeyPair(&key.privateKey, &key.publicKey)) {
        *error = L"the platform could not make a P-256 key pair";
        return false;
    }
    if (!WriteFileBeside(path, BytesToHex(key.privateKey) + "\r\n", false) ||
        !WriteFileBeside(path + L".pub", BytesToHex(key.publicKey) + "\r\n", false)) {
        ::DeleteFileW(path.c_str());
        *error = path + L": cannot write the key files";
        return false;
    }
    return true;
}

bool ReadSigningKey(const std::wstring& path, SigningKey* key, std::wstring* error) {
    std::string text;
    if (!FileExists(path) || !ReadFileBytes(path, &text) ||
        !ParseHexBytes(text, 96, &key->privateKey)) {
        *error = path + L": not a private key file of OmbrixPack --new-key";
        return false;
    }
    key->publicKey = key->privateKey.substr(0, 64);
    return true;
}

TreeSigning ReadTreeSigning(const std::wstring& root) {
    TreeSigning signing;
    std::string text;
    if (!FileExists(root + kTreeSigningName) || !ReadFileBytes(root + kTreeSigningName, &text)) {
        return signing;
    }
    ParseHexBytes(KeyValueOf(text, "key"), 64, &signing.publicKey);
    const std::string serial = KeyValueOf(text, "serial");
    if (!serial.empty() && serial.size() <= 18 &&
        serial.find_first_not_of("0123456789") == std::string::npos) {
        signing.lastSerial = std::stoull(serial);
    }
    return signing;
}

bool CheckSigningKey(const CdnTree& tree, const TreeSigning& signing, const SigningKey* key,
                     std::wstring* error) {
    const bool treeSigns = !signing.publicKey.empty() || !tree.signedParts.empty();
    if (key == nullptr && treeSigns) {
        *error = L"the tree " + tree.root +
                 L" issues signed configurations: give --key (nothing was written)";
        return false;
    }
    if (key != nullptr && !signing.publicKey.empty() && key->publicKey != signing.publicKey) {
        *error = L"the tree " + tree.root +
                 L" is signed with another key than --key (nothing was written)";
        return false;
    }
    return true;
}

uint64_t NextSerial(const CdnTree& tree, const TreeSigning& signing) {
    uint64_t last = signing.lastSerial;
    for (const auto& part : tree.signedParts) last = std::max(last, part.second.serial);
    return last + 1;
}

bool WriteTreeSigning(const std::wstring& root, const TreeSigning& signing, std::wstring* error) {
    const std::string text = "key=" + BytesToHex(signing.publicKey) +
                             "\r\nserial=" + std::to_string(signing.lastSerial) + "\r\n";
    if (!WriteFileBeside(root + kTreeSigningName, text, true)) {
        *error = root + kTreeSigningName + L": cannot write the tree's signing record";
        return false;
    }
    return true;
}

bool WriteConfiguration(CdnTree* tree, const std::wstring& release, const std::wstring& records,
                        const SigningKey* key, int64_t expiresDays, bool replace, uint64_t* serial,
                        std::wstring* error, const std::string& chunkLines) {
    bool given = false;
    const auto once = [&given, &records](std::string* piece) {
        if (given) return false;
        given = true;
        *piece = TextToUtf8Exact(records);
        return true;
    };
    return WriteConfiguration(tree, release, once, key, expiresDays, replace, serial, error,
                              chunkLines);
}

bool WriteConfiguration(CdnTree* tree, const std::wstring& release,
                        const std::function<bool(std::string*)>& nextRecords, const SigningKey* key,
                        int64_t expiresDays, bool replace, uint64_t* serial, std::wstring* error,
                        const std::string& chunkLines) {
    const std::wstring path = ConfigPathOf(*tree, release);
    const std::wstring cannot = path + L": cannot write the configuration";
    *serial = 0;
    BesideFile file(path);
    Sha256Hasher hasher;
    size_t length = 0;
    bool written = file.Open();
    std::string piece;
    while (written && nextRecords(&piece)) {
        hasher.Update(piece.data(), piece.size());
        length += piece.size();
        written = file.Append(piece);
        piece.clear();
    }
    if (!written) {
        *error = cannot;
        return false;
    }
    if (key == nullptr) {
        if (!chunkLines.empty() && !file.Append(" \r\n" + chunkLines)) written = false;
    } else {
        TreeSigning signing = ReadTreeSigning(tree->root);
        signing.publicKey = key->publicKey;
        signing.lastSerial = NextSerial(*tree, signing);
        SignedPart part;
        part.release = TextToNarrow(release);
        part.serial = signing.lastSerial;
        part.signedAt = UtcNowSeconds();
        part.expiresAt = expiresDays > 0 ? part.signedAt + expiresDays * 86400 : 0;
        const std::string tail = FormatSignedFields(part) + chunkLines;
        hasher.Update(tail.data(), tail.size());
        part.signedLength = length + tail.size();
        // The serial is recorded before any configuration carries it, so it is never issued
        // twice, even when the run ends between the two writes.
        if (!SignP256(key->privateKey, hasher.Finish(), &part.signature)) {
            *error = L"the configuration could not be signed";
            return false;
        }
        if (!WriteTreeSigning(tree->root, signing, error)) return false;
        written = file.Append(tail + FormatSignatureLine(part.signature));
        *serial = signing.lastSerial;
        if (written && file.Commit(replace)) {
            tree->signedParts[release] = part;
            return true;
        }
        *error = cannot;
        return false;
    }
    if (!written || !file.Commit(replace)) {
        *error = cannot;
        return false;
    }
    return true;
}

std::string PackageRangeSha256(const CdnTree& tree, const std::wstring& packageDir, int64_t offset,
                               int32_t length) {
    std::wstring path = tree.root + packageDir + L"\\qz_game.qzpkg";
    std::replace(path.begin(), path.end(), L'/', L'\\');
    ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                                nullptr));
    if (!file) return std::string();
    return PackageWriter::HashRange(file.Get(), offset, length);
}
