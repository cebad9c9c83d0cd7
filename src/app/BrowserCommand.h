// The command line that opens an address with the registered browser. No Windows header.
#pragma once

#include <string>

// The browser command cut at its first "\"%1\"" (or, when there is none, at its first "%1"),
// followed by one space and the address, unquoted.
std::wstring BuildBrowserCommand(const std::wstring& registeredCommand,
                                 const std::wstring& address);
