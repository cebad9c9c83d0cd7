// The notice service's answer that names one release of a CDN tree:
//   {"Code":"a|b","PCPackageURL":"BASE/config/NAME.txt"}
// BASE is the address the tree is served at. Without one given, the answer already in the
// file supplies it (two levels above its configuration address, as the launcher derives the
// CDN base), so switching between releases is a single command.
#pragma once

#include <string>

struct NoticeRequest {
    std::wstring file;        // the answer the notice service serves
    std::wstring release;     // a release of the tree
    std::wstring configFile;  // its file in config\ as the tree holds it; NAME.txt when empty
    std::wstring baseUrl;     // optional: where the tree is served, ends with "/"
    std::wstring codeList;    // optional: "a|b"; the previous answer's list when not given
    bool codeListGiven = false;
};

// The answer's text; false with a message when no base address is known.
bool BuildNoticeAnswer(const NoticeRequest& request, const std::string& previousAnswer,
                       std::string* answer, std::wstring* error);

// The answer for request.file, built on the answer the file holds now.
bool PrepareNoticeAnswer(const NoticeRequest& request, std::string* answer, std::wstring* error);

// Writes a prepared answer (beside, then renamed over the previous one).
bool WriteNoticeAnswerText(const std::wstring& file, const std::string& answer,
                           std::wstring* error);

// Prepares the answer and writes it.
bool WriteNoticeAnswer(const NoticeRequest& request, std::wstring* error);
