// Signing of the configurations a CDN tree issues. The publisher's key pair is two text files:
// FILE holds X || Y || d, FILE.pub X || Y (hexadecimal, ECDSA P-256), the .pub being what the
// launcher build takes. A tree that has issued a signed configuration keeps signing.txt:
//   key=HEX      the public key its configurations are signed with
//   serial=N     the highest serial it issued; the next configuration gets a higher one
// and from then on refuses to write a configuration without that key.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "CdnTree.h"

struct SigningKey {
    std::string privateKey;  // 96 bytes
    std::string publicKey;   // 64 bytes
};

extern const wchar_t kTreeSigningName[];

// Makes a key pair into FILE and FILE.pub; refuses to replace either.
bool WriteNewKey(const std::wstring& path, std::wstring* error);
bool ReadSigningKey(const std::wstring& path, SigningKey* key, std::wstring* error);

struct TreeSigning {
    std::string publicKey;  // empty: the tree has never signed
    uint64_t lastSerial = 0;
};

TreeSigning ReadTreeSigning(const std::wstring& root);

// What a configuration written into the tree is signed with. key: the --key given, or null.
// False with a message when the tree signs and no key, or another key, is given.
bool CheckSigningKey(const CdnTree& tree, const TreeSigning& signing, const SigningKey* key,
                     std::wstring* error);

// The serial of the next configuration: above every serial the tree recorded or issued.
uint64_t NextSerial(const CdnTree& tree, const TreeSigning& signing);

// Records the serial and key (beside, then renamed), before the configuration is written.
bool WriteTreeSigning(const std::wstring& root, const TreeSigning& signing, std::wstring* error);

// Writes the configuration of release into the tree (beside, then renamed; replace: over the
// one there): signed with key under the tree's next serial, recorded first in signing.txt, and
// expiring after expiresDays (0: never), or unsigned without a key. *serial receives the serial
// (0 unsigned). chunkLines follow the records after a blank line (in the signed part when
// signed).
bool WriteConfiguration(CdnTree* tree, const std::wstring& release, const std::wstring& records,
                        const SigningKey* key, int64_t expiresDays, bool replace, uint64_t* serial,
                        std::wstring* error, const std::string& chunkLines = std::string());
// The same with the records as UTF-8 lines that nextRecords appends to its argument a piece at
// a time (returning false when there are no more): they are written and hashed as they come.
bool WriteConfiguration(CdnTree* tree, const std::wstring& release,
                        const std::function<bool(std::string*)>& nextRecords, const SigningKey* key,
                        int64_t expiresDays, bool replace, uint64_t* serial, std::wstring* error,
                        const std::string& chunkLines = std::string());

// SHA-256 (32 bytes) of a range of a package of the tree; empty when it cannot be read.
std::string PackageRangeSha256(const CdnTree& tree, const std::wstring& packageDir, int64_t offset,
                               int32_t length);
