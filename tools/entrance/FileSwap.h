// Puts a set of files in place as one step. Each file is first written in full beside its
// target and flushed to the disk; the targets are noted in a journal, then swapped in one after
// the other; the files they replace are kept beside them until every file is in place, and are
// put back when any step fails. A swap cut short by a kill is finished from its journal alone.
#pragma once

#include <string>
#include <vector>

class FileSwap {
  public:
    explicit FileSwap(std::wstring journalPath) : journalPath_(std::move(journalPath)) {}
    // Files staged or swapped in but never finished are taken back.
    ~FileSwap();
    FileSwap(const FileSwap&) = delete;
    FileSwap& operator=(const FileSwap&) = delete;

    // Finishes what an earlier swap noted in journalPath left when it was cut short: before its
    // commit every target is put back as it was, after it the replaced files are removed. True
    // when nothing is left to do (the journal is gone); false keeps the journal for a later try.
    static bool RecoverInterrupted(const std::wstring& journalPath);

    // Writes content beside target (creating missing folders) and flushes it. False when it
    // cannot be written completely; nothing of it is left then.
    bool Stage(const std::wstring& target, const std::string& content);

    // Swaps every staged file in, in the order staged. On a failure every target is put back as
    // it was and the staged files are deleted: false.
    bool Commit();

    // After Commit: removes the replaced files (read-only ones too) and the journal. The swap
    // can no longer be undone.
    void Finish();

  private:
    struct Entry {
        std::wstring target;
        bool hadOld = false;  // the target existed and was moved aside
        bool swapped = false;
    };
    bool Swap(Entry& entry);
    void Undo();

    std::wstring journalPath_;
    std::vector<Entry> entries_;
    bool finished_ = false;
};

// Suffixes of the staged file and of the replaced one kept beside a target.
inline constexpr wchar_t kStagedSuffix[] = L".ombrix-new";
inline constexpr wchar_t kReplacedSuffix[] = L".ombrix-old";
