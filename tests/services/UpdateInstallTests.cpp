// The install script run for real by the system's cmd, in a scratch program folder: a staged
// download replaces the program, which is started from its own folder, and the work folder goes;
// a move that cannot happen leaves the program, the download and the move's log where they were
// and still starts the program the user had. The script is written and its command line and
// variables taken as the update writes and passes them; only the process id it waits for is one
// that has already ended. cmd is started as the update starts it, without a console window. Each
// case waits for cmd to end and for the started program's mark.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Handle.h"
#include "foundation/Text.h"
#include "services/updates/Updates.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Services::Updates {
namespace {

using Lorvex::Testing::Content;
using Lorvex::Testing::Exists;
using Lorvex::Testing::HeldFile;

const char kOldText[] = "el programa de siempre";

std::wstring SystemProgram(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetSystemDirectoryW(folder, MAX_PATH);
    return Files::JoinPath(folder, name);
}

// A process started hidden with this command line; its handle, or none.
UniqueHandle Start(const std::wstring& exe, const std::wstring& arguments) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &info)) {
        return UniqueHandle();
    }
    CloseHandle(info.hThread);
    return UniqueHandle(info.hProcess);
}

bool Ended(const UniqueHandle& process, DWORD waitMs) {
    return process && WaitForSingleObject(process.Get(), waitMs) == WAIT_OBJECT_0;
}

bool WaitFor(const std::wstring& path, DWORD waitMs) {
    const ULONGLONG end = GetTickCount64() + waitMs;
    while (!Exists(path)) {
        if (GetTickCount64() > end) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

std::vector<std::wstring> Names(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const std::wstring& path : Files::ListFiles(folder, L"*", true)) {
        names.push_back(Files::FileName(path));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class UpdateInstall : public testing::Test {
protected:
    void SetUp() override {
        root = Lorvex::Testing::MakeTempFolder(L"update-install");
        // The quoting of every path is part of what runs.
        programFolder = Files::JoinPath(root, L"Mis programas (ñ) & más");
        program = Files::JoinPath(programFolder, L"Lorvex.exe");
        work = Files::JoinPath(Files::JoinPath(root, L"Temp"), std::wstring(kWorkFolder));
        staged = Files::JoinPath(work, L"Lorvex.new.exe");
        mark = Files::JoinPath(programFolder, L"started.txt");
        const std::optional<std::string> started =
            Files::ReadBytes(Files::JoinPath(Files::ParentPath(Files::ExePath()), L"update_started_program.exe"));
        ASSERT_TRUE(started.has_value());
        startedProgram = *started;
        ASSERT_TRUE(Files::EnsureDir(programFolder));
        ASSERT_TRUE(Files::EnsureDir(work));
        SetProgramPathForTesting(program);
        SetTempFolderForTesting(Files::ParentPath(work));
    }

    void TearDown() override {
        SetScriptStarterForTesting({});
        SetProgramPathForTesting({});
        SetTempFolderForTesting({});
        // The started program may still hold its file for a moment after leaving its mark.
        const ULONGLONG end = GetTickCount64() + 10000;
        while (!Files::RemoveTree(root) && GetTickCount64() < end) {
            Sleep(20);
        }
    }

    // Writes the script as the update does and runs it with cmd, as the update would start it,
    // but waiting for a process that has already ended; true once cmd has ended.
    bool RunScript() {
        std::wstring parameters;
        Environment environment;
        SetScriptStarterForTesting([&](const std::wstring& p, const Environment& e) {
            parameters = p;
            environment = e;
            return true;
        });
        if (!WriteAndRunScript(Downloaded{staged, L"", L"3.0.3"})) {
            return false;
        }
        // Held open, so that no new process takes its id while the script looks for it.
        const UniqueHandle gone = Start(SystemProgram(L"cmd.exe"), L"/d /c exit");
        if (!Ended(gone, 30000)) {
            return false;
        }
        for (auto& [name, value] : environment) {
            if (name == L"LORVEX_UPDATE_PID") {
                value = std::to_wstring(GetProcessId(gone.Get()));
            }
        }
        // Started as the update starts it, and none of its variables stays in this process.
        const UniqueHandle script = StartScriptProcess(parameters, environment);
        for (const auto& [name, value] : environment) {
            EXPECT_EQ(GetEnvironmentVariableW(name.c_str(), nullptr, 0), 0u) << Text::ToUtf8(name);
        }
        // Fifteen one-second retries when the move cannot happen.
        return Ended(script, 60000);
    }

    std::wstring root, programFolder, program, work, staged, mark;
    std::string startedProgram;
};

TEST_F(UpdateInstall, TheScriptReplacesTheProgramStartsItAndRemovesItsWorkFolderOnlyWhenTheMoveHappened) {
    // A finished download: the new program takes the old one's place and starts from there.
    ASSERT_TRUE(Files::WriteBytes(program, std::string(kOldText)));
    ASSERT_TRUE(Files::WriteBytes(staged, startedProgram));

    ASSERT_TRUE(RunScript());

    EXPECT_TRUE(WaitFor(mark, 30000));
    EXPECT_EQ(Names(programFolder), (std::vector<std::wstring>{L"Lorvex.exe", L"started.txt"}));
    EXPECT_TRUE(Content(program) == startedProgram);
    // Nothing of the download is left. Wine's cmd keeps the folder of the script it runs (then
    // empty), which Windows removes; the next start removes whatever is left.
    EXPECT_TRUE(Names(work).empty());
    ASSERT_TRUE(Files::RemoveFile(mark));

    // The program file held open by another program, so it cannot be replaced: the old program
    // (this time one that runs) is started all the same, and the download and the log stay.
    ASSERT_TRUE(Files::EnsureDir(work));
    ASSERT_TRUE(Files::WriteBytes(staged, std::string("la versión nueva")));
    {
        const HeldFile held(program, GENERIC_READ, FILE_SHARE_READ);
        ASSERT_TRUE(held);
        ASSERT_TRUE(RunScript());
    }

    EXPECT_TRUE(WaitFor(mark, 30000));
    EXPECT_TRUE(Content(program) == startedProgram);
    EXPECT_EQ(Content(staged), "la versión nueva");
    EXPECT_TRUE(Exists(Files::JoinPath(work, L"update.log")));
    EXPECT_TRUE(Exists(Files::JoinPath(work, L"update.bat")));
}

}  // namespace
}  // namespace Lorvex::Services::Updates
