// Stamps list: whatever the text, the entries read back from their written form unchanged, and
// a file listed exactly as stamped is intact unless a full check reads it. The bytes read and
// write as the text they decode to, and read into a table as into a map.
#include <cstdlib>

#include "FuzzInput.h"
#include "app/TextConvert.h"
#include "resources/InstallStamps.h"
#include "resources/QuickCheck.h"
#include "resources/StampTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = WideText(std::string(reinterpret_cast<const char*>(data), size));
    InstallStampMap stamps;
    ParseStampsText(text, &stamps);
    std::wstring written;
    FormatStampsText(stamps, &written);
    std::string bytes;
    std::string utf8;
    for (const auto& entry : stamps) AppendStampLineUtf8(entry.first, entry.second, &bytes);
    TextToUtf8(written.c_str(), &utf8);
    if (written.find(L'\0') == std::wstring::npos && bytes != utf8) std::abort();
    InstallStampMap reread;
    ParseStampsText(written, &reread);
    const std::string raw(reinterpret_cast<const char*>(data), size);
    std::wstring decoded;
    Utf8ToText(raw.c_str(), &decoded);
    InstallStampMap whole;
    InstallStampMap lines;
    ParseStampsText(decoded, &whole);
    ParseStampsUtf8(raw.data(), raw.size(), &lines);
    if (whole.size() != lines.size()) std::abort();
    for (auto a = whole.begin(), b = lines.begin(); a != whole.end(); ++a, ++b) {
        if (a->first != b->first || a->second.size != b->second.size ||
            a->second.writeTime != b->second.writeTime || a->second.digest != b->second.digest) {
            std::abort();
        }
    }
    // A table of the bytes holds the stamps of the map of them.
    StampTable table;
    ParseStampsUtf8(raw.data(), raw.size(), &table);
    std::string fromMap;
    std::string fromTable;
    for (const auto& entry : lines) AppendStampLineUtf8(entry.first, entry.second, &fromMap);
    for (const TableStamp& stamp : table.Sorted()) AppendStampLineUtf8(stamp, &fromTable);
    if (fromMap != fromTable) std::abort();
    if (reread.size() != stamps.size()) std::abort();
    for (const auto& entry : stamps) {
        const auto back = reread.find(entry.first);
        if (back == reread.end() || back->second.size != entry.second.size ||
            back->second.writeTime != entry.second.writeTime ||
            back->second.digest != entry.second.digest) {
            std::abort();
        }
        const ListedFile listed{entry.second.size, entry.second.writeTime};
        if (JudgeRecordedFile(entry.second.digest, &entry.second, &listed, false) !=
            CheckVerdict::Intact) {
            std::abort();
        }
        if (JudgeRecordedFile(entry.second.digest, &entry.second, nullptr, false) !=
            CheckVerdict::Missing) {
            std::abort();
        }
    }
    return 0;
}
