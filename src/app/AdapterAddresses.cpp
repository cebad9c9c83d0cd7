#include "app/AdapterAddresses.h"

std::vector<std::string> CollectAdapterAddresses(const IP_ADAPTER_INFO* first) {
    std::vector<std::string> addresses;
    for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr; adapter = adapter->Next) {
        UINT length = adapter->AddressLength;
        if (length > sizeof(adapter->Address)) length = sizeof(adapter->Address);
        addresses.emplace_back(reinterpret_cast<const char*>(adapter->Address), length);
    }
    return addresses;
}
