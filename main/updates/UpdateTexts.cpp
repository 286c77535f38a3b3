// The update dialog's texts.

#include "main/updates/UpdateTexts.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "App/Config/Config.h"
#include "foundation/Text.h"
#include "services/updates/ChangeLog.h"

namespace Lorvex::Main::UpdateTexts {
namespace {

const std::wstring kDot = L"  ·  ";

std::wstring Running() {
    return std::wstring(Config::kVersion);
}

uint64_t SizeOf(const Release& release) {
    uint64_t sum = 0;
    for (const Services::Updates::Part& part : release.parts) {
        sum += static_cast<uint64_t>(std::max<int64_t>(part.size, 0));
    }
    return sum;
}

std::wstring NewestVersion(const State& state) {
    const Release* newest = NewestOf(state);
    return newest ? newest->version : std::wstring();
}

}  // namespace

bool Running(Status status) {
    return status == Status::Downloading || status == Status::Installing;
}

int64_t NowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const Release* NewestOf(const State& state) {
    if (state.newest < 0 || static_cast<size_t>(state.newest) >= state.releases.size()) {
        return nullptr;
    }
    return &state.releases[static_cast<size_t>(state.newest)];
}

bool CanInstall(const State& state, bool newer) {
    const Release* newest = NewestOf(state);
    return newer && newest != nullptr && !newest->sha256.empty();
}

Header HeaderFor(Status status, const State& state, bool newer) {
    if (status != Status::Downloading && status != Status::Installing && !newer) {
        return {L"Actualizaciones", L"Tienes Lorvex " + Running()};
    }
    std::wstring subtitle = L"Lorvex " + Running() + L"  →  " + NewestVersion(state);
    if (const Release* newest = NewestOf(state); newest && SizeOf(*newest) > 0) {
        subtitle += kDot + Text::FormatBytes(SizeOf(*newest));
    }
    return {L"Nueva versión disponible", subtitle};
}

Card CardFor(Status status, const State& state, bool newer, int64_t nowSeconds) {
    switch (status) {
    case Status::NotConfigured:
        return {L"Actualizaciones sin configurar",
                L"Pon el token del bot y el ID del canal de Discord en App/Config y vuelve a compilar."};
    case Status::NeverChecked:
    case Status::Checking:
        return {L"Buscando actualizaciones…", L"Mirando el canal de Discord"};
    case Status::UpToDate:
        return {L"Tienes la última versión", L"Versión " + Running() + L"  ·  comprobado " +
                                                 Services::Updates::AgeTextAt(state.lastCheck, nowSeconds)};
    case Status::Available: {
        Card card{L"Versión " + NewestVersion(state) + L" disponible", L"Tienes la " + Running()};
        if (const Release* newest = NewestOf(state)) {
            // A release whose parts came without sizes, or whose date could not be read, has no
            // size or age to tell.
            if (SizeOf(*newest) > 0) {
                card.subtitle += kDot + Text::FormatBytes(SizeOf(*newest));
            }
            const std::wstring age = Services::Updates::AgeTextAt(newest->date, nowSeconds);
            if (!age.empty()) {
                card.subtitle += L"  ·  publicada " + age;
            }
        }
        // Nothing can be installed without the hash, so that outweighs an earlier failure.
        if (newer && !CanInstall(state, newer)) {
            card.subtitle = std::wstring(Services::Updates::kNoHashText);
            card.warning = true;
        } else if (!state.error.empty()) {
            card.subtitle = state.error;
            card.warning = true;
        }
        return card;
    }
    case Status::Downloading:
        return {L"Descargando la versión " + NewestVersion(state), L"Puedes seguir usando Lorvex mientras tanto"};
    case Status::Installing:
        return {L"Instalando la versión " + NewestVersion(state),
                L"Lorvex se cerrará y se abrirá de nuevo en unos segundos"};
    case Status::Failed:
        return {L"No se pudo buscar", state.error};
    }
    return {};
}

std::wstring DownloadLine(const Progress& progress) {
    std::wstring line = Text::FormatBytes(progress.bytesDone) + L" de " + Text::FormatBytes(progress.bytesTotal);
    if (progress.bytesPerSecond > 0) {
        line += kDot + Text::FormatBytes(static_cast<uint64_t>(progress.bytesPerSecond)) + L"/s";
    }
    if (progress.partCount >= 2) {
        line += L"  ·  parte " + std::to_wstring(progress.part) + L" de " + std::to_wstring(progress.partCount);
    }
    return line;
}

std::wstring PercentText(float fraction) {
    return std::to_wstring(static_cast<int64_t>(std::lround(fraction * 100.0f))) + L" %";
}

std::wstring VersionCount(size_t count) {
    return std::to_wstring(count) + (count == 1 ? L" versión" : L" versiones");
}

}  // namespace Lorvex::Main::UpdateTexts
