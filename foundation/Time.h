#pragma once
// Record ids, local time stamps with their UTC offset, and the short Spanish labels that turn a
// stored stamp back into "Hoy", "hace 5 min" and the like. Stateless but for the local-time and id
// seams tests set; any thread may call them.

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace Lorvex::Time {

// Lower-case 8-4-4-4-12 hex text of a new random GUID; all zeros when none can be made.
std::wstring NewUuid();
// Tests only: what NewUuid answers instead of a random GUID (the function must be safe on any
// thread that makes ids); an empty function restores random ones. Not while another thread may
// make an id.
void SetUuidSourceForTesting(std::function<std::wstring()> source);

// The local wall-clock time and the zone's offset from UTC in minutes, as the functions below
// read them.
struct LocalNow {
    SYSTEMTIME time{};
    long utcOffsetMinutes = 0;
};
LocalNow CurrentLocalTime();
// Tests only: what CurrentLocalTime answers; an empty function restores the system's clock and
// zone. Not while another thread may read the time.
void SetLocalTimeForTesting(std::function<LocalNow()> now);

// Current local wall-clock time, seven fractional digits and the zone's offset:
// 2025-03-07T18:04:09.5120000+01:00.
std::wstring NowIso();

// Year, month, day, hour, minute and second of a stamp, read as local time (its offset is
// ignored). Empty when fewer than three numbers are read or the date is out of range.
std::optional<SYSTEMTIME> ParseIso(const std::wstring& stamp);

// "Hoy", "Ayer", a weekday name for two to six days back, else "7 mar 2025". Empty when the
// stamp does not parse.
std::wstring DayLabel(const std::wstring& stamp);

// "ahora", "hace 5 min", "hace 3 h", "ayer", "hace 4 días", else the day label. Empty when the
// stamp does not parse.
std::wstring RelativeTime(const std::wstring& stamp);

// The same with explicit inputs, so the clock and the system's zone can be fixed. The functions
// above call them with the current values.
std::wstring DayLabelAt(const std::wstring& stamp, const SYSTEMTIME& localNow);
std::wstring RelativeTimeAt(const std::wstring& stamp, const SYSTEMTIME& localNow);
std::wstring FormatUuid(const GUID& guid);
// zoneId is what GetTimeZoneInformation returned for that structure.
long UtcOffsetMinutes(const TIME_ZONE_INFORMATION& zone, DWORD zoneId);
std::wstring FormatIso(const SYSTEMTIME& local, long utcOffsetMinutes);

}  // namespace Lorvex::Time
