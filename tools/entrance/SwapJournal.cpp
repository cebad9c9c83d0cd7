#include "SwapJournal.h"

#include "app/TextConvert.h"

std::string FormatJournal(const std::vector<JournalEntry>& entries) {
    std::string text;
    for (const JournalEntry& entry : entries) {
        text += entry.replaces ? "R " : "N ";
        text += TextToUtf8Exact(entry.target);
        text += '\n';
    }
    return text;
}

SwapJournal ParseJournal(const std::string& text) {
    SwapJournal journal;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // the last line was never finished
        const std::string line = text.substr(start, end - start + 1);
        start = end + 1;
        if (line == kJournalCommitLine) {
            journal.committed = true;
        } else if (line.size() > 3 && (line[0] == 'R' || line[0] == 'N') && line[1] == ' ') {
            const std::wstring target = Utf8ToTextExact(line.substr(2, line.size() - 3));
            if (!target.empty()) journal.entries.push_back({target, line[0] == 'R'});
        }
    }
    return journal;
}
