// How the foreground window reacts to each progress state of the update: the stage text of
// the status line, the progress fraction and the follow-up action. No Windows header.
#pragma once

#include <cstdint>
#include <string>

// Value of wParam of the progress message that carries a notice result (the resource
// manager's own states are 1 to 19).
constexpr int kNoticeResultState = 20;

enum class FlowAction {
    None,
    CheckDisk,       // 7: disk check, then start the batches
    RetryQuestion,   // 8, 9, 10, 14: ask to retry from the notice request
    RetryThenCache,  // 12: ask to retry, else offer to drop the local manifest
    CountBytes,      // 17: progress of the running batch
    ConfirmRestart,  // 18: tell the player, then restart the launcher
    LaunchGame,      // 19: start the game shortly
    NoticeResult,    // 20: continue with the configuration address
    CheckFiles,      // 21: installed files are read: stage text with percentage, and the bar
};

struct ProgressReaction {
    const wchar_t* statusText = nullptr;  // null: the status line is left as it is
    float fraction = -1.0f;               // below 0: the progress fraction is left as it is
    FlowAction action = FlowAction::None;
};

ProgressReaction ReactionToState(int state);

// 11, 13 and 17: a batch is transferring and the status line shows its speed.
bool IsDownloadingState(int state);

// Status text of a failed resource batch (999999 stands in when no code came with it).
std::wstring ResourceFailureText(const int* errorCode);

// Status text of the check of the installed files, with the share read so far, for example
// "正在校验游戏文件...42%" (100% when there is nothing to read).
std::wstring CheckProgressText(int64_t checkedBytes, int64_t totalBytes);
// The share read so far, 0 to 1 (1 when there is nothing to read).
float CheckProgressFraction(int64_t checkedBytes, int64_t totalBytes);

// Question text for a notice result other than success (empty for an unknown value).
std::wstring NoticeFailureText(int result);
