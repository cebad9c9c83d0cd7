// Puts a set of files in place as one step. Each file is first written in full beside its
// target, then the targets are swapped in one after the other; the files they replace are kept
// beside them until every file is in place, and are put back when any step fails.
#pragma once

#include <string>
#include <vector>

class FileSwap {
  public:
    FileSwap() = default;
    // Files staged or swapped in but never finished are taken back.
    ~FileSwap();
    FileSwap(const FileSwap&) = delete;
    FileSwap& operator=(const FileSwap&) = delete;

    // Puts back what an earlier swap of target left behind when it was cut short (a kept file
    // beside it): the target is then as it was before that swap.
    static void RecoverInterrupted(const std::wstring& target);

    // Writes content beside target (creating missing folders). False when it cannot be written
    // completely; nothing of it is left then.
    bool Stage(const std::wstring& target, const std::string& content);

    // Swaps every staged file in, in the order staged. On a failure every target is put back as
    // it was and the staged files are deleted: false.
    bool Commit();

    // After Commit: deletes the replaced files. The swap can no longer be undone.
    void Finish();

  private:
    struct Entry {
        std::wstring target;
        bool hadOld = false;  // the target existed and was moved aside
        bool swapped = false;
    };
    void Undo();

    std::vector<Entry> entries_;
    bool finished_ = false;
};

// Suffixes of the staged file and of the replaced one kept beside a target.
inline constexpr wchar_t kStagedSuffix[] = L".ombrix-new";
inline constexpr wchar_t kReplacedSuffix[] = L".ombrix-old";
