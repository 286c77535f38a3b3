// The built-in change log and the note lines of every version card.

#include "services/updates/ChangeLog.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string_view>

#include "App/Config/Config.h"
#include "foundation/Text.h"

namespace Lorvex::Services::Updates {
namespace {

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

void AddGap(std::vector<ChangeLine>& lines) {
    if (!lines.empty() && lines.back().kind != ChangeLine::Kind::Gap) {
        lines.push_back({ChangeLine::Kind::Gap, {}});
    }
}

void TrimGaps(std::vector<ChangeLine>& lines) {
    const auto isGap = [](const ChangeLine& line) { return line.kind == ChangeLine::Kind::Gap; };
    while (!lines.empty() && isGap(lines.back())) {
        lines.pop_back();
    }
    lines.erase(lines.begin(), std::find_if_not(lines.begin(), lines.end(), isGap));
}

// The calendar date of t in the system's time zone, "dd/mm/yyyy"; empty when it cannot be had.
std::wstring LocalDate(int64_t unixSeconds) {
    constexpr int64_t kFileTimeEpochSeconds = 11644473600;  // 1601-01-01 to 1970-01-01
    const uint64_t ticks = static_cast<uint64_t>(unixSeconds + kFileTimeEpochSeconds) * 10000000;
    FILETIME fileTime{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&fileTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
        return {};
    }
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u/%02u/%04u", local.wDay, local.wMonth, local.wYear);
    return text;
}

}  // namespace

const std::vector<ChangeLogVersion>& ChangeLog() {
    static const std::vector<ChangeLogVersion> log = {
        {L"3.0.2",
         L"14/11/2026",
         {L"## Correcciones",
          L"Al volver a iniciar sesión se descarga primero lo último de la nube, en vez de subir "
          L"encima los datos antiguos de ese PC"}},
        {L"3.0.1",
         L"14/11/2026",
         {L"## Mejoras",
          L"Las fotos se comprimen al guardarlas y al subirlas a la nube: ocupan mucho menos y se sincronizan más "
          L"rápido",
          L"Se borran solas las fotos que ya no se usan, tanto en tu PC como en la nube"}},
        {L"3.0.0",
         L"13/11/2026",
         {L"## Novedades", L"Diseño nuevo en todas las pantallas, con animaciones suaves",
          L"Más ligera: un solo archivo, sin instalar nada más, y arranca al instante",
          L"Cuenta opcional: tus personajes, chats y personas se guardan en la nube y se sincronizan entre tus PCs",
          L"Funciona sin conexión: los cambios se suben solos cuando vuelve internet",
          L"Tu perfil: nombre y foto de tu cuenta, iguales en todos lados",
          L"Tema claro y oscuro, con una transición animada al cambiar",
          L"Actualizaciones automáticas, con las novedades de cada versión dentro de la app",
          L"Nueva web: " + Config::WebSite(), L"Tus personajes y chats de versiones anteriores siguen ahí"}},
    };
    return log;
}

std::vector<ChangeLogEntry> BuildChangeLog(const std::vector<Release>& releases) {
    const std::wstring running(Config::kVersion);
    std::vector<ChangeLogEntry> entries;
    for (const Release& release : releases) {
        if (release.parts.empty() || !VersionLess(running, release.version)) {
            continue;
        }
        ChangeLogEntry entry{release.version, AgeText(release.date), ParseReleaseNotes(release.notes), 0, true, false};
        for (const Part& part : release.parts) {
            entry.size += part.size;
        }
        entries.push_back(std::move(entry));
    }
    for (const ChangeLogVersion& version : ChangeLog()) {
        const bool listed = std::any_of(entries.begin(), entries.end(),
                                        [&](const ChangeLogEntry& entry) { return entry.version == version.version; });
        if (!listed) {
            entries.push_back({version.version, version.date, ParseChangeLogLines(version.lines), 0,
                               VersionLess(running, version.version), version.version == running});
        }
    }
    return entries;
}

std::vector<ChangeLine> ParseReleaseNotes(const std::wstring& notes) {
    std::vector<ChangeLine> lines;
    for (const std::wstring& raw : Text::SplitLines(notes)) {
        const std::wstring text = Text::ReplaceAll(Text::ReplaceAll(Text::Trim(raw), L"**", L""), L"__", L"");
        if (text.empty() || text == L"-") {
            AddGap(lines);
        } else if (text.front() == L'#') {
            lines.push_back(
                {ChangeLine::Kind::Heading, text.substr(std::min(text.find_first_not_of(L"# "), text.size()))});
        } else if (StartsWith(text, L"- ") || StartsWith(text, L"* ") || StartsWith(text, L"\u2022 ")) {
            lines.push_back({ChangeLine::Kind::Bullet, Text::Trim(std::wstring_view(text).substr(2))});
        } else {
            lines.push_back({ChangeLine::Kind::Text, text});
        }
    }
    TrimGaps(lines);
    return lines;
}

std::vector<ChangeLine> ParseChangeLogLines(const std::vector<std::wstring>& lines) {
    std::vector<ChangeLine> result;
    for (const std::wstring& line : lines) {
        if (line.size() > 2 && StartsWith(line, L"## ")) {
            if (!result.empty()) {
                result.push_back({ChangeLine::Kind::Gap, {}});
            }
            result.push_back({ChangeLine::Kind::Heading, Text::Trim(std::wstring_view(line).substr(3))});
        } else {
            result.push_back({ChangeLine::Kind::Bullet, line});
        }
    }
    TrimGaps(result);
    return result;
}

std::wstring AgeText(int64_t unixSeconds) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return AgeTextAt(unixSeconds, std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

std::wstring AgeTextAt(int64_t unixSeconds, int64_t nowSeconds) {
    if (unixSeconds <= 0) {
        return {};
    }
    const int64_t age = nowSeconds - unixSeconds;
    if (age < 60) {
        return L"hace un momento";
    }
    if (age < 3600) {
        return L"hace " + std::to_wstring(age / 60) + L" min";
    }
    if (age < 86400) {
        return L"hace " + std::to_wstring(age / 3600) + L" h";
    }
    if (age < 604800) {
        const int64_t days = age / 86400;
        return days == 1 ? L"ayer" : L"hace " + std::to_wstring(days) + L" días";
    }
    return LocalDate(unixSeconds);
}

HeadingTone ToneOfHeading(const std::wstring& heading) {
    // Headings are written in capitals too ("## REDISEÑO"): the folding must know accented letters.
    const std::wstring lower = Text::ToLowerSystem(heading);
    const auto hasAny = [&](std::initializer_list<std::wstring_view> words) {
        return std::any_of(words.begin(), words.end(),
                           [&](std::wstring_view word) { return lower.find(word) != std::wstring::npos; });
    };
    if (hasAny({L"correc", L"arregl", L"fix"})) {
        return HeadingTone::Fixes;
    }
    if (hasAny({L"cambio", L"rediseñ", L"mejora"})) {
        return HeadingTone::Changes;
    }
    if (hasAny({L"elimin", L"quit"})) {
        return HeadingTone::Removals;
    }
    return HeadingTone::News;
}

}  // namespace Lorvex::Services::Updates
