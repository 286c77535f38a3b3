#pragma once
// What the update dialog says, as pure functions of the update state it is given: the header, the
// status card's title and subtitle, the download line under the progress bar, its percentage and
// the size of the version list; and the two facts the dialog decides by, whether something runs
// and whether the newest release may be installed. Any thread; nothing fails (a missing release
// leaves its parts of a text out).

#include <cstddef>
#include <cstdint>
#include <string>

#include "services/updates/Updates.h"

namespace Lorvex::Main::UpdateTexts {

using Services::Updates::Progress;
using Services::Updates::Release;
using Services::Updates::State;
using Services::Updates::Status;

// A download or an installation runs: the dialog cannot be dismissed and shows the progress.
bool Running(Status status);

// The system clock in Unix seconds, which the ages in the texts are measured against.
int64_t NowSeconds();

// The release at the state's newest index, or null.
const Release* NewestOf(const State& state);

// Whether the dialog may offer to install the state's newest release: it is newer than the running
// version and carries the hash its download is checked against.
bool CanInstall(const State& state, bool newer);

struct Header {
    std::wstring title;
    std::wstring subtitle;
};
// newer: the newest release is newer than the running version.
Header HeaderFor(Status status, const State& state, bool newer);

struct Card {
    std::wstring title;
    std::wstring subtitle;
    bool warning = false;  // the subtitle tells of a failure and is drawn in the warning colour
};
// nowSeconds: Unix seconds, for the ages of the last check and of the release.
Card CardFor(Status status, const State& state, bool newer, int64_t nowSeconds);

// "12.4 MB de 48.0 MB  ·  2.1 MB/s  ·  parte 1 de 3"; the speed and the part only when known and
// worth saying.
std::wstring DownloadLine(const Progress& progress);
// "26 %" for 0.26.
std::wstring PercentText(float fraction);
// "1 versión", "4 versiones".
std::wstring VersionCount(size_t count);

}  // namespace Lorvex::Main::UpdateTexts
