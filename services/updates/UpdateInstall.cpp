// The UI-thread ends of an update (Install starts the download, FinishInstall starts the install
// script or goes back to Available), the write test of the program's folder, and the install
// script with the variables it reads its paths from.

#include <windows.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Handle.h"
#include "services/updates/UpdateStateDetail.h"
#include "services/updates/Updates.h"

namespace Lorvex::Services::Updates {
namespace {

constexpr uint32_t kQuitDelayMs = 600;

// Every path reaches the script through these variables and is expanded inside double quotes,
// where cmd takes "&", "^", "(" and ")" literally; cmd expands a variable once, so a "%" inside a
// path stays text. The script itself is ASCII, so a path's accents never meet a code page.
const char kScript[] =
    "@echo off\r\n"
    "chcp 65001 >nul\r\n"
    "set WAITS=30\r\n"
    ":wait\r\n"
    "\"%SystemRoot%\\System32\\tasklist.exe\" /FI \"PID eq %LORVEX_UPDATE_PID%\" /NH 2>nul | "
    "\"%SystemRoot%\\System32\\find.exe\" /I \".exe\" >nul\r\n"
    "if not errorlevel 1 (\r\n"
    "    set /a WAITS-=1\r\n"
    "    if %WAITS% GTR 0 (\r\n"
    "        ping -n 2 127.0.0.1 >nul\r\n"
    "        goto wait\r\n"
    "    )\r\n"
    ")\r\n"
    "set RETRIES=15\r\n"
    ":retry\r\n"
    "move /y \"%LORVEX_UPDATE_NEW%\" \"%LORVEX_UPDATE_EXE%\" >> \"%LORVEX_UPDATE_LOG%\" 2>&1\r\n"
    "if exist \"%LORVEX_UPDATE_NEW%\" (\r\n"
    "    set /a RETRIES-=1\r\n"
    "    if %RETRIES% GTR 0 (\r\n"
    "        ping -n 2 127.0.0.1 >nul\r\n"
    "        goto retry\r\n"
    "    )\r\n"
    ")\r\n"
    "start \"\" \"%LORVEX_UPDATE_EXE%\"\r\n"
    "if not exist \"%LORVEX_UPDATE_NEW%\" rd /s /q \"%LORVEX_UPDATE_DIR%\"\r\n"
    "exit\r\n";

// cmd expands the command line once, so the script's path comes from a variable as well: /S keeps
// the quotes around it, /V:OFF keeps a "!" in a path from being read as a variable even where the
// user's registry turns delayed expansion on, and /D skips the user's AutoRun commands.
const wchar_t kParameters[] = L"/d /v:off /s /c \"\"%LORVEX_UPDATE_SCRIPT%\"\"";

ScriptStarter& StarterOverride() {
    static ScriptStarter starter;
    return starter;
}

std::optional<std::wstring> Variable(const std::wstring& name) {
    const DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) {
        return std::nullopt;
    }
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name.c_str(), value.data(), needed);
    value.resize(std::min<DWORD>(length, needed));
    return value;
}

// cmd.exe from the system folder, never one found first in the current folder.
std::wstring SystemCmd() {
    std::wstring folder(MAX_PATH, L'\0');
    const UINT length = GetSystemDirectoryW(folder.data(), MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    folder.resize(length);
    return Files::JoinPath(folder, L"cmd.exe");
}

bool StartScript(const std::wstring& parameters, const Environment& environment) {
    return StartScriptProcess(parameters, environment).IsOpen();
}

}  // namespace

