// What each version's card says: release notes and built-in lines as headings, bullets, plain lines
// and single gaps; the merged list of channel releases and built-in versions; the age texts; and
// which words colour a heading.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "services/updates/ChangeLog.h"

namespace Lorvex::Services::Updates {
namespace {

using Kind = ChangeLine::Kind;

ChangeLine H(const wchar_t* text) {
    return {Kind::Heading, text};
}
ChangeLine B(const wchar_t* text) {
    return {Kind::Bullet, text};
}
ChangeLine T(const wchar_t* text) {
    return {Kind::Text, text};
}
const ChangeLine G{Kind::Gap, L""};

std::wstring Show(const std::vector<ChangeLine>& lines) {
    std::wstring text;
    for (const ChangeLine& line : lines) {
        text += L"[" + std::to_wstring(static_cast<int>(line.kind)) + L":" + line.text + L"]";
    }
    return text;
}

TEST(ChangeLog, ReleaseNotesBecomeHeadingsBulletsTextsAndSingleGaps) {
    struct Case {
        const wchar_t* notes;
        std::vector<ChangeLine> lines;
    };
    const Case cases[] = {
        {L"Novedades\n- Nuevo modo\n\n\n- Arreglo de fotos\n",
         {T(L"Novedades"), B(L"Nuevo modo"), G, B(L"Arreglo de fotos")}},
        {L"### **Cambios**", {H(L"Cambios")}},
        {L"# # Título #", {H(L"Título #")}},
        {L"#", {H(L"")}},
        {L"\n-\n  \nA\n-\n\u00a0\nB\n-\n", {T(L"A"), G, T(L"B")}},
        {L"--", {T(L"--")}},
        {L"-x", {T(L"-x")}},
        {L"* uno\r\n\u2022 dos\r\n-   tres  ", {B(L"uno"), B(L"dos"), B(L"tres")}},
        {L"  - **Nuevo**: modo __oscuro__", {B(L"Nuevo: modo oscuro")}},
        {L"*cursiva* y `código` y _x_", {T(L"*cursiva* y `código` y _x_")}},
        {L"**- negrita**", {B(L"negrita")}},  // the bold marks go before the bullet test
        {L"", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(ParseReleaseNotes(c.notes)), Show(c.lines)) << c.notes;
    }
}

TEST(ChangeLog, BuiltInLinesPutAGapBeforeEveryHeadingButTheFirst) {
    EXPECT_EQ(Show(ParseChangeLogLines({L"## Mejoras", L"Fotos", L"##  Correcciones ", L"Sesión", L"##x", L"## "})),
              Show({H(L"Mejoras"), B(L"Fotos"), G, H(L"Correcciones"), B(L"Sesión"), B(L"##x"), G, H(L"")}));
    EXPECT_EQ(Show(ParseChangeLogLines({L"Sin título", L"## Después"})), Show({B(L"Sin título"), G, H(L"Después")}));
    // Every built-in version, newest first, opens with a heading.
    const std::vector<ChangeLogVersion>& log = ChangeLog();
    ASSERT_EQ(log.size(), 3u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(ParseChangeLogLines(log[i].lines).front().kind, Kind::Heading) << log[i].version;
        if (i > 0) {
            EXPECT_TRUE(VersionLess(log[i].version, log[i - 1].version)) << log[i].version;
        }
    }
}

Release WithParts(const wchar_t* version, std::vector<int64_t> sizes, const wchar_t* notes = L"") {
    Release release;
    release.version = version;
    release.notes = notes;
    for (int64_t size : sizes) {
        release.parts.push_back({L"Lorvex.00" + std::to_wstring(release.parts.size() + 1), L"https://cdn/p", size});
    }
    return release;
}

TEST(ChangeLog, NewerDownloadableReleasesComeBeforeTheBuiltInVersions) {
    const std::vector<Release> releases = {
        WithParts(L"3.0.5", {}, L"- sin archivo"),  // nothing to download: no card
        WithParts(L"3.0.4", {100, 50}, L"## Arreglos\n- Uno"),
        WithParts(L"3.0.3", {7}),
        WithParts(L"3.0.2", {9}, L"- canal"),  // the running version keeps its built-in card
        WithParts(L"3.0.1", {9}),
    };
    const std::vector<ChangeLogEntry> entries = BuildChangeLog(releases);

    struct Expected {
        const wchar_t* version;
        int64_t size;
        bool newer;
        bool installed;
    };
    const Expected expected[] = {
        {L"3.0.4", 150, true, false}, {L"3.0.3", 7, true, false},  {L"3.0.2", 0, false, true},
        {L"3.0.1", 0, false, false},  {L"3.0.0", 0, false, false},
    };
    ASSERT_EQ(entries.size(), std::size(expected));
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].version, expected[i].version) << i;
        EXPECT_EQ(entries[i].size, expected[i].size) << i;
        EXPECT_EQ(entries[i].newer, expected[i].newer) << i;
        EXPECT_EQ(entries[i].installed, expected[i].installed) << i;
    }
    EXPECT_EQ(Show(entries[0].lines), Show({H(L"Arreglos"), B(L"Uno")}));
    EXPECT_EQ(entries[0].dateText, L"");  // no readable message id
    EXPECT_EQ(entries[2].dateText, L"14/11/2026");
    EXPECT_EQ(entries[2].lines.front().text, L"Correcciones");

    // Without any release the built-in versions stand alone.
    EXPECT_EQ(BuildChangeLog({}).size(), 3u);
}

