// The manifest line grammar: parsing of the text of "version.txt", "launcher_manifest.txt" and
// the CDN configuration, and the two-field form written back. No Windows header.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "resources/LocalManifestMap.h"
#include "resources/ResoureConfigInfo.h"
#include "resources/ResoureConfigMap.h"

// Appends one record per valid line of text to list. Lines are separated by runs of CR and LF;
// a blank line ends the list; fields are separated by runs of "=". True whenever list is given.
bool ParseManifestText(const std::wstring& text, ResoureConfigList* list);
// The same for UTF-8 bytes (up to the first zero byte), line by line: the records are those of
// ParseManifestText over the text Utf8ToText makes of the bytes, without a copy of that text.
bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigList* list);
// The same into a map, without a list: the records whose name accept takes (all without
// accept) are added in line order (of one name the first stays).
bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigMap* map,
                       bool (*accept)(const std::wstring& name) = nullptr);
// The same into a local list (name and digest of each record).
bool ParseManifestUtf8(const char* bytes, size_t size, LocalManifestMap* map,
                       bool (*accept)(const std::wstring& name) = nullptr);
// The records of a configuration split by category into the maps of their targets, without a
// list: a launcher record (IsLauncherCategory) into launcherFiles, any other into resources, in
// line order (of one name the first stays in its map). accept sees every record first; one it
// refuses is left out. From UTF-8 bytes (as above), or from wide text (as ParseManifestText).
using AcceptRecord = std::function<bool(const ResoureConfigInfo& info)>;
bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigMap* resources,
                       ResoureConfigMap* launcherFiles, const AcceptRecord& accept);
bool ParseManifestText(const std::wstring& text, ResoureConfigMap* resources,
                       ResoureConfigMap* launcherFiles, const AcceptRecord& accept);
// The same a piece of the text at a time, the maps left unsorted (Sort both after the last
// piece): each piece is whole lines, or the rest of the text, and the bytes hold no zero (the
// caller ends them at the first). The offset in the piece of the blank line that ends the
// records, npos when the piece has none.
size_t AppendManifestUtf8(const char* bytes, size_t size, ResoureConfigMap* resources,
                          ResoureConfigMap* launcherFiles, const AcceptRecord& accept);
size_t AppendManifestText(std::wstring_view text, ResoureConfigMap* resources,
                          ResoureConfigMap* launcherFiles, const AcceptRecord& accept);

// Appends "name=md5\r\n" for every record, in list order. False (text untouched) for an empty
// list or no text.
bool FormatManifestText(const ResoureConfigList& list, std::wstring* text);
// The same for a map, in name order, without copying its records.
bool FormatManifestText(const ResoureConfigMap& map, std::wstring* text);
bool FormatManifestText(const LocalManifestMap& map, std::wstring* text);
// The UTF-8 bytes TextToUtf8 makes of that text, without the wide text.
bool FormatManifestUtf8(const ResoureConfigMap& map, std::string* bytes);
bool FormatManifestUtf8(const LocalManifestMap& map, std::string* bytes);
// The same a slice at a time: appends the lines of the records whose names follow *after (all
// from the start when *after is empty), stopping once about maxBytes were appended (at least one
// line); *after becomes the last name appended. True when the list's end was reached (at once
// for an empty list). The slices of one list, one after the other, are FormatManifestUtf8's
// bytes.
bool FormatManifestUtf8Slice(const LocalManifestMap& list, std::wstring* after, size_t maxBytes,
                             std::string* bytes);

// Appends the UTF-8 bytes TextToUtf8 makes of text (up to a zero in it).
void AppendUtf8(std::wstring_view text, std::string* bytes);

// True when the category field marks a launcher file ("launcher", compared ignoring case).
bool IsLauncherCategory(const std::wstring& category);

// Decimal field values: optional sign, digits up to the first non-digit, saturating.
int64_t ParseInt64Field(const std::wstring& field);
int32_t ParseInt32Field(const std::wstring& field);
