// The text that identifies this device to the servers: MD5 of the hardware addresses of the
// network adapters, in the system's order.
#pragma once

#include <string>
#include <vector>

// 32 upper-case hexadecimal characters, or empty when the adapters cannot be listed (also
// when there are none).
std::wstring GetDeviceId();

// The hardware address of every adapter (as many bytes as its address length says, at most
// the size of the address field), in list order. False when the list cannot be obtained.
bool ListAdapterAddresses(std::vector<std::string>* addresses);

// The identifier for a listing result: empty when listed is false, otherwise the hexadecimal
// MD5 of the addresses written as "%02X" bytes without separators.
std::wstring DeviceIdFromAddresses(bool listed, const std::vector<std::string>& addresses);
