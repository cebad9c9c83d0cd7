#include "resources/ManifestText.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>

#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "resources/LineEnd.h"

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
    // add takes each record; the record is this reader's, refilled for the next line (texts
    // left in it keep their room).
    using Add = std::function<void(ResoureConfigInfo*)>;
    explicit LineReader(Add add) : add_(std::move(add)) {}

    bool AddLine(const std::wstring& line) {
        const std::wstring trimmed = TrimWhiteSpace(line);
        if (trimmed.empty()) return false;
        // SplitTokens trims every field and stops at the first blank one, which is exactly how
        // a blank field ends a line's fields.
        fields_.clear();
        SplitTokens(trimmed, L"=", &fields_);
        if (fields_.size() < 2) return true;
        ResoureConfigInfo& info = info_;
        const size_t count = fields_.size();
        info.name = std::move(fields_[0]);
        info.md5 = std::move(fields_[1]);
        SetOrClear(count > 2 ? &fields_[2] : nullptr, &info.packageDir);
        info.offset = count > 3 ? ParseInt64Field(fields_[3]) : 0;
        info.length = count > 4 ? ParseInt32Field(fields_[4]) : 0;
        SetOrClear(count > 5 ? &fields_[5] : nullptr, &info.category);
        // A seventh field, which the six-field grammar ignores, carries the range's SHA-256.
        SetOrClear(count > kMaxFields ? &fields_[kMaxFields] : nullptr, &info.sha256);
        add_(&info);
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
        // Widened in place: an assignment from a range of bytes would build a wide copy first.
        const auto text = [&field, count](size_t i, std::wstring* out) {
            if (i >= count) {
                out->clear();
                return;
            }
            out->resize(static_cast<size_t>(field[i][1] - field[i][0]));
            wchar_t* to = &(*out)[0];
            for (const char* from = field[i][0]; from != field[i][1]; ++from) {
                *to++ = static_cast<wchar_t>(static_cast<unsigned char>(*from));
            }
        };
        const auto size = [&field](size_t i) {
            return static_cast<size_t>(field[i][1] - field[i][0]);
        };
        ResoureConfigInfo& info = info_;
        text(0, &info.name);
        text(1, &info.md5);
        text(2, &info.packageDir);
        info.offset = count > 3
                          ? ParseClamped(field[3][0], size(3), std::numeric_limits<int64_t>::min(),
                                         std::numeric_limits<int64_t>::max())
                          : 0;
        info.length = count > 4 ? static_cast<int32_t>(ParseClamped(
                                      field[4][0], size(4), std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max()))
                                : 0;
        text(5, &info.category);
        text(kMaxFields, &info.sha256);
        add_(&info);
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

    static void SetOrClear(std::wstring* field, std::wstring* out) {
        if (field != nullptr) {
            *out = std::move(*field);
        } else {
            out->clear();
        }
    }

    Add add_;
    ResoureConfigInfo info_;
    std::vector<std::wstring> fields_;
};

LineReader::Add AddToList(ResoureConfigList* list) {
    return [list](ResoureConfigInfo* info) { list->push_back(std::move(*info)); };
}

bool IsLineBreak(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

// The offset of the blank line that ended the records; npos when the text ran out first.
size_t ParseTextLines(std::wstring_view text, LineReader::Add add) {
    LineReader reader(std::move(add));
    std::wstring line;
    for (size_t pos = 0, end = 0; pos < text.size(); pos = end) {
        while (pos < text.size() && IsLineBreak(text[pos])) ++pos;
        if (pos == text.size()) break;
        for (end = pos; end < text.size() && !IsLineBreak(text[end]);) ++end;
        line.assign(text.data() + pos, end - pos);
        if (!reader.AddLine(line)) return pos;
    }
    return std::wstring_view::npos;
}

}  // namespace

bool ParseManifestText(const std::wstring& text, ResoureConfigList* list) {
    if (list == nullptr) return false;
    ParseTextLines(text, AddToList(list));
    return true;
}

