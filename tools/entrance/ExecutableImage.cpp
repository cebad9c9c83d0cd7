#include "ExecutableImage.h"

#include <cstdint>

namespace {

constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kOptionalHeader64 = 0x20B;
constexpr uint64_t kSectionHeaderSize = 40;

// Little-endian unsigned value of size bytes at pos; false when the file is shorter.
bool ReadValue(const std::string& bytes, uint64_t pos, int size, uint64_t* value) {
    if (pos > bytes.size() || bytes.size() - pos < static_cast<uint64_t>(size)) return false;
    *value = 0;
    for (int i = size - 1; i >= 0; --i) {
        *value = (*value << 8) | static_cast<uint8_t>(bytes[pos + i]);
    }
    return true;
}

}  // namespace

bool IsWholeExecutable(const std::string& bytes) {
    uint64_t dosMagic = 0, peOffset = 0, signature = 0;
    if (!ReadValue(bytes, 0, 2, &dosMagic) || dosMagic != 0x5A4D) return false;  // "MZ"
    if (!ReadValue(bytes, 0x3C, 4, &peOffset)) return false;
    if (!ReadValue(bytes, peOffset, 4, &signature) || signature != 0x4550) return false;  // "PE"
    const uint64_t header = peOffset + 4;
    uint64_t machine = 0, sections = 0, optionalSize = 0, flags = 0, optionalMagic = 0;
    if (!ReadValue(bytes, header, 2, &machine) || machine != kMachineAmd64) return false;
    if (!ReadValue(bytes, header + 2, 2, &sections) || sections == 0) return false;
    if (!ReadValue(bytes, header + 16, 2, &optionalSize)) return false;
    if (!ReadValue(bytes, header + 18, 2, &flags) || (flags & kExecutableImage) == 0) return false;
    const uint64_t optional = header + 20;
    if (!ReadValue(bytes, optional, 2, &optionalMagic) || optionalMagic != kOptionalHeader64) {
        return false;
    }
    const uint64_t table = optional + optionalSize;
    for (uint64_t i = 0; i < sections; ++i) {
        uint64_t rawSize = 0, rawOffset = 0;
        const uint64_t section = table + i * kSectionHeaderSize;
        if (!ReadValue(bytes, section + 16, 4, &rawSize) ||
            !ReadValue(bytes, section + 20, 4, &rawOffset)) {
            return false;
        }
        if (rawOffset + rawSize > bytes.size()) return false;
    }
    return true;
}
