#include "flow/PackageAddress.h"

std::wstring SelectPackageAddress(const std::wstring& packageURL,
                                  const std::vector<std::wstring>& codeList, int retryCount) {
    if (retryCount <= 0 || codeList.empty()) return packageURL;
    const std::wstring& from = codeList.front();
    if (from.empty()) return packageURL;  // nothing to look for
    const size_t last = codeList.size() - 1;
    const size_t index = static_cast<size_t>(retryCount) < last ? retryCount : last;
    const std::wstring& to = codeList[index];

    std::wstring out;
    size_t pos = 0;
    for (;;) {
        const size_t hit = packageURL.find(from, pos);
        if (hit == std::wstring::npos) break;
        out.append(packageURL, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    out.append(packageURL, pos, std::wstring::npos);
    return out;
}