UniqueHandle StartScriptProcess(const std::wstring& parameters, const Environment& environment) {
    const std::wstring cmd = SystemCmd();
    if (cmd.empty()) {
        return UniqueHandle();
    }
    // The started process inherits this process's variables; ours are put back afterwards.
    std::vector<std::pair<std::wstring, std::optional<std::wstring>>> previous;
    for (const auto& [name, value] : environment) {
        previous.emplace_back(name, Variable(name));
        SetEnvironmentVariableW(name.c_str(), value.c_str());
    }
    // No console at all: Windows 11's default terminal ignores the hidden show state that a
    // ShellExecute start passes, and would open a terminal window over the closing program.
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + cmd + L"\" " + parameters;
    const bool started = CreateProcessW(cmd.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                                        nullptr, nullptr, &startup, &info) != FALSE;
    for (const auto& [name, value] : previous) {
        SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
    }
    if (!started) {
        return UniqueHandle();
    }
    CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

void SetScriptStarterForTesting(ScriptStarter starter) {
    StarterOverride() = std::move(starter);
}

std::string InstallScript() {
    return kScript;
}

Environment InstallEnvironment(const Downloaded& downloaded) {
    const std::wstring work = WorkFolder();
    return {
        {L"LORVEX_UPDATE_PID", std::to_wstring(GetCurrentProcessId())},
        {L"LORVEX_UPDATE_NEW", downloaded.path},
        {L"LORVEX_UPDATE_EXE", Detail::ProgramPath()},
        {L"LORVEX_UPDATE_LOG", Files::JoinPath(work, L"update.log")},
        {L"LORVEX_UPDATE_DIR", work},
        {L"LORVEX_UPDATE_SCRIPT", Files::JoinPath(work, L"update.bat")},
    };
}

bool CanWriteProgramFolder() {
    const std::wstring probe = Files::JoinPath(ProgramFolder(), L".lorvex-write-test");
    if (!Files::WriteBytes(probe, std::string("ok"))) {
        return false;
    }
    Files::RemoveFile(probe);
    return true;
}

bool WriteAndRunScript(const Downloaded& downloaded) {
    const std::wstring work = WorkFolder();
    if (work.empty()) {
        return false;
    }
    if (!Files::WriteBytes(Files::JoinPath(work, L"update.bat"), InstallScript())) {
        return false;
    }
    const Environment environment = InstallEnvironment(downloaded);
    return StarterOverride() ? StarterOverride()(kParameters, environment) : StartScript(kParameters, environment);
}

void Install(std::function<void()> quit) {
    State& state = Detail::Mutable();
    if (state.status == Status::Downloading || state.status == Status::Installing || !HasNewerVersion()) {
        return;
    }
    const Release& newest = *NewestRelease();
    state.status = Status::Downloading;
    state.error.clear();
    state.progress = Progress{};
    for (const Part& part : newest.parts) {
        state.progress.bytesTotal += static_cast<uint64_t>(std::max<int64_t>(part.size, 0));
    }
    state.progress.part = 1;
    state.progress.partCount = static_cast<int32_t>(newest.parts.size());
    state.cancel = Async::Cancel();
    NotifyChanged();

    const Async::Cancel cancel = state.cancel;
    const bool started = Async::Run([cancel, version = newest.version] { return DownloadLatest(cancel, version); },
                                    [quit](Downloaded downloaded) { FinishInstall(quit, std::move(downloaded)); });
    if (!started) {
        FinishInstall(std::move(quit), Downloaded{{}, L"No se pudo iniciar la descarga", newest.version});
    }
}

void FinishInstall(std::function<void()> quit, Downloaded downloaded) {
    State& state = Detail::Mutable();
    const std::wstring work = WorkFolder();
    if (downloaded.error == L"cancelled") {
        Files::RemoveTree(work);
        state.status = Status::Available;
        NotifyChanged();
        return;
    }
    if (downloaded.path.empty()) {
        Files::RemoveTree(work);
        state.status = Status::Available;
        state.error = std::move(downloaded.error);
        NotifyChanged();
        return;
    }
    if (!WriteAndRunScript(downloaded)) {
        state.status = Status::Available;
        state.error = L"No se pudo iniciar el instalador";
        NotifyChanged();
        return;
    }
    state.status = Status::Installing;
    NotifyChanged();
    Async::SetTimeout(kQuitDelayMs, [quit = std::move(quit)] {
        if (quit) {
            quit();
        }
    });
}

}  // namespace Lorvex::Services::Updates
