#include "ChunkedFile.h"

#include <windows.h>
#include <zlib.h>

#include <cstring>

#include "app/Crypto.h"
#include "app/FileServices.h"
#include "app/Sha256.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "framework/ScopedHandle.h"
#include "resources/ContentChunker.h"

const wchar_t kChunkListFolder[] = L"chunks";

namespace {

// One gzip stream per chunk; the deflate state is kept from chunk to chunk.
class ChunkDeflater {
  public:
    ChunkDeflater() {
        ok_ = deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                           Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~ChunkDeflater() {
        if (ok_) deflateEnd(&z_);
    }
    bool Compress(const char* data, size_t size, std::string* out) {
        if (!ok_ || deflateReset(&z_) != Z_OK) return false;
        out->resize(deflateBound(&z_, static_cast<uLong>(size)));
        z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z_.avail_in = static_cast<uInt>(size);
        z_.next_out = reinterpret_cast<Bytef*>(&(*out)[0]);
        z_.avail_out = static_cast<uInt>(out->size());
        if (deflate(&z_, Z_FINISH) != Z_STREAM_END) return false;
        out->resize(out->size() - z_.avail_out);
        return true;
    }

  private:
    z_stream z_{};
    bool ok_ = false;
};

}  // namespace

bool PublishChunkedFile(const std::wstring& treeRoot, const std::wstring& path,
                        const std::string& md5, PackageWriter* writer, const ChunkStore& store,
                        ChunkReference* reference, ChunkedStats* stats, std::wstring* error) {
    ombrix::ScopedFileHandle in(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) {
        *error = path + L": cannot open the file for reading";
        return false;
    }
    ChunkStream chunks([&in](char* buffer, size_t want, size_t* got) {
        DWORD read = 0;
        const BOOL ok = ::ReadFile(in.Get(), buffer, static_cast<DWORD>(want), &read, nullptr);
        *got = read;
        return ok != FALSE;
    });
    Md5Hasher fileMd5;
    Md5Hasher chunkMd5;
    ChunkDeflater deflater;
    std::string list = FormatChunkListHeader();
    std::string stored;
    uint64_t fileSize = 0;
    const char* data = nullptr;
    size_t size = 0;
    while (chunks.Next(&data, &size)) {
        fileMd5.Update(data, size);
        chunkMd5.Reset();
        chunkMd5.Update(data, size);
        FileDigest digest;
        digest.size = static_cast<int64_t>(size);
        digest.md5 = chunkMd5.Finish();
        PackedEntry entry;
        bool found = false;
        if (!store.find(digest.size, digest.md5, &entry, &found, error)) return false;
        if (!found) {
            if (!deflater.Compress(data, size, &stored)) {
                *error = path + L": zlib could not compress a chunk";
                return false;
            }
            // Plain bytes unpack as they are, unless they start like a gzip stream.
            const bool plainReads = !(size >= 2 && data[0] == '\x1f' && data[1] == '\x8b');
            if (plainReads && stored.size() >= size) stored.assign(data, size);
            if (!writer->AddStream(stored, digest, std::string(), &entry, error)) return false;
            store.added(entry);
            ++stats->newChunks;
            stats->newBytes += entry.length;
        }
        ChunkEntry line;
        const std::string sha = Sha256Digest(data, size);
        if (sha.size() != 32 || entry.sha256.size() != 32) {
            *error = L"SHA-256 is not available";
            return false;
        }
        std::memcpy(line.digest, sha.data(), 32);
        std::memcpy(line.rangeSha256, entry.sha256.data(), 32);
        line.size = static_cast<uint32_t>(size);
        line.offset = entry.offset;
        line.length = static_cast<uint32_t>(entry.length);
        list += FormatChunkEntry(line, TextToNarrow(entry.packageDir));
        fileSize += size;
        ++stats->chunks;
    }
    if (chunks.Failed()) {
        *error = path + L": cannot read the file";
        return false;
    }
    if (fileMd5.Finish() != md5) {
        *error = path + L": the file changed while it was published";
        return false;
    }
    reference->listSha256 = Sha256Digest(list);
    const std::string name = BytesToHex(reference->listSha256) + ".txt";
    reference->listPath = TextToNarrow(kChunkListFolder) + "/" + name;
    reference->fileSize = fileSize;
    const std::wstring folder = treeRoot + kChunkListFolder + L"\\";
    const std::wstring listPath = folder + std::wstring(name.begin(), name.end());
    if (FileExists(listPath)) return true;  // the same list, published before
    if ((!::CreateDirectoryW(folder.c_str(), nullptr) && !DirectoryExists(folder)) ||
        !WriteFileBeside(listPath, list, false)) {
        *error = listPath + L": cannot write the chunk list";
        return false;
    }
    return true;
}
