#pragma once
// The update state and what changes it: the release channel checked at start and every three
// hours, a newly found version announced once, the newest release downloaded in parts, verified
// and staged next to an install script that swaps the program file after the program quits, and
// the after-update step at the next start. Everything here runs on the UI thread except
// DownloadLatest and CanWriteProgramFolder, which block and belong to a worker. Nothing throws:
// a failed check or download leaves its Spanish text in the state's error, and the running
// program file is never touched before the script runs.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/Cancel.h"
#include "foundation/Handle.h"
#include "services/updates/UpdateRelease.h"

namespace Lorvex::Services::Updates {

// The folder under the temporary folder that a download works in.
inline constexpr std::wstring_view kWorkFolder = L"Lorvex_Update";

// Why a release without its SHA-256 is not installed: the download refuses it, and the dialog
// says so before offering it.
inline constexpr std::wstring_view kNoHashText =
    L"Esta versión no incluye su suma SHA-256; no se puede instalar con seguridad.";

// The dialog branches on these numbers.
enum class Status : int32_t {
    NotConfigured = 0,  // the build carries no bot token or no channel id
    NeverChecked = 1,
    Checking = 2,
    UpToDate = 3,
    Available = 4,  // a newer release with parts is known; also after a cancelled or failed download
    Downloading = 5,
    Installing = 6,  // the install script runs; the program quits shortly
    Failed = 7,      // the last check failed; error says why
};

struct Progress {
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    int32_t part = 0;  // 1-based
    int32_t partCount = 0;
    double bytesPerSecond = 0;  // average since the download began
};

// The result of a download.
struct Downloaded {
    std::wstring path;     // the saved new program file; empty on failure
    std::wstring error;    // why it failed, exactly "cancelled" after a cancel; empty on success
    std::wstring version;  // the version that was downloaded
};

struct State {
    Status status = Status::NeverChecked;
    std::vector<Release> releases;  // of the last successful check, newest first
    int32_t newest = -1;            // index of the first release with parts, or -1
    std::wstring error;             // of the last failed check or download
    int64_t lastCheck = 0;          // Unix seconds of the last successful check; 0 before it
    std::wstring lastAnnounced;     // the version last handed to the main window, once per run
    Progress progress;              // of the running or last download
    Async::Cancel cancel;           // of the running or last download; replaced for each one
};

// The state as the dialogs read it. Only the operations below write it.
const State& Current();
// Starts at 1 and only grows: one step after every change of the state.
int32_t ChangeCounter();
// The release at the newest index, or null.
const Release* NewestRelease();
// The status with the build's configuration applied: a build without the release channel turns
// it into NotConfigured for good.
Status EffectiveStatus();
// Sets the running download's cancel flag.
void CancelDownload();

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
// The old callback is destroyed before the new one is stored and is never called again.
void SetOnChanged(std::function<void()> callback);
// Counts a change and runs the change callback, when one is set.
void NotifyChanged();

// Asks the channel for its releases unless the build has no channel or a check, a download or an
// installation runs. A background check announces a newly found version; one the user asked for
// does not.
void Check(bool background);
// The UI-thread end of a check: a failure keeps the last list and sets Failed; a success takes the
// list and decides between Available and UpToDate.
void OnChecked(Fetched fetched, bool background);
// Arms a check 300 ms from now and one every three hours (skipped once a newer release is known),
// each only while the settings' check_updates is on. Nothing is armed without the channel.
void StartBackgroundChecks();

// Whether the newest release is newer than the running version.
bool HasNewerVersion();

// Starts downloading the newest release when it is newer and nothing is downloading; quit runs on
// the UI thread 600 ms after the install script has started.
void Install(std::function<void()> quit);
// The worker half of Install: a fresh channel read (attachment links do not last), the release of
// the version the dialog showed taken from it, the write test, the parts downloaded into the work
// folder, joined, checked and saved as "Lorvex.new.exe". A release that was replaced meanwhile is
// never installed in its place. Blocks; worker thread only.
Downloaded DownloadLatest(const Async::Cancel& cancel, const std::wstring& version);
// Whether a file can be written into the program's folder. Blocks on the disk; any thread.
bool CanWriteProgramFolder();
// Writes "update.bat" into the work folder and starts it hidden. False when either fails.
bool WriteAndRunScript(const Downloaded& downloaded);
// The UI-thread half of Install: starts the script after a download, or goes back to Available.
void FinishInstall(std::function<void()> quit, Downloaded downloaded);

// The install script, the same text whatever the paths: it reads the process id and every path
// from the variables of InstallEnvironment, so no path is ever parsed as script text.
std::string InstallScript();
using Environment = std::vector<std::pair<std::wstring, std::wstring>>;
// The variables the started script reads: the process to wait for, the new file, the program
// file, the log and the work folder; and the script's own path, which cmd's command line reads.
Environment InstallEnvironment(const Downloaded& downloaded);
// Starts the system's cmd.exe with these parameters, these variables added to this process's own,
// and no console window (CREATE_NO_WINDOW); the process, or none when it could not start. What
// WriteAndRunScript calls unless a test replaced it.
UniqueHandle StartScriptProcess(const std::wstring& parameters, const Environment& environment);

// The folder the running program file lies in, and the update work folder.
std::wstring ProgramFolder();
std::wstring WorkFolder();

// Test seams. Not for the program itself, and not while a download runs.
// The program file the write test and the script use, instead of the running one; empty restores it.
void SetProgramPathForTesting(std::wstring path);
// The folder the work folder is made in, instead of the temporary folder; empty restores it.
void SetTempFolderForTesting(std::wstring folder);
// Called instead of starting cmd.exe with these parameters and variables; an empty function
// restores the real start.
using ScriptStarter = std::function<bool(const std::wstring& parameters, const Environment& environment)>;
void SetScriptStarterForTesting(ScriptStarter starter);
// Replaces the release list as a successful check would, without a notice or a status change.
void SetReleasesForTesting(std::vector<Release> releases);
// Back to the state of a new process (the change counter keeps growing).
void ResetForTesting();

}  // namespace Lorvex::Services::Updates
