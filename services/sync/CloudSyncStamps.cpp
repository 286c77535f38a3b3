// The table's "updated_at" stamps compared as the times they name.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "foundation/Text.h"
#include "services/sync/CloudSync.h"

namespace Lorvex::Services {

namespace {

// Reads count digits at pos.
std::optional<int64_t> Digits(std::string_view text, size_t& pos, size_t count) {
    if (pos + count > text.size()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    pos += count;
    return value;
}

bool Take(std::string_view text, size_t& pos, char c) {
    if (pos < text.size() && text[pos] == c) {
        ++pos;
        return true;
    }
    return false;
}

// Microseconds since 1601 UTC of "YYYY-MM-DD", "T" or a space, "HH:MM:SS", an optional fraction
// of any width (digits past the sixth dropped), then "Z", "+HH", "+HH:MM", "-HH:MM" or nothing.
std::optional<int64_t> StampMicros(std::string_view text) {
    size_t pos = 0;
    const auto year = Digits(text, pos, 4);
    if (!year || *year < 1601 || !Take(text, pos, '-')) {
        return std::nullopt;
    }
    const auto month = Digits(text, pos, 2);
    if (!month || *month < 1 || *month > 12 || !Take(text, pos, '-')) {
        return std::nullopt;
    }
    const auto day = Digits(text, pos, 2);
    if (!day || !(Take(text, pos, 'T') || Take(text, pos, ' '))) {
        return std::nullopt;
    }
    const auto hour = Digits(text, pos, 2);
    if (!hour || !Take(text, pos, ':')) {
        return std::nullopt;
    }
    const auto minute = Digits(text, pos, 2);
    if (!minute || !Take(text, pos, ':')) {
        return std::nullopt;
    }
    const auto second = Digits(text, pos, 2);
    if (!second || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    int64_t micros = 0;
    if (Take(text, pos, '.')) {
        const size_t first = pos;
        int64_t scale = 100000;
        for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, scale /= 10) {
            micros += (text[pos] - '0') * scale;
        }
        if (pos == first) {
            return std::nullopt;
        }
    }
    int64_t offsetMinutes = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const int64_t sign = text[pos++] == '+' ? 1 : -1;
        const auto hours = Digits(text, pos, 2);
        if (!hours) {
            return std::nullopt;
        }
        int64_t minutes = 0;
        if (pos < text.size()) {
            Take(text, pos, ':');
            const auto read = Digits(text, pos, 2);
            if (!read) {
                return std::nullopt;
            }
            minutes = *read;
        }
        offsetMinutes = sign * (*hours * 60 + minutes);
    } else {
        Take(text, pos, 'Z');
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(*year);
    time.wMonth = static_cast<WORD>(*month);
    time.wDay = static_cast<WORD>(*day);
    time.wHour = static_cast<WORD>(*hour);
    time.wMinute = static_cast<WORD>(*minute);
    time.wSecond = static_cast<WORD>(*second);
    FILETIME ticks{};
    if (!SystemTimeToFileTime(&time, &ticks)) {
        return std::nullopt;  // a day the month does not have
    }
    ULARGE_INTEGER value{};
    value.LowPart = ticks.dwLowDateTime;
    value.HighPart = ticks.dwHighDateTime;
    return static_cast<int64_t>(value.QuadPart / 10) + micros - offsetMinutes * 60 * 1000000;
}

}  // namespace

bool CloudSync::StampBefore(const std::string& a, const std::string& b) {
    const std::optional<int64_t> x = StampMicros(a);
    const std::optional<int64_t> y = StampMicros(b);
    if (x && y) {
        return *x < *y;
    }
    return a < b;
}

bool CloudSync::StampBefore(const std::wstring& a, const std::wstring& b) {
    return StampBefore(Text::ToUtf8(a), Text::ToUtf8(b));
}

}  // namespace Lorvex::Services
