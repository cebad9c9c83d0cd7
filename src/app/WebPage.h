// Opening a web page for the player.
#pragma once

#include <string>

// Asks the shell to open the address; when it refuses, starts the browser registered for
// ".htm" with the address. True when a browser was started.
bool OpenWebPage(const std::wstring& address);
