// The entrance's own new executable: a running program cannot be replaced, so an update of it
// waits complete beside it and takes its place at the next start.
#pragma once

#include <string>

inline constexpr wchar_t kPendingSelfSuffix[] = L".next";

// When selfPath + kPendingSelfSuffix exists: moves the running executable aside and the
// pending one in its place (putting the old one back when that fails). Deletes an executable
// moved aside by an earlier start. True when the pending file took its place.
bool ApplyPendingSelf(const std::wstring& selfPath);
