#pragma once
// The update state that start-up meets: the step run once after the settings are loaded, which
// clears what an earlier update left and notes when this version is new since the last start.
// UI thread only; nothing here fails visibly (a file that cannot be removed or written stays).

#include <string>
#include <string_view>

namespace Lorvex::Services::Updates {

// The folder under the temporary folder that a download unpacks into.
inline constexpr std::wstring_view kWorkFolder = L"Lorvex_Update";

// Removes the update work folder; when the settings' last_version is not the running version,
// prepares the after-update notice (only when the last version is known and older) and stores
// the running version in the settings file.
void AfterStart();

// The notice for the user after an update ("Lorvex se ha actualizado a la versión 3.0.2"), empty
// when there is none. The main window shows it and clears it.
std::wstring& PendingNotice();

// Whether version a is older than b, compared number by number ("3.0.10" is newer than "3.0.9");
// a missing number counts as 0 and a part that is no number as 0.
bool IsOlderVersion(std::wstring_view a, std::wstring_view b);

}  // namespace Lorvex::Services::Updates
