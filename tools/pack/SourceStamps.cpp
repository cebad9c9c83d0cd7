#include "SourceStamps.h"

#include <windows.h>

#include "ConfigLine.h"
#include "app/FileServices.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"

const wchar_t kSourceStampsName[] = L"source-stamps.txt";

namespace {

bool ParseUnsigned(const std::wstring& text, uint64_t* value) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        n = n * 10 + static_cast<uint64_t>(c - L'0');
    }
    *value = n;
    return true;
}

bool ParseDigest(const std::wstring& text, std::string* md5) {
    if (text.size() != 32) return false;
    md5->assign(16, '\0');
    for (size_t i = 0; i < 32; ++i) {
        const wchar_t c = text[i];
        const int v = c >= L'0' && c <= L'9'   ? c - L'0'
                      : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                               : -1;
        if (v < 0) return false;
        (*md5)[i / 2] = static_cast<char>((*md5)[i / 2] << 4 | v);
    }
    return true;
}

}  // namespace

SourceStamps ReadSourceStamps(const std::wstring& root) {
    SourceStamps stamps;
    std::string bytes;
    if (!ReadFileBytes(root + kSourceStampsName, &bytes)) return stamps;
    const std::wstring text = Utf8ToTextExact(bytes);
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find(L"\r\n", pos);
        if (eol == std::wstring::npos) eol = text.size();
        const std::wstring line = text.substr(pos, eol - pos);
        pos = eol + 2;
        // kind=name=size=time=md5; names never hold "=".
        size_t cut[4];
        size_t at = 0;
        bool ok = true;
        for (size_t& c : cut) {
            c = line.find(L'=', at);
            ok = ok && c != std::wstring::npos;
            if (!ok) break;
            at = c + 1;
        }
        if (!ok) continue;
        const std::wstring kind = line.substr(0, cut[0]);
        uint64_t size = 0;
        SourceStamp stamp;
        stamp.launcher = kind == L"launcher";
        if ((kind != L"game" && kind != L"launcher") ||
            !ParseUnsigned(line.substr(cut[1] + 1, cut[2] - cut[1] - 1), &size) ||
            !ParseUnsigned(line.substr(cut[2] + 1, cut[3] - cut[2] - 1), &stamp.writeTime) ||
            !ParseDigest(line.substr(cut[3] + 1), &stamp.md5)) {
            continue;
        }
        stamp.size = static_cast<int64_t>(size);
        stamp.name.assign(line, cut[0] + 1, cut[1] - cut[0] - 1);
        stamps.push_back(std::move(stamp));
    }
    return stamps;
}

bool WriteSourceStamps(const std::wstring& root, const SourceStamps& stamps) {
    std::wstring text;
    for (const SourceStamp& stamp : stamps) {
        const std::string md5 = BytesToHex(stamp.md5);
        text += stamp.launcher ? L"launcher=" : L"game=";
        text += stamp.name;
        text += L'=';
        AppendDecimal(static_cast<uint64_t>(stamp.size), &text);
        text += L'=';
        AppendDecimal(stamp.writeTime, &text);
        text += L'=';
        text.append(md5.begin(), md5.end());
        text += L"\r\n";
    }
    const std::wstring path = root + kSourceStampsName;
    const std::wstring beside = path + L".new";
    if (WriteFileBytes(beside.c_str(), TextToUtf8Exact(text)) &&
        ::MoveFileExW(beside.c_str(), path.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    ::DeleteFileW(beside.c_str());
    return false;
}
