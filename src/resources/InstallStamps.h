// What each installed resource looked like on disk when its bytes were last checked: its size
// and last write time, beside the digest it was checked against. Kept in "version.stamps" next
// to "version.txt", so that a start can tell from one folder listing which files may have
// changed since. No Windows header.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "resources/LocalManifestMap.h"
#include "resources/StampTable.h"

struct InstallStamp {
    uint64_t size = 0;
    uint64_t writeTime = 0;  // 100-nanosecond intervals since 1601 (UTC)
    std::wstring digest;     // the digest the content was checked against
};

// Keyed by the resource's name as "version.txt" records it.
using InstallStampMap = std::map<std::wstring, InstallStamp>;

// Appends "name=size=time=digest\r\n": one line of the stamps list.
void AppendStampLine(const std::wstring& name, const InstallStamp& stamp, std::wstring* text);
// The same for a stamp of a table.
void AppendStampLineUtf8(const TableStamp& stamp, std::string* bytes);
// The same for the stamp of a local record (named name), with the record's digest.
void AppendStampLineUtf8(std::wstring_view name, const LocalRecord& record, std::string* bytes);
// Appends one line per entry, in name order.
void FormatStampsText(const InstallStampMap& stamps, std::wstring* text);
// The same line as the UTF-8 bytes TextToUtf8 makes of it.
void AppendStampLineUtf8(const std::wstring& name, const InstallStamp& stamp, std::string* bytes);

// Reads lines of that form into stamps (the first line of a name wins). A line whose size or
// time is not a plain decimal number, or whose name or digest is empty, is skipped. Names never
// hold "=", so the three fields are taken from the line's end.
void ParseStampsText(const std::wstring& text, InstallStampMap* stamps);
// The same for UTF-8 bytes (up to the first zero byte): the entries ParseStampsText reads from
// the text Utf8ToText makes of them, without a wide copy of the whole text.
void ParseStampsUtf8(const char* bytes, size_t size, InstallStampMap* stamps);
// The same into a table (added to what it holds; of one name the first line stays).
void ParseStampsUtf8(const char* bytes, size_t size, StampTable* stamps);
