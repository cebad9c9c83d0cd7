// The files the entrance reads besides the bundle: a staged program of any bytes and a swap
// journal cut anywhere. Neither reads outside its input; a whole program stays whole with bytes
// appended, and a journal never names an empty target.
#include <cstdlib>
#include <string>

#include "ExecutableImage.h"
#include "SwapJournal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (IsWholeExecutable(bytes) && !IsWholeExecutable(bytes + std::string(64, '\0'))) abort();
    for (const JournalEntry& entry : ParseJournal(bytes).entries) {
        if (entry.target.empty()) abort();
    }
    return 0;
}
