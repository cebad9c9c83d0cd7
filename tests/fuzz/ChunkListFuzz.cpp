// A chunk list and the configuration lines naming lists: whatever the bytes, a list that parses
// describes as many bytes as its chunks hold and comes back the same when written out again;
// the chunk cutter never cuts outside the bytes it is given.
#include <cstdlib>
#include <cstring>
#include <string>

#include "resources/ChunkList.h"
#include "resources/ContentChunker.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ChunkList list;
    if (ParseChunkList(text, &list)) {
        uint64_t total = 0;
        std::string again = FormatChunkListHeader();
        for (const ChunkEntry& entry : list.chunks) {
            if (entry.package >= list.packageDirs.size() || entry.size == 0) std::abort();
            total += entry.size;
            again += FormatChunkEntry(entry, list.packageDirs[entry.package]);
        }
        if (total != list.fileSize) std::abort();
        ChunkList reread;
        if (!ParseChunkList(again, &reread) || reread.chunks.size() != list.chunks.size() ||
            reread.fileSize != list.fileSize) {
            std::abort();
        }
    }
    for (const auto& item : ParseChunkReferences(text)) {
        if (item.second.listSha256.size() != 32 || item.first.empty()) std::abort();
        const ChunkReferences again =
            ParseChunkReferences(" \r\n" + FormatChunkReference(item.first, item.second));
        const auto found = again.find(item.first);
        if (found == again.end() || found->second.fileSize != item.second.fileSize ||
            found->second.listPath != item.second.listPath) {
            std::abort();
        }
    }
    const size_t cut = ContentChunker::NextCut(data, size);
    if (cut > size || (size > 0 && cut == 0)) std::abort();
    return 0;
}
