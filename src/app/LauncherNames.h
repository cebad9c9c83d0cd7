// Fixed names of the launcher's start-up.
#pragma once

// Single-instance mutex.
inline constexpr wchar_t kLauncherMutexName[] = L"com.corvane.vemo.pc.OmbrixQZGameMutex";
// Copy of the launcher in its data directory.
inline constexpr wchar_t kLauncherCopyName[] = L"Ombrixvemo.exe";
// Desktop shortcut to that copy.
inline constexpr wchar_t kDesktopShortcutName[] =
    L"OmbrixStalbrand\u624B\u6E38\u6A21\u62DF\u5668.lnk";
// The game executable below the game root, and its working directory.
inline constexpr wchar_t kGameExecutable[] = L"game\\vemo_game.exe";
inline constexpr wchar_t kGameDirectory[] = L"game\\";
// Template id of the top-level host dialog.
inline constexpr int kFlashDialogTemplate = 134;
// The logs of the launcher and of the entrance, below the launcher data directory.
inline constexpr wchar_t kLogFileName[] = L"logs\\launcher.log";
inline constexpr wchar_t kEntranceLogFileName[] = L"logs\\entrance.log";
