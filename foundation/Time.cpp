#include "foundation/Time.h"

#include <objbase.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace Lorvex::Time {

namespace {

// FILETIME counts 100-ns ticks.
constexpr int64_t TicksPerSecond = 10000000;
constexpr int64_t TicksPerMinute = 60 * TicksPerSecond;
constexpr int64_t TicksPerHour = 60 * TicksPerMinute;
constexpr int64_t TicksPerDay = 24 * TicksPerHour;

constexpr const wchar_t* WeekdayNames[7] = {L"Domingo", L"Lunes",   L"Martes", L"Miércoles",
                                            L"Jueves",  L"Viernes", L"Sábado"};
constexpr const wchar_t* MonthAbbreviations[12] = {L"ene", L"feb", L"mar", L"abr", L"may", L"jun",
                                                   L"jul", L"ago", L"sep", L"oct", L"nov", L"dic"};

// Zero-padded decimal; wider values are written in full.
void AppendNumber(std::wstring& out, unsigned long value, int width) {
    wchar_t digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = width - n; pad > 0; --pad) {
        out += L'0';
    }
    while (n > 0) {
        out += digits[--n];
    }
}

void AppendHex(std::wstring& out, unsigned long value, int digits) {
    static constexpr wchar_t Hex[] = L"0123456789abcdef";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += Hex[(value >> shift) & 0xF];
    }
}

// A SYSTEMTIME converts to at most the year 30827, well inside the signed range.
std::optional<int64_t> ToTicks(const SYSTEMTIME& time) {
    FILETIME ft{};
    if (!SystemTimeToFileTime(&time, &ft)) {
        return std::nullopt;
    }
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

// A time the system cannot convert (the 30th of February, hour 25) counts as day 0, which puts it
// far in the past of any real date.
int64_t DayNumber(const SYSTEMTIME& time) {
    return ToTicks(time).value_or(0) / TicksPerDay;
}

SYSTEMTIME AtMidnight(SYSTEMTIME time) {
    time.wHour = time.wMinute = time.wSecond = time.wMilliseconds = 0;
    return time;
}

SYSTEMTIME WithDateOf(SYSTEMTIME time, const SYSTEMTIME& date) {
    time.wYear = date.wYear;
    time.wMonth = date.wMonth;
    time.wDay = date.wDay;
    return time;
}

// Reads one integer the way scanf's %d does (leading blanks, an optional sign, digits), but
// saturates instead of overflowing.
bool ReadInt(std::wstring_view text, size_t& pos, long long& value) {
    size_t i = pos;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i++] == L'-';
    }
    size_t first = i;
    long long v = 0;
    while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
        if (v < 1000000000000LL) {
            v = v * 10 + (text[i] - L'0');
        }
        ++i;
    }
    if (i == first) {
        return false;
    }
    value = negative ? -v : v;
    pos = i;
    return true;
}

}  // namespace

std::wstring FormatUuid(const GUID& guid) {
    std::wstring out;
    out.reserve(36);
    AppendHex(out, guid.Data1, 8);
    out += L'-';
    AppendHex(out, guid.Data2, 4);
    out += L'-';
    AppendHex(out, guid.Data3, 4);
    out += L'-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) {
            out += L'-';
        }
        AppendHex(out, guid.Data4[i], 2);
    }
    return out;
}

namespace {

std::function<std::wstring()>& UuidSeam() {
    static std::function<std::wstring()> source;
    return source;
}

}  // namespace

void SetUuidSourceForTesting(std::function<std::wstring()> source) {
    UuidSeam() = std::move(source);
}

std::wstring NewUuid() {
    if (UuidSeam()) {
        return UuidSeam()();
    }
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) {
        guid = GUID{};
    }
    return FormatUuid(guid);
}

long UtcOffsetMinutes(const TIME_ZONE_INFORMATION& zone, DWORD zoneId) {
    switch (zoneId) {
    case TIME_ZONE_ID_UNKNOWN:
        return -zone.Bias;
    case TIME_ZONE_ID_STANDARD:
        return -zone.Bias - zone.StandardBias;
    case TIME_ZONE_ID_DAYLIGHT:
        return -zone.Bias - zone.DaylightBias;
    default:
        return 0;  // the call failed and the structure holds nothing reliable
    }
}

std::wstring FormatIso(const SYSTEMTIME& local, long utcOffsetMinutes) {
    std::wstring out;
    out.reserve(33);
    AppendNumber(out, local.wYear, 4);
    out += L'-';
    AppendNumber(out, local.wMonth, 2);
    out += L'-';
    AppendNumber(out, local.wDay, 2);
    out += L'T';
    AppendNumber(out, local.wHour, 2);
    out += L':';
    AppendNumber(out, local.wMinute, 2);
    out += L':';
    AppendNumber(out, local.wSecond, 2);
    out += L'.';
    AppendNumber(out, local.wMilliseconds, 3);
    out += L"0000";
    out += utcOffsetMinutes < 0 ? L'-' : L'+';
    unsigned long magnitude = static_cast<unsigned long>(std::labs(utcOffsetMinutes));
    AppendNumber(out, magnitude / 60, 2);
    out += L':';
    AppendNumber(out, magnitude % 60, 2);
    return out;
}