TEST(ChangeLog, AgeOfAReleaseInWordsThenAsItsDate) {
    const int64_t now = 1794657600;  // 2026-11-14 12:00 UTC
    const int64_t hour = 3600;
    const int64_t day = 24 * hour;
    const std::pair<int64_t, const wchar_t*> cases[] = {
        {0, L""},
        {59, L"hace un momento"},
        {-300, L"hace un momento"},  // published "in the future": the clocks disagree
        {90, L"hace 1 min"},
        {hour - 1, L"hace 59 min"},
        {hour, L"hace 1 h"},
        {day - 1, L"hace 23 h"},
        {36 * hour, L"ayer"},
        {2 * day - 1, L"ayer"},
        {2 * day, L"hace 2 días"},
        {3 * day, L"hace 3 días"},
        {7 * day - 1, L"hace 6 días"},
        {8 * day, L"06/11/2026"},
    };
    for (const auto& [age, text] : cases) {
        EXPECT_EQ(AgeTextAt(age == 0 ? 0 : now - age, now), text) << age;
    }
    EXPECT_EQ(AgeTextAt(-1, now), L"");
}

TEST(ChangeLog, HeadingWordsPickTheToneInTestOrder) {
    const std::pair<const wchar_t*, HeadingTone> cases[] = {
        {L"Correcciones", HeadingTone::Fixes},
        {L"Arreglos y mejoras", HeadingTone::Fixes},
        {L"Bug FIXES", HeadingTone::Fixes},
        {L"Mejoras", HeadingTone::Changes},
        {L"Cambios", HeadingTone::Changes},
        {L"rediseño", HeadingTone::Changes},
        {L"REDISEÑO", HeadingTone::Changes},
        {L"## Rediseño de las FOTOS", HeadingTone::Changes},
        {L"Quitado el modo X", HeadingTone::Removals},
        {L"ELIMINADO", HeadingTone::Removals},
        {L"Cambios quitados", HeadingTone::Changes},
        {L"Novedades", HeadingTone::News},
        {L"", HeadingTone::News},
    };
    for (const auto& [heading, tone] : cases) {
        EXPECT_EQ(ToneOfHeading(heading), tone) << heading;
    }
}

}  // namespace
}  // namespace Lorvex::Services::Updates