namespace {

// Lines of the bytes up to the first zero; size becomes that length.
size_t CountLines(const char* bytes, size_t* size) {
    const void* zero = std::memchr(bytes, '\0', *size);
    if (zero != nullptr) *size = static_cast<size_t>(static_cast<const char*>(zero) - bytes);
    size_t lines = 1;
    for (const char* p = bytes;
         (p = static_cast<const char*>(std::memchr(p, '\n', bytes + *size - p))); ++p) {
        ++lines;
    }
    return lines;
}

// The offset of the blank line that ended the records; npos when the bytes ran out first.
size_t ParseLines(const char* bytes, size_t size, LineReader::Add add) {
    LineReader reader(std::move(add));
    std::string encoded;
    std::wstring line;
    for (size_t pos = 0, end = 0; pos < size; pos = end) {
        while (pos < size && (bytes[pos] == '\r' || bytes[pos] == '\n')) ++pos;
        if (pos == size) break;
        uint64_t high = 0;
        end = FindLineEnd(bytes, pos, size, &high);
        const bool ascii = (high & 0x8080808080808080ull) == 0;
        // CR and LF are never part of a longer UTF-8 sequence, so a line decodes alone as it
        // would within the whole text; ASCII decodes to itself.
        if (ascii) {
            if (!reader.AddAsciiLine(bytes + pos, bytes + end)) return pos;
            continue;
        }
        encoded.assign(bytes + pos, end - pos);
        Utf8ToText(encoded.c_str(), &line);
        if (!reader.AddLine(line)) return pos;
    }
    return std::string::npos;
}

}  // namespace

bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigList* list) {
    if (list == nullptr) return false;
    if (bytes == nullptr) return true;
    // Room for a record a line, so that the records are not moved as the list grows.
    list->reserve(list->size() + CountLines(bytes, &size));
    ParseLines(bytes, size, AddToList(list));
    return true;
}

bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigMap* map,
                       bool (*accept)(const std::wstring& name)) {
    if (map == nullptr) return false;
    if (bytes == nullptr) return true;
    map->Reserve(map->size() + CountLines(bytes, &size));
    ParseLines(bytes, size, [map, accept](ResoureConfigInfo* info) {
        if (accept == nullptr || accept(info->name)) map->Append(info);
    });
    map->Sort();
    return true;
}

bool ParseManifestUtf8(const char* bytes, size_t size, LocalManifestMap* map,
                       bool (*accept)(const std::wstring& name)) {
    if (map == nullptr) return false;
    if (bytes == nullptr) return true;
    map->Reserve(map->size() + CountLines(bytes, &size));
    ParseLines(bytes, size, [map, accept](ResoureConfigInfo* info) {
        if (accept == nullptr || accept(info->name)) map->Append(info->name, info->md5);
    });
    map->Sort();
    return true;
}

namespace {

// Adds each accepted record to the map of its category.
LineReader::Add AddByCategory(ResoureConfigMap* resources, ResoureConfigMap* launcherFiles,
                              const AcceptRecord& accept) {
    return [resources, launcherFiles, &accept](ResoureConfigInfo* info) {
        if (accept && !accept(*info)) return;
        (IsLauncherCategory(info->category) ? launcherFiles : resources)->Append(info);
    };
}

}  // namespace

bool ParseManifestUtf8(const char* bytes, size_t size, ResoureConfigMap* resources,
                       ResoureConfigMap* launcherFiles, const AcceptRecord& accept) {
    if (resources == nullptr || launcherFiles == nullptr) return false;
    if (bytes != nullptr) {
        // Launcher files are few: the room goes to the resources.
        resources->Reserve(resources->size() + CountLines(bytes, &size));
        AppendManifestUtf8(bytes, size, resources, launcherFiles, accept);
    }
    resources->Sort();
    launcherFiles->Sort();
    return true;
}

bool ParseManifestText(const std::wstring& text, ResoureConfigMap* resources,
                       ResoureConfigMap* launcherFiles, const AcceptRecord& accept) {
    if (resources == nullptr || launcherFiles == nullptr) return false;
    AppendManifestText(text, resources, launcherFiles, accept);
    resources->Sort();
    launcherFiles->Sort();
    return true;
}

