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
#include "tests/support/ProgramProcess.h"
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

void MeasureProgram() {
    const Lorvex::Testing::ChildProcess program(Lorvex::Testing::ProgramPath(1));  // from bench
    if (!program.Handle()) {
        std::printf("Lorvex.exe could not be started\n");
        return;
    }
    const HWND window = program.WaitForWindow();
    if (!window) {
        std::printf("Lorvex.exe showed no window (another copy running?)\n");
    } else {
        Sleep(kSettleMs);
        const double before = CpuSeconds(program.Handle());
        Sleep(kIdleMs);
        const double used = CpuSeconds(program.Handle()) - before;
        // The total since start shows whether the system reports another process's times at all.
        std::printf(
            "Lorvex.exe idle for %.0f s: %.3f s of processor time (%.2f %% of one core); %.3f s since it "
            "started\n",
            kIdleMs / 1000.0, used, used * 100 / (kIdleMs / 1000.0), CpuSeconds(program.Handle()));
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const DWORD code = program.ExitCode(30000);
    if (code == STILL_ACTIVE) {
        TerminateProcess(program.Handle(), 3);
        std::printf("Lorvex.exe did not end after WM_CLOSE\n");
    } else {
        std::printf("Lorvex.exe exit code: %lu\n", code);
    }
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
