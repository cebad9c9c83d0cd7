#include "notice/NoticeAnswer.h"

#include <json/json.h>

#include <exception>

namespace {

enum class Member { Absent, Text, Malformed };

// A member that is absent or null counts as absent; a string is read; anything else is broken.
Member ReadText(const Json::Value& root, const char* name, std::string* out) {
    if (!root.isMember(name) || root[name].isNull()) return Member::Absent;
    const Json::Value& value = root[name];
    if (!value.isString()) return Member::Malformed;
    const char* text = value.asCString();
    *out = text != nullptr ? text : "";
    return Member::Text;
}

}  // namespace

NoticeAnswer ParseNoticeAnswer(const std::string& text) {
    NoticeAnswer answer;
    Json::Value root;
    Json::Reader reader;
    // The reader throws beyond a thousand levels of nesting: an unusable answer, not a crash.
    try {
        if (!reader.parse(text, root)) return answer;
    } catch (const std::exception&) {
        return answer;
    }
    // The literal null has neither member; any other non-object root is an unusable answer.
    if (!root.isObject()) return answer;

    const Member code = ReadText(root, "Code", &answer.code);
    if (code == Member::Malformed) {
        answer.code.clear();
        return answer;
    }
    std::string url;
    if (ReadText(root, "PCPackageURL", &url) == Member::Text) {
        answer.packageURL = url;
        answer.result = url.empty() ? NoticeResultNoPackageURL : NoticeResultSuccess;
    }
    return answer;
}