namespace {

std::function<LocalNow()>& LocalTimeSeam() {
    static std::function<LocalNow()> now;
    return now;
}

}  // namespace

void SetLocalTimeForTesting(std::function<LocalNow()> now) {
    LocalTimeSeam() = std::move(now);
}

LocalNow CurrentLocalTime() {
    if (LocalTimeSeam()) {
        return LocalTimeSeam()();
    }
    LocalNow now;
    GetLocalTime(&now.time);
    TIME_ZONE_INFORMATION zone{};
    const DWORD zoneId = GetTimeZoneInformation(&zone);
    now.utcOffsetMinutes = UtcOffsetMinutes(zone, zoneId);
    return now;
}

std::wstring NowIso() {
    const LocalNow now = CurrentLocalTime();
    return FormatIso(now.time, now.utcOffsetMinutes);
}

std::optional<SYSTEMTIME> ParseIso(const std::wstring& stamp) {
    // The fields of "%d-%d-%dT%d:%d:%d"; the fraction and the offset after them are ignored.
    static constexpr wchar_t Separators[] = {L'-', L'-', L'T', L':', L':'};
    long long fields[6] = {};
    std::wstring_view text = stamp;
    size_t pos = 0;
    int count = 0;
    while (count < 6 && ReadInt(text, pos, fields[count])) {
        ++count;
        if (count == 6 || pos >= text.size() || text[pos] != Separators[count - 1]) {
            break;
        }
        ++pos;
    }
    if (count < 3) {
        return std::nullopt;
    }
    if (fields[0] < 1900 || fields[1] < 1 || fields[1] > 12 || fields[2] < 1 || fields[2] > 31) {
        return std::nullopt;
    }
    // Time fields get no range test, but a value a SYSTEMTIME field cannot hold would silently
    // become another one.
    for (long long field : fields) {
        if (field < 0 || field > 0xFFFF) {
            return std::nullopt;
        }
    }
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(fields[0]);
    time.wMonth = static_cast<WORD>(fields[1]);
    time.wDay = static_cast<WORD>(fields[2]);
    time.wHour = static_cast<WORD>(fields[3]);
    time.wMinute = static_cast<WORD>(fields[4]);
    time.wSecond = static_cast<WORD>(fields[5]);
    return time;
}

std::wstring DayLabelAt(const std::wstring& stamp, const SYSTEMTIME& localNow) {
    std::optional<SYSTEMTIME> parsed = ParseIso(stamp);
    if (!parsed) {
        return {};
    }
    // The current time of day on both sides, so the two differ by whole days.
    SYSTEMTIME stampDay = WithDateOf(localNow, *parsed);
    int64_t diff = DayNumber(localNow) - DayNumber(stampDay);
    if (diff == 0) {
        return L"Hoy";
    }
    if (diff == 1) {
        return L"Ayer";
    }
    if (diff >= 2 && diff <= 6) {
        // diff is only in range when the date converted, so the round trip succeeds.
        SYSTEMTIME withWeekday{};
        FILETIME ft{};
        if (SystemTimeToFileTime(&stampDay, &ft) && FileTimeToSystemTime(&ft, &withWeekday) &&
            withWeekday.wDayOfWeek < 7) {
            return WeekdayNames[withWeekday.wDayOfWeek];
        }
    }
    std::wstring label = std::to_wstring(parsed->wDay);
    label += L' ';
    label += MonthAbbreviations[parsed->wMonth - 1];
    label += L' ';
    label += std::to_wstring(parsed->wYear);
    return label;
}

std::wstring RelativeTimeAt(const std::wstring& stamp, const SYSTEMTIME& localNow) {
    std::optional<SYSTEMTIME> parsed = ParseIso(stamp);
    if (!parsed) {
        return {};
    }
    int64_t elapsed = ToTicks(localNow).value_or(0) - ToTicks(*parsed).value_or(0);
    int64_t seconds = elapsed / TicksPerSecond;
    if (seconds < 0) {
        return DayLabelAt(stamp, localNow);
    }
    if (seconds < 60) {
        return L"ahora";
    }
    if (seconds < 3600) {
        return L"hace " + std::to_wstring(elapsed / TicksPerMinute) + L" min";
    }
    int64_t todayNumber = DayNumber(AtMidnight(localNow));
    int64_t stampNumber = DayNumber(AtMidnight(*parsed));
    if (seconds < 86400 && todayNumber == stampNumber) {
        return L"hace " + std::to_wstring(elapsed / TicksPerHour) + L" h";
    }
    int64_t days = todayNumber - stampNumber;
    if (days == 1) {
        return L"ayer";
    }
    // Fewer than one day only happens for a time of day out of range (hour 25) on today's or a
    // later date; the day label names such a date sensibly.
    if (days < 1 || days >= 7) {
        return DayLabelAt(stamp, localNow);
    }
    return L"hace " + std::to_wstring(days) + L" días";
}

std::wstring DayLabel(const std::wstring& stamp) {
    return DayLabelAt(stamp, CurrentLocalTime().time);
}

std::wstring RelativeTime(const std::wstring& stamp) {
    return RelativeTimeAt(stamp, CurrentLocalTime().time);
}

}  // namespace Lorvex::Time
