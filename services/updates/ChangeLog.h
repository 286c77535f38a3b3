#pragma once
// What changed in each version: the change log built into the program for the running version and
// those before it, the release notes of newer releases from the channel, and both turned into the
// one list of versions the update dialog shows, each with its note lines (headings, bullets, plain
// lines and gaps), its date or age, its download size and whether it is newer or installed. Pure
// functions of their arguments and the clock, safe on any thread; nothing fails.

#include <cstdint>
#include <string>
#include <vector>

#include "services/updates/UpdateRelease.h"

namespace Lorvex::Services::Updates {

// One version of the built-in change log.
struct ChangeLogVersion {
    std::wstring version;
    std::wstring date;                // "14/11/2026", shown as it is
    std::vector<std::wstring> lines;  // "## " starts a heading; every other line is one change
};

// The built-in change log, newest version first.
const std::vector<ChangeLogVersion>& ChangeLog();

// One displayed note line.
struct ChangeLine {
    enum class Kind { Heading = 0, Bullet = 1, Text = 2, Gap = 3 };
    Kind kind = Kind::Text;
    std::wstring text;  // empty for a gap

    bool operator==(const ChangeLine&) const = default;
};

// One card of the dialog's version list.
struct ChangeLogEntry {
    std::wstring version;
    std::wstring dateText;
    std::vector<ChangeLine> lines;
    int64_t size = 0;        // the release's part sizes summed, in bytes; 0 for built-in versions
    bool newer = false;      // newer than the running version
    bool installed = false;  // the running version
};

// The channel's releases newer than the running version that can be downloaded (newest first, as
// the release list holds them), then the built-in versions not already listed.
std::vector<ChangeLogEntry> BuildChangeLog(const std::vector<Release>& releases);

// Markdown-like release notes as note lines: "#" headings, "- ", "* " and "• " bullets, plain
// lines, and single gaps for blank lines between them.
std::vector<ChangeLine> ParseReleaseNotes(const std::wstring& notes);
// The built-in log's lines: a gap before every heading but the first, every other line a bullet.
std::vector<ChangeLine> ParseChangeLogLines(const std::vector<std::wstring>& lines);

// How long ago a release was published ("hace 5 min", "ayer", "hace 3 días", else its local date
// "14/11/2026"); empty for an unknown time (0 or less).
std::wstring AgeText(int64_t unixSeconds);
// The same against a given current time, in Unix seconds.
std::wstring AgeTextAt(int64_t unixSeconds, int64_t nowSeconds);

// What a heading's words announce, which picks its colour.
enum class HeadingTone { Fixes, Changes, Removals, News };
HeadingTone ToneOfHeading(const std::wstring& heading);

}  // namespace Lorvex::Services::Updates
