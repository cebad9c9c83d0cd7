#include "app/DeviceId.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include "app/AdapterAddresses.h"
#include "app/Crypto.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"

bool ListAdapterAddresses(std::vector<std::string>* addresses) {
    if (addresses == nullptr) return false;
    // First with room for about one adapter; when that is too small, once more with the size
    // the system asks for.
    ULONG size = 648;
    std::vector<unsigned char> buffer(size);
    DWORD result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (result == ERROR_BUFFER_OVERFLOW) {
        buffer.assign(size, 0);
        result = ::GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    if (result != ERROR_SUCCESS) return false;
    *addresses = CollectAdapterAddresses(reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.data()));
    return true;
}

std::wstring DeviceIdFromAddresses(bool listed, const std::vector<std::string>& addresses) {
    if (!listed) return {};
    std::string text;
    for (const std::string& address : addresses) text += BytesToHex(address);
    const std::string digest = Md5Digest(text);  // plain ASCII: the same in the narrow code page
    return NarrowToText(BytesToHex(digest));
}

std::wstring GetDeviceId() {
    std::vector<std::string> addresses;
    const bool listed = ListAdapterAddresses(&addresses);
    return DeviceIdFromAddresses(listed, addresses);
}
