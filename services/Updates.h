#pragma once
// The update state as start-up and the main window meet it: the step run once after the settings
// are loaded, which clears what an earlier update left and notes when this version is new since
// the last start; the two notices the main window takes out (after an update, and a newly found
// version); the change callback; and the background checks. The release channel itself is not
// asked yet: StartBackgroundChecks arms nothing, so no new-version notice is ever left.
// UI thread only; nothing here fails visibly (a file that cannot be removed or written stays).

#include <functional>
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
// when there is none. The main window shows it once when it opens and clears it.
std::wstring& AfterUpdateNotice();

// The version of a newly found release, waiting for the main window, which takes it out (leaving
// it empty) and opens the update dialog; empty when there is none.
std::wstring& NewVersionNotice();

// Whether the build carries the release channel (bot token and channel id both set); without it
// there are no checks.
bool IsConfigured();

// Replaces the callback run after every change of the update state; an empty function removes it.
void SetOnChanged(std::function<void()> callback);
// Runs the change callback, when one is set.
void NotifyChanged();

// Arms the timed checks of the release channel. Not connected to the channel yet: it arms nothing.
void StartBackgroundChecks();

// Stand-in until the release channel is read: the version of the newest release that can be
// installed, empty while none is known. Nothing fills it yet; tests set it.
std::wstring& NewestVersion();

// Whether the newest release is newer than the running version.
bool HasNewerVersion();

}  // namespace Lorvex::Services::Updates
