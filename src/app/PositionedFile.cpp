#include "app/PositionedFile.h"

namespace {

// One call of ReadFile or WriteFile at most 1 GiB long, at offset.
template <typename Call, typename Bytes>
bool EachPiece(Call call, HANDLE file, uint64_t offset, Bytes data, size_t size) {
    while (size > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        const DWORD want = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
        DWORD done = 0;
        if (!call(file, data, want, &done, &at) || done == 0) return false;
        data += done;
        offset += done;
        size -= done;
    }
    return true;
}

}  // namespace

bool WriteFileAt(HANDLE file, uint64_t offset, const char* data, size_t size) {
    return EachPiece(::WriteFile, file, offset, data, size);
}

bool ReadFileAt(HANDLE file, uint64_t offset, char* data, size_t size) {
    return EachPiece(::ReadFile, file, offset, data, size);
}
