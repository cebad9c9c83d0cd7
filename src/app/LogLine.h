// One line of the launcher's log: UTC time with milliseconds, process and thread id, a short
// event name and key=value fields. Values are UTF-8; a value that holds a blank, a quote, an
// equals sign, a backslash, a control character or bytes that are not UTF-8 is quoted and
// escaped, so that every event stays one line. No Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

struct LogTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// One key=value field. The key is a short fixed text of the caller; the value is kept as UTF-8.
struct LogField {
    LogField(const char* name, const std::wstring& text);
    LogField(const char* name, const wchar_t* text);
    LogField(const char* name, const std::string& bytes) : key(name), value(bytes) {}
    LogField(const char* name, const char* bytes) : key(name), value(bytes ? bytes : "") {}
    LogField(const char* name, bool flag) : key(name), value(flag ? "true" : "false") {}
    // Integers and enumerations as decimal numbers.
    template <typename T, typename = typename std::enable_if<std::is_integral<T>::value ||
                                                             std::is_enum<T>::value>::type>
    LogField(const char* name, T number) : key(name), value(Number(number)) {}

    const char* key;
    std::string value;

  private:
    template <typename T>
    static std::string Number(T number) {
        using Wide = typename std::conditional<std::is_signed<T>::value || std::is_enum<T>::value,
                                               long long, unsigned long long>::type;
        return std::to_string(static_cast<Wide>(number));
    }
};

// UTF-16 text as UTF-8; a lone surrogate becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// The value as it appears after "key=": unchanged when it needs no quotes, otherwise in double
// quotes with \" \\ \n \r \t and \xHH for other control bytes and for bytes that are not part of
// well-formed UTF-8.
std::string QuoteLogValue(const std::string& value);

// "2026-01-02T03:04:05.678Z 1234/5678 event key=value ..." followed by "\r\n".
std::string FormatLogLine(const LogTime& time, uint32_t processId, uint32_t threadId,
                          const char* event, const LogField* fields, size_t count);
