// The web page of the game's community group, opened by the group button.
#pragma once

inline constexpr wchar_t kCommunityPageAddress[] = L"https://community.ombrix.example/";
