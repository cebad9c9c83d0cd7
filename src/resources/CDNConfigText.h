// Decoding and checking of the CDN configuration body.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "resources/CDNDownloadState.h"
#include "resources/ConfigBody.h"
#include "resources/ResoureConfigInfo.h"
#include "resources/ResoureConfigMap.h"
#include "resources/SignedConfig.h"

// The body (already without a UTF-8 byte-order mark) as wide text: UTF-8 when it is
// well-formed UTF-8 with at least one byte of 0x80 or above, else the ANSI code page.
std::wstring DecodeCDNConfigText(const std::string& body);

// Whether a record's offset and length name bytes inside a package: neither negative, their sum
// within the 64-bit range.
bool IsPackageRange(const ResoureConfigInfo& info);

// Decodes and parses body into list. CDNDownloadParseFailed when the text holds no record at all
// (an empty or foreign answer would otherwise remove every installed file), when a record's
// name is not safe to join to a target directory, or when its offset or length is negative or
// their sum beyond the 64-bit range (the list is then left empty, so nothing of it is acted
// upon); CDNDownloadSuccess otherwise.
CDNDownloadState ParseCDNConfigText(const std::string& body, ResoureConfigList* list);

// A configuration's records by target: the game's resources and the launcher's own files.
struct CDNConfigMaps {
    ResoureConfigMap resources;
    ResoureConfigMap launcherFiles;
};

// The same parse and checks straight into the two maps, without a list of the records (their
// names collide as HasCollidingNames says, a name given twice for one target included). maps
// is replaced on success and emptied on failure. allCarrySha256, when given, tells whether every
// record carries its SHA-256 (IsSha256DigestText).
CDNDownloadState ParseCDNConfig(const std::string& body, CDNConfigMaps* maps,
                                bool* allCarrySha256 = nullptr);
// The same over a body in blocks, each released as soon as it was read (body is left empty):
// the text is never held whole. tail receives the body from its blank line on, and
// onLeadingBytes (optional) every byte before that, in order.
CDNDownloadState ParseCDNConfig(ConfigBody* body, CDNConfigMaps* maps, bool* allCarrySha256,
                                ConfigTail* tail,
                                const std::function<void(const char*, size_t)>& onLeadingBytes);
