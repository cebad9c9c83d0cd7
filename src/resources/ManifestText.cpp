#include "resources/ManifestText.h"

#include <limits>

#include "app/TextConvert.h"
#include "app/TextFormat.h"

namespace {

const size_t kMaxFields = 6;

// Reads an optional sign and the digits after it, clamping to [minimum, maximum].
template <typename Char>
int64_t ParseClamped(const Char* field, size_t size, int64_t minimum, int64_t maximum) {
    size_t i = 0;
    bool negative = false;
    if (i < size && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    // Accumulate towards the sign's bound so that the smallest value is reachable too.
    int64_t value = 0;
    for (; i < size && field[i] >= '0' && field[i] <= '9'; ++i) {
        const int digit = field[i] - '0';
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
    return ParseClamped(field.data(), field.size(), std::numeric_limits<int64_t>::min(),
                        std::numeric_limits<int64_t>::max());
}

int32_t ParseInt32Field(const std::wstring& field) {
    return static_cast<int32_t>(ParseClamped(field.data(), field.size(),
                                             std::numeric_limits<int32_t>::min(),
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

namespace {

// Takes the lines of one text, one at a time, into a list. A line is a run of characters between
// runs of CR and LF; it is trimmed, and a blank one ends the list (AddLine returns false).
class LineReader {
  public:
    explicit LineReader(ResoureConfigList* list) : list_(list) {}

    bool AddLine(const std::wstring& line) {
        const std::wstring trimmed = TrimWhiteSpace(line);
        if (trimmed.empty()) return false;
        // SplitTokens trims every field and stops at the first blank one, which is exactly how
        // a blank field ends a line's fields.
        fields_.clear();
        SplitTokens(trimmed, L"=", &fields_);
        if (fields_.size() < 2) return true;
        ResoureConfigInfo info;
        // A seventh field, which the six-field grammar ignores, carries the range's SHA-256.
        if (fields_.size() > kMaxFields) info.sha256 = std::move(fields_[kMaxFields]);
        info.name = std::move(fields_[0]);
        info.md5 = std::move(fields_[1]);
        if (fields_.size() > 2) info.packageDir = std::move(fields_[2]);
        if (fields_.size() > 3) info.offset = ParseInt64Field(fields_[3]);
        if (fields_.size() > 4) info.length = ParseInt32Field(fields_[4]);
        if (fields_.size() > 5) info.category = std::move(fields_[5]);
        list_->push_back(std::move(info));
        return true;
    }

    // The same for a line of ASCII bytes, without a wide copy of the line or of its fields:
    // white space and "=" are ASCII, so they split the bytes as they split the text.
    bool AddAsciiLine(const char* begin, const char* end) {
        Trim(&begin, &end);
        if (begin == end) return false;
        const char* field[kMaxFields + 1][2];
        size_t count = 0;
        for (const char* pos = begin; count <= kMaxFields;) {
            while (pos != end && *pos == '=') ++pos;
            if (pos == end) break;
            const char* cut = pos;
            while (cut != end && *cut != '=') ++cut;
            const char* first = pos;
            const char* last = cut;
            Trim(&first, &last);
            if (first == last) break;
            field[count][0] = first;
            field[count][1] = last;
            ++count;
            pos = cut;
        }
        if (count < 2) return true;
        const auto text = [&field](size_t i) { return std::wstring(field[i][0], field[i][1]); };
        const auto size = [&field](size_t i) {
            return static_cast<size_t>(field[i][1] - field[i][0]);
        };
        ResoureConfigInfo info;
        info.name = text(0);
        info.md5 = text(1);
        if (count > 2) info.packageDir = text(2);
        if (count > 3) {
            info.offset = ParseClamped(field[3][0], size(3), std::numeric_limits<int64_t>::min(),
                                       std::numeric_limits<int64_t>::max());
        }
        if (count > 4) {
            info.length = static_cast<int32_t>(ParseClamped(field[4][0], size(4),
                                                            std::numeric_limits<int32_t>::min(),
                                                            std::numeric_limits<int32_t>::max()));
        }
        if (count > 5) info.category = text(5);
        if (count > kMaxFields) info.sha256 = text(kMaxFields);
        list_->push_back(std::move(info));
        return true;
    }

  private:
    static bool IsBlank(char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
    }
    static void Trim(const char** begin, const char** end) {
        while (*begin != *end && IsBlank(**begin)) ++*begin;
        while (*end != *begin && IsBlank((*end)[-1])) --*end;
    }

    ResoureConfigList* list_;
    std::vector<std::wstring> fields_;
};

bool IsLineBreak(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

}  // namespace

bool ParseManifestText(const std::wstring& text, ResoureConfigList* list) {
    if (list == nullptr) return false;
    LineReader reader(list);
    std::wstring line;
    for (size_t pos = 0, end = 0; pos < text.size(); pos = end) {
        while (pos < text.size() && IsLineBreak(text[pos])) ++pos;
        if (pos == text.size()) break;
        for (end = pos; end < text.size() && !IsLineBreak(text[end]);) ++end;
        line.assign(text, pos, end - pos);
        if (!reader.AddLine(line)) break;
    }
    return true;
}

bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigList* list) {
    if (list == nullptr) return false;
    if (bytes == nullptr) return true;
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\0') size = i;  // the text ends at a zero byte
    }
    LineReader reader(list);
    std::string encoded;
    std::wstring line;
    for (size_t pos = 0, end = 0; pos < size; pos = end) {
        while (pos < size && (bytes[pos] == '\r' || bytes[pos] == '\n')) ++pos;
        if (pos == size) break;
        bool ascii = true;
        for (end = pos; end < size && bytes[end] != '\r' && bytes[end] != '\n'; ++end) {
            if (static_cast<unsigned char>(bytes[end]) >= 0x80) ascii = false;
        }
        // CR and LF are never part of a longer UTF-8 sequence, so a line decodes alone as it
        // would within the whole text; ASCII decodes to itself.
        if (ascii) {
            if (!reader.AddAsciiLine(bytes + pos, bytes + end)) break;
            continue;
        }
        encoded.assign(bytes + pos, end - pos);
        Utf8ToText(encoded.c_str(), &line);
        if (!reader.AddLine(line)) break;
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
    for (const ResoureConfigEntry& entry : map) {
        text->append(entry.name);
        text->push_back(L'=');
        text->append(entry.md5.Text());
        text->append(L"\r\n");
    }
    return true;
}

void AppendUtf8(const std::wstring& text, std::string* bytes) {
    bool ascii = true;
    for (wchar_t c : text) ascii = ascii && c > 0 && c < 0x80;
    if (ascii) {
        bytes->append(text.begin(), text.end());
        return;
    }
    std::string encoded;
    TextToUtf8(text.c_str(), &encoded);
    bytes->append(encoded);
}

bool FormatManifestUtf8(const ResoureConfigMap& map, std::string* bytes) {
    if (bytes == nullptr || map.empty()) return false;
    size_t size = 0;
    for (const ResoureConfigEntry& entry : map) size += entry.name.size() + 35;
    bytes->reserve(bytes->size() + size);
    for (const ResoureConfigEntry& entry : map) {
        // A zero in a name ends the text TextToUtf8 is given: nothing after it is written.
        if (entry.name.find(L'\0') != std::wstring::npos) {
            AppendUtf8(entry.name, bytes);
            return true;
        }
        AppendUtf8(entry.name, bytes);
        bytes->push_back('=');
        if (!entry.md5.AppendHex(bytes)) AppendUtf8(entry.md5.Text(), bytes);
        bytes->append("\r\n");
    }
    return true;
}
