#include "resources/ManifestText.h"

#include <limits>

#include "app/TextFormat.h"

namespace {

const size_t kMaxFields = 6;

// Reads an optional sign and the digits after it, clamping to [minimum, maximum].
int64_t ParseClamped(const std::wstring& field, int64_t minimum, int64_t maximum) {
    size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == L'+' || field[i] == L'-')) {
        negative = field[i] == L'-';
        ++i;
    }
    // Accumulate towards the sign's bound so that the smallest value is reachable too.
    int64_t value = 0;
    for (; i < field.size() && field[i] >= L'0' && field[i] <= L'9'; ++i) {
        const int digit = field[i] - L'0';
        if (negative) {
            if (value < (minimum + digit) / 10) return minimum;
            value = value * 10 - digit;
            if (value < minimum) return minimum;
        } else {
            if (value > (maximum - digit) / 10) return maximum;
            value = value * 10 + digit;
            if (value > maximum) return maximum;
        }
    }
    return value;
}

}  // namespace

int64_t ParseInt64Field(const std::wstring& field) {
    return ParseClamped(field, std::numeric_limits<int64_t>::min(),
                        std::numeric_limits<int64_t>::max());
}

int32_t ParseInt32Field(const std::wstring& field) {
    return static_cast<int32_t>(ParseClamped(field, std::numeric_limits<int32_t>::min(),
                                             std::numeric_limits<int32_t>::max()));
}

bool IsLauncherCategory(const std::wstring& category) {
    static const wchar_t kLauncher[] = L"launcher";
    if (category.size() != sizeof(kLauncher) / sizeof(kLauncher[0]) - 1) return false;
    for (size_t i = 0; i < category.size(); ++i) {
        wchar_t c = category[i];
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kLauncher[i]) return false;
    }
    return true;
}

bool ParseManifestText(const std::wstring& text, ResoureConfigList* list) {
    if (list == nullptr) return false;
    // SplitTokens trims every token and stops at the first blank one, which is exactly how a
    // blank line ends the list and a blank field ends a line's fields.
    std::vector<std::wstring> lines;
    SplitTokens(text, L"\r\n", &lines);
    for (const std::wstring& line : lines) {
        std::vector<std::wstring> fields;
        SplitTokens(line, L"=", &fields);
        if (fields.size() < 2) continue;
        ResoureConfigInfo info;
        // A seventh field, which the six-field grammar ignores, carries the range's SHA-256.
        if (fields.size() > kMaxFields) info.sha256 = fields[kMaxFields];
        info.name = fields[0];
        info.md5 = fields[1];
        if (fields.size() > 2) info.packageDir = fields[2];
        if (fields.size() > 3) info.offset = ParseInt64Field(fields[3]);
        if (fields.size() > 4) info.length = ParseInt32Field(fields[4]);
        if (fields.size() > 5) info.category = fields[5];
        list->push_back(std::move(info));
    }
    return true;
}

namespace {

void AppendTwoFieldLine(const ResoureConfigInfo& info, std::wstring* text) {
    text->append(info.name);
    text->push_back(L'=');
    text->append(info.md5);
    text->append(L"\r\n");
}

}  // namespace

bool FormatManifestText(const ResoureConfigList& list, std::wstring* text) {
    if (text == nullptr || list.empty()) return false;
    for (const ResoureConfigInfo& info : list) AppendTwoFieldLine(info, text);
    return true;
}

bool FormatManifestText(const ResoureConfigMap& map, std::wstring* text) {
    if (text == nullptr || map.empty()) return false;
    size_t size = 0;
    for (const auto& entry : map) size += entry.second.name.size() + entry.second.md5.size() + 3;
    text->reserve(text->size() + size);
    for (const auto& entry : map) AppendTwoFieldLine(entry.second, text);
    return true;
}
