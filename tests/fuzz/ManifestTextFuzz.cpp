// Manifest grammar: every record holds trimmed fields free of separators, the two-field form
// written back reads back to the same names and digests, and the decimal fields saturate like
// the C library's conversion. The bytes parse as the text they decode to; a map of the records
// and a local list write the bytes of the text of its records in name order, the first of a name
// kept, whole or a slice at a time.
#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <limits>
#include <map>
#include <memory>

#include "FuzzInput.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "resources/ManifestText.h"
#include "resources/ResoureConfigMap.h"

namespace {

bool IsCleanField(const std::wstring& field) {
    return field == TrimWhiteSpace(field) && field.find_first_of(L"\r\n=") == std::wstring::npos;
}

void CheckDecimal(const std::wstring& field) {
    if (!field.empty() && std::iswspace(field[0])) return;  // wcstoll would skip it
    const long long expected = std::wcstoll(field.c_str(), nullptr, 10);
    if (ParseInt64Field(field) != expected) std::abort();
    const long long clamped =
        std::min<long long>(std::max<long long>(expected, std::numeric_limits<int32_t>::min()),
                            std::numeric_limits<int32_t>::max());
    if (ParseInt32Field(field) != clamped) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = WideText(std::string(reinterpret_cast<const char*>(data), size));
    CheckDecimal(text);

    ResoureConfigList list;
    if (!ParseManifestText(text, &list)) std::abort();
    for (const ResoureConfigInfo& info : list) {
        if (info.name.empty() || info.md5.empty() || !IsCleanField(info.name) ||
            !IsCleanField(info.md5) || !IsCleanField(info.packageDir) ||
            !IsCleanField(info.category)) {
            std::abort();
        }
    }

    std::wstring written;
    if (FormatManifestText(list, &written) != !list.empty()) std::abort();
    ResoureConfigList reread;
    ParseManifestText(written, &reread);
    if (reread.size() != list.size()) std::abort();
    for (size_t i = 0; i < list.size(); ++i) {
        if (reread[i].name != list[i].name || reread[i].md5 != list[i].md5) std::abort();
    }

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::wstring decoded;
    Utf8ToText(bytes.c_str(), &decoded);
    ResoureConfigList whole;
    ResoureConfigList lines;
    ParseManifestText(decoded, &whole);
    ParseManifestUtf8(bytes.data(), bytes.size(), &lines);
    if (whole.size() != lines.size()) std::abort();
    for (size_t i = 0; i < whole.size(); ++i) {
        if (whole[i].name != lines[i].name || whole[i].md5 != lines[i].md5 ||
            whole[i].packageDir != lines[i].packageDir || whole[i].offset != lines[i].offset ||
            whole[i].length != lines[i].length || whole[i].category != lines[i].category ||
            whole[i].sha256 != lines[i].sha256) {
            std::abort();
        }
    }
    std::map<std::wstring, ResoureConfigInfo> model;
    for (const ResoureConfigInfo& info : whole) model.emplace(info.name, info);
    ResoureConfigMap map;
    map.Assign(&whole);
    ResoureConfigMap direct;  // straight from the bytes
    ParseManifestUtf8(bytes.data(), bytes.size(), &direct);
    if (direct.size() != model.size()) std::abort();
    auto parsed = direct.begin();
    for (const auto& entry : model) {
        const ResoureConfigInfo& info = entry.second;
        if (direct.Name(*parsed) != info.name || parsed->md5.Text() != info.md5 ||
            direct.Folder(*parsed) != info.packageDir || parsed->offset != info.offset ||
            parsed->length != info.length || parsed->sha256.Text() != info.sha256) {
            std::abort();
        }
        ++parsed;
    }
    std::wstring expected;
    for (const auto& entry : model) expected += entry.first + L"=" + entry.second.md5 + L"\r\n";
    std::wstring saved;
    FormatManifestText(map, &saved);
    std::string utf8;
    std::string formatted;
    TextToUtf8(saved.c_str(), &utf8);
    FormatManifestUtf8(map, &formatted);
    if (saved != expected || formatted != utf8) std::abort();
    // A local list straight from the bytes writes the same bytes, whole or a slice at a time,
    // whatever the slice's size.
    LocalManifestMap local;
    ParseManifestUtf8(bytes.data(), bytes.size(), &local);
    std::string localBytes;
    FormatManifestUtf8(local, &localBytes);
    if (local.size() != model.size() || localBytes != utf8) std::abort();
    // Its names borrowed from a CDN list, then from another that holds them elsewhere, once the
    // first is gone: the same.
    auto first = std::make_shared<ResoureConfigMap>();
    first->SetDigest(L"\x01", PackedDigest<16>());
    for (const ResoureConfigEntry& entry : direct) first->SetDigest(direct.Name(entry), entry.md5);
    local.BorrowNames(std::move(first));
    local.BorrowNames(std::make_shared<const ResoureConfigMap>(direct));
    localBytes.clear();
    FormatManifestUtf8(local, &localBytes);
    if (localBytes != utf8) std::abort();
    for (size_t size : {size_t(1), size_t(5), size_t(64)}) {
        std::string sliced;
        std::wstring after;
        for (size_t slices = 0; !FormatManifestUtf8Slice(local, &after, size, &sliced); ++slices) {
            if (slices > utf8.size()) std::abort();
        }
        if (sliced != utf8) std::abort();
    }
    return 0;
}
