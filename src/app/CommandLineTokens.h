// Finding a KEY=value token in the launcher's command line. No Windows header.
#pragma once

#include <string>

// Removes every occurrence of the quoted module path ("\"" + modulePath + "\"") from the
// command line, trims it, splits it on spaces and returns in rawValue the text after the first
// '=' of the first token whose key (the text before that '=') equals key, case ignored for
// ASCII letters. Tokens without '=' are skipped. False (rawValue untouched) when none matches.
bool FindCommandLineToken(const std::wstring& commandLine, const std::wstring& modulePath,
                          const std::wstring& key, std::wstring* rawValue);

// Equality of two texts with ASCII letters compared without case.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// The command line without the tokens of this key (case ignored for ASCII letters), for showing
// it where the value must not appear: every token (split at any white space) whose text before
// its first '=' ends with the key goes. A token that opens a quote it does not close takes the
// following tokens with it up to the one that closes it. Tokens are joined by single blanks.
std::wstring WithoutCommandLineToken(const std::wstring& commandLine, const std::wstring& key);
