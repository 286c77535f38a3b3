#include "foundation/Time.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <set>

using namespace Lorvex::Time;

namespace {

SYSTEMTIME Local(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0) {
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}

struct LabelCase {
    const wchar_t* stamp;
    const wchar_t* label;
};

bool IsLowerHex(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
}

}  // namespace

TEST(TimeUuid, FormatsTheGuidFieldsInOrder) {
    const GUID guid{0x01234567, 0x89AB, 0xCDEF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
    EXPECT_EQ(FormatUuid(guid), L"01234567-89ab-cdef-fedc-ba9876543210");
    EXPECT_EQ(FormatUuid(GUID{}), L"00000000-0000-0000-0000-000000000000");
}

TEST(TimeUuid, NewIdsAreRandomVersionFourGuids) {
    std::set<std::wstring> seen;
    for (int n = 0; n < 50; ++n) {
        const std::wstring id = NewUuid();
        ASSERT_EQ(id.size(), 36u) << id;
        for (size_t i = 0; i < id.size(); ++i) {
            if (i == 8 || i == 13 || i == 18 || i == 23) {
                EXPECT_EQ(id[i], L'-') << id;
            } else {
                EXPECT_TRUE(IsLowerHex(id[i])) << id;
            }
        }
        // The version nibble leads the third group, the variant bits the fourth: shows the
        // 16-bit fields were written as numbers and the bytes in order.
        EXPECT_EQ(id[14], L'4') << id;
        EXPECT_NE(std::wstring(L"89ab").find(id[19]), std::wstring::npos) << id;
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 50u);
}

TEST(TimeStamp, FormatsLocalTimeWithSevenDigitsAndTheOffset) {
    const SYSTEMTIME t = Local(2025, 3, 7, 18, 4, 9, 512);
    const struct {
        long offset;
        const wchar_t* text;
    } cases[] = {
        {60, L"2025-03-07T18:04:09.5120000+01:00"},  {0, L"2025-03-07T18:04:09.5120000+00:00"},
        {330, L"2025-03-07T18:04:09.5120000+05:30"}, {-210, L"2025-03-07T18:04:09.5120000-03:30"},
        {-45, L"2025-03-07T18:04:09.5120000-00:45"}, {-720, L"2025-03-07T18:04:09.5120000-12:00"},
        {840, L"2025-03-07T18:04:09.5120000+14:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatIso(t, c.offset), c.text) << "offset " << c.offset;
    }
    EXPECT_EQ(FormatIso(Local(1999, 12, 31, 0, 0, 0, 5), 0), L"1999-12-31T00:00:00.0050000+00:00");
}

TEST(TimeStamp, OffsetFollowsTheReportedZoneState) {
    TIME_ZONE_INFORMATION madrid{};
    madrid.Bias = -60;
    madrid.StandardBias = 0;
    madrid.DaylightBias = -60;
    TIME_ZONE_INFORMATION newYork{};
    newYork.Bias = 300;
    newYork.StandardBias = 0;
    newYork.DaylightBias = -60;
    TIME_ZONE_INFORMATION odd{};  // a standard bias of its own is applied too
    odd.Bias = 0;
    odd.StandardBias = 30;
    odd.DaylightBias = -30;
    TIME_ZONE_INFORMATION kolkata{};
    kolkata.Bias = -330;

    const struct {
        const TIME_ZONE_INFORMATION* zone;
        DWORD id;
        long minutes;
    } cases[] = {
        {&madrid, TIME_ZONE_ID_UNKNOWN, 60},     {&madrid, TIME_ZONE_ID_STANDARD, 60},
        {&madrid, TIME_ZONE_ID_DAYLIGHT, 120},   {&newYork, TIME_ZONE_ID_STANDARD, -300},
        {&newYork, TIME_ZONE_ID_DAYLIGHT, -240}, {&odd, TIME_ZONE_ID_UNKNOWN, 0},
        {&odd, TIME_ZONE_ID_STANDARD, -30},      {&odd, TIME_ZONE_ID_DAYLIGHT, 30},
        {&kolkata, TIME_ZONE_ID_UNKNOWN, 330},   {&newYork, TIME_ZONE_ID_INVALID, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UtcOffsetMinutes(*c.zone, c.id), c.minutes) << "bias " << c.zone->Bias << ", id " << c.id;
    }
}

TEST(TimeStamp, NowIsCurrentLocalTimeInTheStampShape) {
    SYSTEMTIME before{};
    GetLocalTime(&before);
    const std::wstring now = NowIso();
    SYSTEMTIME after{};
    GetLocalTime(&after);

    ASSERT_EQ(now.size(), 33u) << now;
    const std::wstring shape = L"dddd-dd-ddTdd:dd:dd.ddd0000sdd:dd";
    for (size_t i = 0; i < shape.size(); ++i) {
        if (shape[i] == L'd') {
            EXPECT_TRUE(now[i] >= L'0' && now[i] <= L'9') << now;
        } else if (shape[i] == L's') {
            EXPECT_TRUE(now[i] == L'+' || now[i] == L'-') << now;
        } else {
            EXPECT_EQ(now[i], shape[i]) << now;
        }
    }
    const std::optional<SYSTEMTIME> parsed = ParseIso(now);
    ASSERT_TRUE(parsed.has_value());
    const std::wstring date = now.substr(0, 10);
    EXPECT_TRUE(date == FormatIso(before, 0).substr(0, 10) || date == FormatIso(after, 0).substr(0, 10)) << now;
}

// Registered a second time under TZ=Asia/Kolkata with the offset it must show.
TEST(TimeZone, NowCarriesTheZoneOffset) {
    wchar_t expected[16] = {};
    const DWORD length = GetEnvironmentVariableW(L"LORVEX_EXPECT_UTC_OFFSET", expected, 16);
    if (length == 0 || length >= 16) {
        GTEST_SKIP() << "LORVEX_EXPECT_UTC_OFFSET is not set";
    }
    const std::wstring now = NowIso();
    ASSERT_GE(now.size(), 6u);
    EXPECT_EQ(now.substr(now.size() - 6), expected) << now;
}

TEST(TimeParse, ReadsTheWallClockFields) {
    const struct {
        const wchar_t* text;
        SYSTEMTIME fields;
    } cases[] = {
        {L"2025-03-07T18:04:09.5120000+01:00", Local(2025, 3, 7, 18, 4, 9)},
        {L"2025-03-07T18:04:09Z", Local(2025, 3, 7, 18, 4, 9)},
        {L"2025-03-07T23:30:00-08:00", Local(2025, 3, 7, 23, 30, 0)},  // the offset is not applied
        {L"2025-03-07", Local(2025, 3, 7)},
        {L"2025-3-7T5:6", Local(2025, 3, 7, 5, 6)},
        {L"2025-03-07 18:04:09", Local(2025, 3, 7)},  // no T: the time is not read
        {L"1900-01-01T00:00:00", Local(1900, 1, 1)},
        {L"2025-02-30T10:00:00", Local(2025, 2, 30, 10)},         // day 30 passes the range test
        {L"2025-03-07T25:61:99", Local(2025, 3, 7, 25, 61, 99)},  // no range test on the time
    };
    for (const auto& c : cases) {
        const std::optional<SYSTEMTIME> t = ParseIso(c.text);
        ASSERT_TRUE(t.has_value()) << c.text;
        EXPECT_EQ(t->wYear, c.fields.wYear) << c.text;
        EXPECT_EQ(t->wMonth, c.fields.wMonth) << c.text;
        EXPECT_EQ(t->wDay, c.fields.wDay) << c.text;
        EXPECT_EQ(t->wHour, c.fields.wHour) << c.text;
        EXPECT_EQ(t->wMinute, c.fields.wMinute) << c.text;
        EXPECT_EQ(t->wSecond, c.fields.wSecond) << c.text;
        EXPECT_EQ(t->wMilliseconds, 0) << c.text;
        EXPECT_EQ(t->wDayOfWeek, 0) << c.text;
    }
}

TEST(TimeParse, RejectsMissingOrOutOfRangeDates) {
    const wchar_t* cases[] = {
        L"",
        L"hola",
        L"2025-03",
        L"2025",
        L"T10:00:00",
        L"1899-12-31T23:59:59",
        L"2025-00-10",
        L"2025-13-10",
        L"2025-03-00",
        L"2025-03-32",
        L"2025--3-07",
        // Values a SYSTEMTIME field cannot hold would wrap into other, valid-looking ones.
        L"67436-01-01",
        L"99999999999999999999-01-01",
        L"2025-03-07T-1:00:00",
        L"2025-03-07T65536:00:00",
    };
    for (const wchar_t* text : cases) {
        EXPECT_FALSE(ParseIso(text).has_value()) << text;
    }
}

TEST(TimeDayLabel, NamesTheDayRelativeToToday) {
    // Friday the 7th of March 2025, early afternoon.
    const SYSTEMTIME friday = Local(2025, 3, 7, 13, 20, 5);
    const LabelCase fromFriday[] = {
        {L"2025-03-07T00:00:00.0000000+01:00", L"Hoy"},
        {L"2025-03-07T23:59:59", L"Hoy"},
        {L"2025-03-06T23:59:59", L"Ayer"},
        {L"2025-03-06T00:00:00", L"Ayer"},
        {L"2025-03-05T10:00:00", L"Miércoles"},
        {L"2025-03-04", L"Martes"},
        {L"2025-03-03", L"Lunes"},
        {L"2025-03-02", L"Domingo"},
        {L"2025-03-01", L"Sábado"},
        {L"2025-02-28", L"28 feb 2025"},  // a week ago
        {L"2025-03-08", L"8 mar 2025"},   // the future
        {L"2026-03-07", L"7 mar 2026"},
        {L"2025-02-30T10:00:00", L"30 feb 2025"},  // no such date: never near today
        {L"1899-12-31", L""},
        {L"ayer", L""},
    };
    for (const auto& c : fromFriday) {
        EXPECT_EQ(DayLabelAt(c.stamp, friday), c.label) << c.stamp;
    }

    // Across a month and a year end, and the two weekdays a Friday cannot show.
    const SYSTEMTIME monday = Local(2025, 3, 10, 8, 0, 0);
    const SYSTEMTIME newYear = Local(2025, 1, 2, 0, 0, 0);
    EXPECT_EQ(DayLabelAt(L"2025-03-07", monday), L"Viernes");
    EXPECT_EQ(DayLabelAt(L"2025-03-06", monday), L"Jueves");
    EXPECT_EQ(DayLabelAt(L"2025-02-28", Local(2025, 3, 1, 9)), L"Ayer");
    EXPECT_EQ(DayLabelAt(L"2024-12-31T23:59:00", newYear), L"Martes");
    EXPECT_EQ(DayLabelAt(L"2025-01-01", newYear), L"Ayer");
    EXPECT_EQ(DayLabelAt(L"2024-12-26", newYear), L"26 dic 2024");
}

TEST(TimeDayLabel, UsesEveryMonthAbbreviation) {
    const SYSTEMTIME now = Local(2025, 3, 7, 12);
    const wchar_t* abbreviations[] = {L"ene", L"feb", L"mar", L"abr", L"may", L"jun",
                                      L"jul", L"ago", L"sep", L"oct", L"nov", L"dic"};
    for (int month = 1; month <= 12; ++month) {
        const std::wstring stamp = L"2023-" + std::to_wstring(month) + L"-5T10:00:00";
        EXPECT_EQ(DayLabelAt(stamp, now), L"5 " + std::wstring(abbreviations[month - 1]) + L" 2023");
    }
}

TEST(TimeRelative, CountsMinutesHoursAndDays) {
    const SYSTEMTIME now = Local(2025, 3, 7, 12, 0, 0, 400);
    const LabelCase cases[] = {
        {L"2025-03-07T12:00:00", L"ahora"},
        {L"2025-03-07T11:59:01", L"ahora"},        // 59 s
        {L"2025-03-07T11:59:00", L"hace 1 min"},   // 60 s
        {L"2025-03-07T11:00:01", L"hace 59 min"},  // 3599 s
        {L"2025-03-07T11:00:00", L"hace 1 h"},
        {L"2025-03-07T00:00:00", L"hace 12 h"},
        {L"2025-03-06T23:59:59", L"ayer"},  // twelve hours, but yesterday
        {L"2025-03-06T06:00:00", L"ayer"},  // thirty hours
        {L"2025-03-04T12:00:00", L"hace 3 días"},
        {L"2025-03-01T23:59:59", L"hace 6 días"},
        {L"2025-02-28T12:00:00", L"28 feb 2025"},  // seven days
        {L"2024-11-20", L"20 nov 2024"},
        // The future: the day label.
        {L"2025-03-07T12:05:00", L"Hoy"},
        {L"2025-03-08T09:00:00", L"8 mar 2025"},
        {L"2025-02-30T10:00:00", L"30 feb 2025"},
        // A time of day the system cannot convert still gets a sensible label from its date.
        {L"2025-03-07T25:00:00", L"Hoy"},
        {L"2025-03-06T25:00:00", L"ayer"},
        {L"2025-03-04T25:00:00", L"hace 3 días"},
        {L"2025-03-08T25:00:00", L"8 mar 2025"},
        {L"1899-12-31", L""},
        {L"", L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RelativeTimeAt(c.stamp, now), c.label) << c.stamp;
    }

    // Just after midnight, 75 minutes back is yesterday, not an hour count.
    EXPECT_EQ(RelativeTimeAt(L"2025-03-06T23:30:00", Local(2025, 3, 7, 0, 45)), L"ayer");
    EXPECT_EQ(RelativeTimeAt(L"2025-03-06T23:30:00", Local(2025, 3, 7, 0, 29)), L"hace 59 min");
}

TEST(TimeRelative, PublicFormsUseTheCurrentClock) {
    const std::wstring now = NowIso();
    EXPECT_EQ(RelativeTime(now), L"ahora");
    EXPECT_EQ(DayLabel(now), L"Hoy");
    EXPECT_EQ(RelativeTime(L"2001-05-09T10:00:00"), L"9 may 2001");
    EXPECT_EQ(DayLabel(L"no"), L"");
}
