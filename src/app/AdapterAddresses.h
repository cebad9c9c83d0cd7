// Walking the IP Helper adapter list.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <string>
#include <vector>

// The hardware address bytes of each adapter of the list, in list order. An address length
// beyond the address field is cut to the field, so a broken entry cannot read past it.
std::vector<std::string> CollectAdapterAddresses(const IP_ADAPTER_INFO* first);
