// The entrance's own new executable: a running program cannot be replaced, so an update of it
// waits complete beside it and takes its place at the next start.
#pragma once

#include <string>

inline constexpr wchar_t kPendingSelfSuffix[] = L".next";
// Where the running executable is kept while the pending one takes its place; removed by the
// start after, which runs the new one.
inline constexpr wchar_t kPreviousSelfSuffix[] = L".previous";

// When selfPath + kPendingSelfSuffix exists and holds a whole executable: moves the running
// executable aside and the pending one in its place (putting the old one back when that
// fails). A pending file that is no whole executable is deleted and the running one stays.
// Deletes an executable moved aside by an earlier start. True when the pending file took its
// place.
bool ApplyPendingSelf(const std::wstring& selfPath);