size_t AppendManifestUtf8(const char* bytes, size_t size, ResoureConfigMap* resources,
                          ResoureConfigMap* launcherFiles, const AcceptRecord& accept) {
    if (bytes == nullptr || resources == nullptr || launcherFiles == nullptr) {
        return std::string::npos;
    }
    return ParseLines(bytes, size, AddByCategory(resources, launcherFiles, accept));
}

size_t AppendManifestText(std::wstring_view text, ResoureConfigMap* resources,
                          ResoureConfigMap* launcherFiles, const AcceptRecord& accept) {
    if (resources == nullptr || launcherFiles == nullptr) return std::string::npos;
    return ParseTextLines(text, AddByCategory(resources, launcherFiles, accept));
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

namespace {

// The two-field form of the entries of a map (ResoureConfigMap, LocalManifestMap).
template <typename Map>
bool FormatMapText(const Map& map, std::wstring* text) {
    if (text == nullptr || map.empty()) return false;
    for (const auto& entry : map) {
        text->append(map.Name(entry));
        text->push_back(L'=');
        text->append(entry.md5.Text());
        text->append(L"\r\n");
    }
    return true;
}

// Appends the UTF-8 line of an entry; false when its name holds a zero, which ends the text
// TextToUtf8 is given: the name up to it is written, and nothing after it.
template <typename Entry>
bool AppendLineUtf8(std::wstring_view name, const Entry& entry, std::string* bytes) {
    AppendUtf8(name, bytes);
    if (name.find(L'\0') != std::wstring_view::npos) return false;
    bytes->push_back('=');
    if (!entry.md5.AppendHex(bytes)) AppendUtf8(entry.md5.Text(), bytes);
    bytes->append("\r\n");
    return true;
}

template <typename Map>
bool FormatMapUtf8(const Map& map, std::string* bytes) {
    if (bytes == nullptr || map.empty()) return false;
    size_t size = 0;
    for (const auto& entry : map) size += map.Name(entry).size() + 35;
    bytes->reserve(bytes->size() + size);
    for (const auto& entry : map) {
        if (!AppendLineUtf8(map.Name(entry), entry, bytes)) break;
    }
    return true;
}

}  // namespace

bool FormatManifestText(const ResoureConfigMap& map, std::wstring* text) {
    return FormatMapText(map, text);
}

bool FormatManifestText(const LocalManifestMap& map, std::wstring* text) {
    return FormatMapText(map, text);
}

void AppendUtf8(std::wstring_view text, std::string* bytes) {
    bool ascii = true;
    for (wchar_t c : text) ascii = ascii && c > 0 && c < 0x80;
    if (ascii) {
        bytes->append(text.begin(), text.end());
        return;
    }
    std::string encoded;
    TextToUtf8(std::wstring(text).c_str(), &encoded);
    bytes->append(encoded);
}

bool FormatManifestUtf8(const ResoureConfigMap& map, std::string* bytes) {
    return FormatMapUtf8(map, bytes);
}

bool FormatManifestUtf8(const LocalManifestMap& map, std::string* bytes) {
    return FormatMapUtf8(map, bytes);
}

bool FormatManifestUtf8Slice(const LocalManifestMap& list, std::wstring* after, size_t maxBytes,
                             std::string* bytes) {
    if (after == nullptr || bytes == nullptr) return true;
    const size_t start = bytes->size();
    auto record = after->empty() ? list.begin() : list.upper_bound(*after);
    for (; record != list.end(); ++record) {
        const std::wstring_view name = list.Name(*record);
        after->assign(name);
        if (!AppendLineUtf8(name, *record, bytes)) return true;  // nothing after a zero is written
        // An empty name (it sorts first) cannot mark where the next slice starts.
        if (bytes->size() - start >= maxBytes && !name.empty()) {
            return record + 1 == list.end();
        }
    }
    return true;
}
