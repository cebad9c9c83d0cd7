// Stamps list: whatever the text, the entries read back from their written form unchanged, and
// a file listed exactly as stamped is intact unless a full check reads it.
#include <cstdlib>

#include "FuzzInput.h"
#include "resources/InstallStamps.h"
#include "resources/QuickCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring text = WideText(std::string(reinterpret_cast<const char*>(data), size));
    InstallStampMap stamps;
    ParseStampsText(text, &stamps);
    std::wstring written;
    FormatStampsText(stamps, &written);
    InstallStampMap reread;
    ParseStampsText(written, &reread);
    if (reread.size() != stamps.size()) std::abort();
    for (const auto& entry : stamps) {
        const auto back = reread.find(entry.first);
        if (back == reread.end() || back->second.size != entry.second.size ||
            back->second.writeTime != entry.second.writeTime ||
            back->second.digest != entry.second.digest) {
            std::abort();
        }
        const ListedFile listed{entry.second.size, entry.second.writeTime};
        if (JudgeRecordedFile(entry.second.digest, &entry.second, &listed, false) !=
            CheckVerdict::Intact) {
            std::abort();
        }
        if (JudgeRecordedFile(entry.second.digest, &entry.second, nullptr, false) !=
            CheckVerdict::Missing) {
            std::abort();
        }
    }
    return 0;
}
