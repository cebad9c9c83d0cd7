// Choice of the update configuration address among the alternatives the notice service lists.
// No Windows header.
#pragma once

#include <string>
#include <vector>

// The address to use on try number retryCount (0 = first try). On a retry every occurrence
// of the first code in the address is replaced by the code at index min(retryCount, n - 1),
// so each retry moves on to the next alternative and stays on the last one. An empty list,
// the first try, or an empty first code leave the address unchanged.
std::wstring SelectPackageAddress(const std::wstring& packageURL,
                                  const std::vector<std::wstring>& codeList, int retryCount);
