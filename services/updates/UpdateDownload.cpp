// The worker half of an update: a fresh read of the channel, the release's own checks (a hash to
// verify against, parts without gaps), the parts downloaded one after the other with progress
// posted to the UI thread, each part checked against its announced size, the joined bytes checked
// as a Windows program with the release's hash, and the result saved in the work folder. Nothing
// is written next to the program here.

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "foundation/net/Http.h"
#include "services/updates/UpdateStateDetail.h"
#include "services/updates/Updates.h"

namespace Lorvex::Services::Updates {
namespace {

constexpr double kProgressEvery = 0.1;  // seconds between two posted reports
constexpr double kShortestElapsed = 0.2;
constexpr size_t kSmallestProgram = 1024;

const wchar_t kNoNewerText[] = L"Ya no hay ninguna versión nueva en el canal";
// The shown version left the channel and another newer one took its place.
std::wstring ReplacedText(const std::wstring& shown, const std::wstring& newer) {
    return L"La versión " + shown + L" ya no está en el canal; ahora hay la " + newer +
           L": pulsa «Buscar de nuevo» para verla antes de instalarla";
}
const wchar_t kGapText[] = L"Faltan partes de esta versión en el canal; no se puede instalar.";
const wchar_t kFolderText[] =
    L"No se puede escribir en la carpeta de Lorvex (muévela fuera de Archivos de programa o ábrela como "
    L"administrador)";
const wchar_t kReadText[] = L"No se pudo leer lo descargado";
const wchar_t kNotProgramText[] = L"Lo descargado no es un programa de Windows";
const wchar_t kHashText[] = L"El archivo descargado no coincide con su SHA-256 (¿falta alguna parte?)";
const wchar_t kSaveText[] = L"No se pudo guardar la versión nueva";

std::optional<uint64_t> SizeOnDisk(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring DownloadFailed(const std::wstring& reason) {
    return L"La descarga falló (" + reason + L")";
}

// A file cut into numbered parts must hold every number from the first on: a part missing from
// the channel would otherwise be noticed only as a wrong hash after everything else arrived. The
// first part may be numbered 0 or 1. A single whole file carries no number.
bool PartsRunWithoutGaps(const std::vector<Part>& parts) {
    if (parts.size() == 1 && PartNumber(parts[0].fileName) < 0) {
        return true;
    }
    const int32_t first = PartNumber(parts[0].fileName);
    if (first != 0 && first != 1) {
        return false;
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        if (PartNumber(parts[i].fileName) != first + static_cast<int32_t>(i)) {
            return false;
        }
    }
    return true;
}

// Progress of one download, reported to the UI thread at most every kProgressEvery seconds.
class Reporter {
public:
    Reporter(uint64_t total, int32_t partCount, const Async::Cancel& cancel)
        : total_(total), partCount_(partCount), cancel_(cancel), start_(Async::Now()) {}

    // The callback for part i (0-based); false stops the transfer once the flag is set.
    Http::Progress ForPart(size_t i) {
        return [this, part = static_cast<int32_t>(i) + 1](uint64_t received, uint64_t) {
            const double now = Async::Now();
            if (now - lastReport_ > kProgressEvery) {
                lastReport_ = now;
                Progress progress;
                progress.bytesDone = finished_ + received;
                progress.bytesTotal = total_;
                progress.part = part;
                progress.partCount = partCount_;
                progress.bytesPerSecond =
                    static_cast<double>(progress.bytesDone) / std::max(now - start_, kShortestElapsed);
                Async::Post([progress] {
                    Detail::Mutable().progress = progress;
                    NotifyChanged();
                });
            }
            return !cancel_.IsSet();
        };
    }

    void Finished(uint64_t bytes) { finished_ += bytes; }

private:
    uint64_t total_;
    int32_t partCount_;
    Async::Cancel cancel_;
    double start_;
    double lastReport_ = 0;
    uint64_t finished_ = 0;
};

}  // namespace

Downloaded DownloadLatest(const Async::Cancel& cancel, const std::wstring& version) {
    Downloaded result;
    auto fail = [&result](std::wstring text) {
        result.error = std::move(text);
        return result;
    };

    Fetched fetched = FetchReleases();
    if (!fetched.error.empty()) {
        return fail(std::move(fetched.error));
    }
    // The user agreed to the version the dialog named: that one, or none.
    const auto shown = std::find_if(fetched.releases.begin(), fetched.releases.end(), [&](const Release& release) {
        return release.version == version && !release.parts.empty();
    });
    if (shown == fetched.releases.end()) {
        const int32_t index = Detail::FirstWithParts(fetched.releases);
        if (index >= 0 && VersionLess(Detail::RunningVersion(), fetched.releases[static_cast<size_t>(index)].version)) {
            return fail(ReplacedText(version, fetched.releases[static_cast<size_t>(index)].version));
        }
        return fail(kNoNewerText);
    }
    const Release& release = *shown;
    result.version = release.version;
    if (release.sha256.empty()) {
        return fail(std::wstring(kNoHashText));
    }
    if (!PartsRunWithoutGaps(release.parts)) {
        return fail(kGapText);
    }
    if (!CanWriteProgramFolder()) {
        return fail(kFolderText);
    }
    const std::wstring work = WorkFolder();
    if (work.empty()) {
        return fail(kSaveText);
    }
    Files::RemoveTree(work);
    Files::EnsureDir(work);

    uint64_t total = 0;
    for (const Part& part : release.parts) {
        total += static_cast<uint64_t>(std::max<int64_t>(part.size, 0));
    }
    Reporter reporter(total, static_cast<int32_t>(release.parts.size()), cancel);
    const Http::Headers headers = {{L"User-Agent", L"Lorvex/" + Detail::RunningVersion()}};
    std::vector<std::wstring> saved;
    uint64_t finished = 0;
    for (size_t i = 0; i < release.parts.size(); ++i) {
        const Part& part = release.parts[i];
        const std::wstring path = Files::JoinPath(work, L"part" + std::to_wstring(i));
        std::wstring error;
        const bool ok = Http::Download(part.url, path, reporter.ForPart(i), &error, headers, cancel);
        if (cancel.IsSet()) {
            return fail(L"cancelled");
        }
        if (!ok) {
            return fail(DownloadFailed(error.empty() ? part.fileName : error));
        }
        const std::optional<uint64_t> size = SizeOnDisk(path);
        if (!size) {
            return fail(kReadText);
        }
        // A body cut short without a length to compare with still ends as a clean transfer. A part
        // without an announced size is left to the hash.
        if (part.size > 0 && *size != static_cast<uint64_t>(part.size)) {
            return fail(DownloadFailed(part.fileName + L" llegó incompleta: " + std::to_wstring(*size) + L" de " +
                                       std::to_wstring(part.size) + L" bytes"));
        }
        reporter.Finished(*size);
        finished += *size;
        saved.push_back(path);
    }

    // Reserved to what arrived, never to the sizes the channel announced: those are only its word,
    // and a wrong one must not ask for more memory than there is. Each part file goes once it is
    // appended, so the program is held in memory once.
    std::string joined;
    joined.reserve(static_cast<size_t>(finished));
    for (const std::wstring& path : saved) {
        std::optional<std::string> bytes = Files::ReadBytes(path);
        Files::RemoveFile(path);
        if (!bytes) {
            return fail(kReadText);
        }
        joined += *bytes;
    }

    if (joined.size() < kSmallestProgram || joined[0] != 'M' || joined[1] != 'Z') {
        return fail(kNotProgramText);
    }
    if (Text::ToWide(Text::Sha256Hex(joined)) != release.sha256) {
        return fail(kHashText);
    }
    const std::wstring target = Files::JoinPath(work, L"Lorvex.new.exe");
    if (!Files::WriteBytes(target, joined)) {
        return fail(kSaveText);
    }
    result.path = target;
    return result;
}

}  // namespace Lorvex::Services::Updates
