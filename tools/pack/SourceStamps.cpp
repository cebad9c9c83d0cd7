#include "SourceStamps.h"

#include <windows.h>

#include <cstring>

#include "app/TextConvert.h"
#include "framework/ScopedHandle.h"

const wchar_t kSourceStampsName[] = L"source-stamps.txt";

namespace {

bool ParseUnsigned(std::wstring_view text, uint64_t* value) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        n = n * 10 + static_cast<uint64_t>(c - L'0');
    }
    *value = n;
    return true;
}

bool ParseDigest(std::wstring_view text, unsigned char* md5) {
    if (text.size() != 32) return false;
    for (size_t i = 0; i < 32; ++i) {
        const wchar_t c = text[i];
        const int v = c >= L'0' && c <= L'9'   ? c - L'0'
                      : c >= L'A' && c <= L'F' ? c - L'A' + 10
                                               : -1;
        if (v < 0) return false;
        md5[i / 2] = static_cast<unsigned char>(i % 2 == 0 ? v << 4 : md5[i / 2] | v);
    }
    return true;
}

// kind=name=size=time=md5; names never hold "=".
void ParseLine(const std::wstring& line, SourceStamps* stamps) {
    size_t cut[4];
    size_t at = 0;
    for (size_t& c : cut) {
        c = line.find(L'=', at);
        if (c == std::wstring::npos) return;
        at = c + 1;
    }
    const std::wstring_view text(line);
    const std::wstring_view kind = text.substr(0, cut[0]);
    uint64_t size = 0;
    uint64_t writeTime = 0;
    unsigned char md5[16];
    if ((kind != L"game" && kind != L"launcher") ||
        !ParseUnsigned(text.substr(cut[1] + 1, cut[2] - cut[1] - 1), &size) ||
        !ParseUnsigned(text.substr(cut[2] + 1, cut[3] - cut[2] - 1), &writeTime) ||
        !ParseDigest(text.substr(cut[3] + 1), md5)) {
        return;
    }
    stamps->Add(kind == L"launcher", text.substr(cut[0] + 1, cut[1] - cut[0] - 1),
                static_cast<int64_t>(size), writeTime, md5);
}

}  // namespace

bool SourceStamps::Add(bool launcher, std::wstring_view name, int64_t size, uint64_t writeTime,
                       const unsigned char* md5) {
    if (name.size() >= kLauncher || names_.size() + name.size() > UINT32_MAX) return false;
    Stamp stamp;
    stamp.nameAt = static_cast<uint32_t>(names_.size());
    stamp.length = static_cast<uint32_t>(name.size()) | (launcher ? kLauncher : 0);
    stamp.size = size;
    stamp.writeTime = writeTime;
    std::memcpy(stamp.md5, md5, sizeof(stamp.md5));
    names_.append(name);
    stamps_.push_back(stamp);
    return true;
}

void SourceStamps::Compact() {
    names_.shrink_to_fit();
    stamps_.shrink_to_fit();
}

SourceStamps ReadSourceStamps(const std::wstring& root, size_t pieceBytes) {
    SourceStamps stamps;
    ombrix::ScopedFileHandle file(::CreateFileW((root + kSourceStampsName).c_str(), GENERIC_READ,
                                                FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return stamps;
    // Whole lines are taken from the bytes read so far; a line cut by the end of a piece waits
    // for the next one.
    std::string bytes;
    std::vector<char> piece(pieceBytes < 1 ? 1 : pieceBytes);
    for (bool end = false; !end;) {
        DWORD got = 0;
        if (!::ReadFile(file.Get(), piece.data(), static_cast<DWORD>(piece.size()), &got,
                        nullptr)) {
            return SourceStamps();
        }
        end = got == 0;
        bytes.append(piece.data(), got);
        size_t pos = 0;
        for (;;) {
            size_t eol = bytes.find("\r\n", pos);
            if (eol == std::string::npos) {
                if (!end || pos == bytes.size()) break;
                eol = bytes.size();  // the last line, without its line end
            }
            ParseLine(Utf8ToTextExact(bytes.substr(pos, eol - pos)), &stamps);
            pos = eol == bytes.size() ? eol : eol + 2;
        }
        bytes.erase(0, pos);
    }
    stamps.Compact();
    return stamps;
}
