// The signed part of a CDN configuration, and the checks a launcher that carries the
// publisher's key makes before it acts on one. No Windows header (the crypto is the caller's).
//
// A signed configuration is the record lines, then a line holding a single space (the blank line
// at which every reader of the record grammar stops), then the signed part, one field a line:
//   release=NAME                     the release the records belong to
//   serial=N                         grows with every configuration the tree issued
//   signed=2026-12-09T18:40:00Z      UTC time of signing
//   expires=2027-01-08T18:40:00Z     optional: refused from this UTC time on
//   (later fields, e.g. chunk lists of large files: covered by the signature, skipped here)
//   signature=HEX                    ECDSA P-256 over the SHA-256 of every byte before this line
// Nothing but line ends follows the signature line. Each record line carries the SHA-256 of its
// range as stored (64 hexadecimal digits) as its seventh field, after the category.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct SignedPart {
    std::string release;
    uint64_t serial = 0;
    int64_t signedAt = 0;     // seconds since 1970-01-01 00:00 UTC
    int64_t expiresAt = 0;    // 0: never expires
    std::string signature;    // r || s, 64 bytes
    size_t signedLength = 0;  // leading bytes of the body the signature covers
};

// Where the signed part starts (the blank line after the records); npos when there is none.
size_t FindSignedPartStart(std::string_view body);

// The part of a body from the blank line after its records on (a few lines, and the chunk
// references of large files), kept apart while the records are read block by block, and what
// the signed part's check needs to know of the bytes before it.
struct ConfigTail {
    std::string text;                   // the body from FindSignedPartStart on
    size_t offset = std::string::npos;  // where text starts in the body; npos: no blank line
    bool zeroBefore = false;            // a zero byte lies before it
};

// Reads the signed part of body. False when there is none, or it is not exactly of the form
// above (a field repeated or out of range, bytes after the signature, a zero byte anywhere).
bool ParseSignedPart(const std::string& body, SignedPart* part);
// The same from a body's tail; signedLength still counts from the body's start.
bool ParseSignedPart(const ConfigTail& tail, SignedPart* part);

// The signed part up to its signature line: the blank line and the fields, each ending "\r\n".
std::string FormatSignedFields(const SignedPart& part);
// "signature=HEX\r\n".
std::string FormatSignatureLine(const std::string& signature);

// "YYYY-MM-DDTHH:MM:SSZ" <-> seconds since 1970 (UTC).
bool ParseUtcTime(const std::string& text, int64_t* seconds);
std::string FormatUtcTime(int64_t seconds);

// The value of the first line "KEY=value" of a small text of such lines ("" when none).
std::string KeyValueOf(const std::string& text, const std::string& key);

// Exactly `size` bytes as hexadecimal digits (either case), white space around ignored.
bool ParseHexBytes(const std::string& text, size_t size, std::string* bytes);

// Whether a record's SHA-256 field is 64 hexadecimal digits.
bool IsSha256DigestText(const std::wstring& digest);

enum ConfigCheckResult : int32_t {
    ConfigAccepted = 0,
    ConfigUnsigned = 1,      // no signed part, or a damaged one
    ConfigBadSignature = 2,  // the signature does not verify with the key
    ConfigRolledBack = 3,    // its serial is below the highest accepted
    ConfigExpired = 4,       // its expiry has passed
    ConfigNoDigest = 5,      // a record without its SHA-256
};

const char* ConfigCheckText(ConfigCheckResult result);

// Checks a body's signed part from its tail. verify(signedTail, signature): the signature check
// with the built-in key over the signed bytes, of which the caller has seen those before the
// tail (hashed as they passed) and signedTail are the rest. acceptedSerial: the highest serial
// this installation accepted (0: none); now: UTC seconds.
ConfigCheckResult CheckSignedPart(
    const ConfigTail& tail, uint64_t acceptedSerial, int64_t now,
    const std::function<bool(std::string_view signedTail, const std::string& signature)>& verify,
    SignedPart* part);
