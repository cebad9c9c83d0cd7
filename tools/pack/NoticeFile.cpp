#include "NoticeFile.h"

#include <windows.h>

#include <json/json.h>

#include "app/FileServices.h"
#include "app/TextConvert.h"

bool BuildNoticeAnswer(const NoticeRequest& request, const std::string& previousAnswer,
                       std::string* answer, std::wstring* error) {
    Json::Value previous;
    Json::Reader reader;
    if (previousAnswer.empty() || !reader.parse(previousAnswer, previous) || !previous.isObject()) {
        previous = Json::Value(Json::objectValue);
    }
    std::string base = TextToUtf8Exact(request.baseUrl);
    if (base.empty() && previous["PCPackageURL"].isString()) {
        base = previous["PCPackageURL"].asString();
        for (int cut = 0; cut < 2; ++cut) {
            const size_t slash = base.rfind('/');
            base = slash == std::string::npos ? std::string() : base.substr(0, slash);
        }
        if (!base.empty()) base += "/";
    }
    if (base.find("://") == std::string::npos) {
        *error = L"the address the tree is served at is unknown: give --url";
        return false;
    }
    if (base.back() != '/') base += "/";
    Json::Value root(Json::objectValue);
    if (request.codeListGiven) {
        root["Code"] = TextToUtf8Exact(request.codeList);
    } else if (previous["Code"].isString()) {
        root["Code"] = previous["Code"];
    } else {
        root["Code"] = "";
    }
    const std::wstring configFile =
        request.configFile.empty() ? request.release + L".txt" : request.configFile;
    root["PCPackageURL"] = base + "config/" + TextToUtf8Exact(configFile);
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    *answer = Json::writeString(writer, root);
    return true;
}

bool PrepareNoticeAnswer(const NoticeRequest& request, std::string* answer, std::wstring* error) {
    std::string previous;
    if (FileExists(request.file)) ReadFileBytes(request.file, &previous);
    return BuildNoticeAnswer(request, previous, answer, error);
}

bool WriteNoticeAnswerText(const std::wstring& file, const std::string& answer,
                           std::wstring* error) {
    const std::wstring beside = file + L".new";
    if (!WriteFileBytes(beside.c_str(), answer) ||
        !::MoveFileExW(beside.c_str(), file.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(beside.c_str());
        *error = file + L": cannot write the notice answer";
        return false;
    }
    return true;
}

bool WriteNoticeAnswer(const NoticeRequest& request, std::wstring* error) {
    std::string answer;
    return PrepareNoticeAnswer(request, &answer, error) &&
           WriteNoticeAnswerText(request.file, answer, error);
}
