#include "flow/ProgressReaction.h"

#include <cstdio>

ProgressReaction ReactionToState(int state) {
    switch (state) {
        case 1:
            return {L"开始校验本地资源...", 0.0f, FlowAction::None};
        case 2:
            return {L"校验本地资源完成...", 1.0f, FlowAction::None};
        case 5:
            return {L"开始比对服务器资源...", 0.0f, FlowAction::None};
        case 6:
            return {L"比对服务器资源完成...", 1.0f, FlowAction::None};
        case 7:
            return {nullptr, -1.0f, FlowAction::CheckDisk};
        case 8:
            return {L"比对服务器资源失败!", 1.0f, FlowAction::RetryQuestion};
        case 9:
            return {L"获取服务器资源失败!", 1.0f, FlowAction::RetryQuestion};
        case 10:
            return {L"解压服务器资源失败!", 1.0f, FlowAction::RetryQuestion};
        case 11:
            return {L"美女指挥官正在为您调配游戏资源...", 0.0f, FlowAction::None};
        // The text carries the error code; the window fills it from the record.
        case 12:
            return {nullptr, 1.0f, FlowAction::RetryThenCache};
        case 13:
            return {L"加载Launcher资源中,请耐心等待...", 0.0f, FlowAction::None};
        case 14:
            return {L"加载Launcher资源失败!", 1.0f, FlowAction::RetryQuestion};
        case 17:
            return {nullptr, -1.0f, FlowAction::CountBytes};
        case 18:
            return {L"Launcher更新完成,正在重启Launcher...", 1.0f, FlowAction::ConfirmRestart};
        case 19:
            return {L"资源更新完成,准备启动游戏.", 1.0f, FlowAction::LaunchGame};
        case kNoticeResultState:
            return {nullptr, -1.0f, FlowAction::NoticeResult};
        // The text carries the percentage; the window fills it from the record.
        case 21:
            return {nullptr, -1.0f, FlowAction::CheckFiles};
        default:
            return {};  // 3, 4, 15, 16 and anything unknown
    }
}

bool IsDownloadingState(int state) {
    return state == 11 || state == 13 || state == 17;
}

std::wstring ResourceFailureText(const int* errorCode) {
    wchar_t text[64];
    std::swprintf(text, 64, L"加载服务器资源失败_Code:%d", errorCode ? *errorCode : 999999);
    return text;
}

float CheckProgressFraction(int64_t checkedBytes, int64_t totalBytes) {
    if (totalBytes <= 0 || checkedBytes >= totalBytes) return 1.0f;
    if (checkedBytes <= 0) return 0.0f;
    return static_cast<float>(static_cast<double>(checkedBytes) / static_cast<double>(totalBytes));
}

std::wstring CheckProgressText(int64_t checkedBytes, int64_t totalBytes) {
    int percent = 100;
    if (totalBytes > 0 && checkedBytes < totalBytes) {
        percent = checkedBytes <= 0 ? 0 : static_cast<int>(checkedBytes * 100.0 / totalBytes);
    }
    wchar_t text[64];
    std::swprintf(text, 64, L"正在校验游戏文件...%d%%", percent);
    return text;
}

std::wstring NoticeFailureText(int result) {
    switch (result) {
        case 2:
            return L"无法完成游戏资源更新，未配置更新地址!";
        case 3:
            return L"无法完成游戏资源更新，解析失败!";
        case 4:
            return L"无法完成游戏资源更新，请求失败!";
        default:
            return L"";
    }
}
