// What the program costs while nothing happens. Two measurements:
// 1. The real Lorvex.exe, started beside this program and left alone for 10 s after its window
//    appeared and settled: its processor time (goal: under 1 % of one core), then closed.
// 2. The same start-up sequence and main window run in this process on a fresh data folder, so
//    the frames can be counted: frames drawn over 10 idle seconds (goal: 0 after the first
//    frames) and processor time, then 2 s of paced continuous drawing (as an animation asks):
//    frames, mean interval and processor time per frame.
// Needs an X display under Wine (Xvfb). Prints the figures.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "App/Startup.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "ui/Window.h"

namespace {

constexpr DWORD kIdleMs = 10000;
constexpr DWORD kAnimationMs = 2000;
constexpr DWORD kSettleMs = 1000;

double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    const auto value = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\'));  // bench
    folder.resize(folder.find_last_of(L'\\'));  // the build folder
    return folder + L"\\Lorvex.exe";
}

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindProgramWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t name[64] = {};
    if (owner == search->processId && GetClassNameW(window, name, 64) &&
        std::wstring(name) == Lorvex::UI::Window::kClassName) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

void MeasureProgram() {
    const std::wstring exe = ProgramPath();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring command = L"\"" + exe + L"\"";
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::printf("Lorvex.exe could not be started\n");
        return;
    }
    Search search = {process.dwProcessId, nullptr};
    for (int i = 0; i < 600 && !search.found; ++i) {
        Sleep(50);
        EnumWindows(&FindProgramWindow, reinterpret_cast<LPARAM>(&search));
    }
    if (!search.found) {
        std::printf("Lorvex.exe showed no window (another copy running?)\n");
    } else {
        Sleep(kSettleMs);
        const double before = CpuSeconds(process.hProcess);
        Sleep(kIdleMs);
        const double used = CpuSeconds(process.hProcess) - before;
        // The total since start shows whether the system reports another process's times at all.
        std::printf(
            "Lorvex.exe idle for %.0f s: %.3f s of processor time (%.2f %% of one core); %.3f s since it "
            "started\n",
            kIdleMs / 1000.0, used, used * 100 / (kIdleMs / 1000.0), CpuSeconds(process.hProcess));
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    DWORD code = 0;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code)) {
        std::printf("Lorvex.exe exit code: %lu\n", code);
    } else {
        TerminateProcess(process.hProcess, 3);
        std::printf("Lorvex.exe did not end after WM_CLOSE\n");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void MeasureInProcess() {
    const std::wstring dataDir = Lorvex::Files::TempDir() + L"\\lorvex_idle_bench";
    Lorvex::Files::RemoveTree(dataDir);
    Lorvex::Paths::SetDataDirForTesting(dataDir);

    uint64_t idleFrames = 0;
    uint64_t animationFrames = 0;
    double idleCpu = 0;
    double animationCpu = 0;
    Lorvex::App::StartOptions options;
    options.opened = [&](Lorvex::Main::MainWindow& window) {
        Lorvex::Main::MainWindow* w = &window;
        Lorvex::Async::SetTimeout(kSettleMs, [&, w] {
            const uint64_t frames = Lorvex::UI::Window::FramesDrawn();
            const double cpu = CpuSeconds(GetCurrentProcess());
            Lorvex::Async::SetTimeout(kIdleMs, [&, w, frames, cpu] {
                idleFrames = Lorvex::UI::Window::FramesDrawn() - frames;
                idleCpu = CpuSeconds(GetCurrentProcess()) - cpu;
                const uint64_t animationStart = Lorvex::UI::Window::FramesDrawn();
                const double animationCpuStart = CpuSeconds(GetCurrentProcess());
                w->continuous = w->continuousPaced = true;
                w->continuousPeriod = 0;
                Lorvex::Async::SetTimeout(kAnimationMs, [&, w, animationStart, animationCpuStart] {
                    animationFrames = Lorvex::UI::Window::FramesDrawn() - animationStart;
                    animationCpu = CpuSeconds(GetCurrentProcess()) - animationCpuStart;
                    w->continuous = w->continuousPaced = false;
                    PostMessageW(w->hwnd, WM_CLOSE, 0, 0);
                });
            });
        });
    };
    const int code = Lorvex::App::Run(options);
    std::printf("In process, idle for %.0f s: %llu frames, %.3f s of processor time (%.2f %% of one core)\n",
                kIdleMs / 1000.0, static_cast<unsigned long long>(idleFrames), idleCpu,
                idleCpu * 100 / (kIdleMs / 1000.0));
    const double seconds = kAnimationMs / 1000.0;
    std::printf(
        "Animating for %.0f s: %llu frames (%.1f a second), mean frame interval %.2f ms, %.2f ms of "
        "processor time per frame\n",
        seconds, static_cast<unsigned long long>(animationFrames), animationFrames / seconds,
        animationFrames ? seconds * 1000 / animationFrames : 0.0,
        animationFrames ? animationCpu * 1000 / animationFrames : 0.0);
    std::printf("Exit code: %d\n", code);
    Lorvex::Files::RemoveTree(dataDir);
}

}  // namespace

int main() {
    MeasureProgram();
    MeasureInProcess();
    return 0;
}
