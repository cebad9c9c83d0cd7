#include "NoticeRecord.h"

#include <windows.h>

#include "app/FileServices.h"
#include "app/TextConvert.h"

const wchar_t kNoticeRecordName[] = L"notice-record.txt";

namespace {

const wchar_t kPrefix[] = L"served=";

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool ParseLine(const std::wstring& line, ServedRelease* entry) {
    if (line.compare(0, 7, kPrefix) != 0) return false;
    const size_t nameEnd = line.find(L'=', 7);
    if (nameEnd == std::wstring::npos) return false;
    const size_t timeEnd = line.find(L'=', nameEnd + 1);
    if (timeEnd == std::wstring::npos) return false;
    entry->release = line.substr(7, nameEnd - 7);
    entry->since = line.substr(nameEnd + 1, timeEnd - nameEnd - 1);
    entry->answerFile = line.substr(timeEnd + 1);
    return !entry->release.empty() && !entry->answerFile.empty();
}

}  // namespace

bool ReadNoticeRecord(const std::wstring& root, std::vector<ServedRelease>* served,
                      std::wstring* error) {
    served->clear();
    const std::wstring path = root + kNoticeRecordName;
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    std::string bytes;
    if (!ReadFileBytes(path, &bytes)) {
        *error = path + L": cannot read the record of what the notice answers serve";
        return false;
    }
    const std::wstring text = Utf8ToTextExact(bytes);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find(L"\r\n", pos);
        if (eol == std::wstring::npos) eol = text.size();
        const std::wstring line = text.substr(pos, eol - pos);
        pos = eol + 2;
        if (line.empty()) continue;
        ServedRelease entry;
        if (!ParseLine(line, &entry)) {
            *error = path + L": a line of another form (\"" + line +
                     L"\"): what the notice answers serve is unknown; mend the file (served=" +
                     L"NAME=TIME=FILE per answer) or write the answer again with --notice";
            return false;
        }
        served->push_back(entry);
    }
    return true;
}

bool WriteNoticeRecord(const std::wstring& root, const std::vector<ServedRelease>& served,
                       std::wstring* error) {
    const std::wstring path = root + kNoticeRecordName;
    if (served.empty()) {
        if (::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) return true;
        *error = path + L": cannot delete";
        return false;
    }
    std::wstring text;
    for (const ServedRelease& entry : served) {
        text += kPrefix + entry.release + L"=" + entry.since + L"=" + entry.answerFile + L"\r\n";
    }
    if (!WriteFileBeside(path, TextToUtf8Exact(text))) {
        *error = path + L": cannot write the record of what the notice answers serve";
        return false;
    }
    return true;
}

std::vector<ServedRelease> RecordServing(const std::vector<ServedRelease>& served,
                                         const ServedRelease& entry, bool keepEarlier) {
    std::vector<ServedRelease> result;
    for (const ServedRelease& earlier : served) {
        const bool sameFile = SameFile(earlier.answerFile, entry.answerFile);
        if (!sameFile || (keepEarlier && earlier.release != entry.release)) {
            result.push_back(earlier);
        }
    }
    result.push_back(entry);
    return result;
}
