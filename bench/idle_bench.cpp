// What the program costs at rest on the home screen, whose greeting panel keeps a backdrop
// drifting. Two measurements:
// 1. The real Lorvex.exe, started beside this program on a fresh data folder of its own (a
//    persona and 12 characters, so it opens on home) and left alone for 10 s once its splash and
//    entrance are over: its processor time. Under Wine GetProcessTimes on another process
//    answers almost nothing, so the figure is also read from /proc/<pid>/stat of the program's
//    Wine process where that exists, and a figure that cannot be right is flagged. Given
//    "--before <path of another build's Lorvex.exe>", that program is measured the same way
//    after this build's, for a before-and-after figure from one run.
// 2. The same start-up sequence and main window run in this process on the same kind of data
//    folder, so frames can be counted: 10 s at rest on home with every frame whole (region-only
//    frames off: the figure before them), then 10 s with them on; for each, frames, pixels
//    presented per frame and processor time. Then 10 s on the chat screen once its entrance is
//    over, where nothing ambient moves (goal: 0 frames), and 2 s of paced continuous drawing (as an animation asks):
//    frames, mean interval and processor time per frame.
// Needs an X display under Wine (Xvfb). Prints the figures.

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "App/Startup.h"
#include "bench/HeavyDataFolder.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "main/Screen.h"
#include "services/state/AppState.h"
#include "tests/support/ProgramProcess.h"
#include "ui/Window.h"

namespace {

using namespace Lorvex;

constexpr DWORD kRestMs = 10000;
constexpr DWORD kAnimationMs = 2000;
// The splash (1.25 s) and the home screen's entrance are over by then.
constexpr DWORD kSettleMs = 3000;
constexpr int kCharacters = 12;
// The chat screen is measured once no frame came for this long, or after the limit.
constexpr DWORD kQuietMs = 1000;
constexpr DWORD kQuietLimitMs = 30000;
// Linux counts process times in ticks of 1/100 s (USER_HZ) whatever the kernel's own rate.
constexpr double kTicksPerSecond = 100;

double CpuSeconds(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) {
        return 0;
    }
    const auto value = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return static_cast<double>(value(kernel) + value(user)) / 1e7;
}

// ---- Another process's time as Linux counts it, under Wine ----

// A file of /proc through Wine's drive for the root of the Unix file system; its size reads as 0,
// so it is read until the end.
std::string ReadProcFile(const std::wstring& path) {
    std::string text;
    const HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) {
        text.append(chunk, got);
    }
    CloseHandle(file);
    return text;
}

struct ProcStat {
    std::string name;
    double cpuSeconds = 0;  // user and system time of every thread
    uint64_t startTicks = 0;
};

// The fields of /proc/<pid>/stat after the name, which stands in parentheses and may hold spaces.
std::optional<ProcStat> ReadProcStat(const std::wstring& pid) {
    const std::string text = ReadProcFile(L"Z:\\proc\\" + pid + L"\\stat");
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return std::nullopt;
    }
    ProcStat stat;
    stat.name = text.substr(open + 1, close - open - 1);
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
        const size_t end = text.find(' ', at);
        fields.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    // fields[0] is field 3 of the file: utime is field 14, stime 15, starttime 22.
    if (fields.size() < 20) {
        return std::nullopt;
    }
    stat.cpuSeconds =
        (std::strtod(fields[11].c_str(), nullptr) + std::strtod(fields[12].c_str(), nullptr)) / kTicksPerSecond;
    stat.startTicks = std::strtoull(fields[19].c_str(), nullptr, 10);
    return stat;
}

// The Wine process of the program just started: of the processes named like it that run in this
// Wine prefix, the newest. Empty where there is no /proc (Windows) or none was found.
std::wstring FindWineProcess(const std::wstring& exe) {
    std::wstring name = exe.substr(exe.find_last_of(L'\\') + 1);
    const std::string wanted(name.begin(), name.end());
    wchar_t prefixValue[1024] = {};
    GetEnvironmentVariableW(L"WINEPREFIX", prefixValue, 1024);
    const std::wstring prefixWide = prefixValue;
    const std::string prefix = "WINEPREFIX=" + std::string(prefixWide.begin(), prefixWide.end());

    std::wstring found;
    uint64_t newest = 0;
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return found;
    }
    do {
        const std::wstring pid = entry.cFileName;
        if (pid.empty() || pid.find_first_not_of(L"0123456789") != std::wstring::npos) {
            continue;
        }
        const std::optional<ProcStat> stat = ReadProcStat(pid);
        // The kernel keeps 15 characters of a name.
        if (!stat || stat->name != wanted.substr(0, 15) || stat->startTicks < newest) {
            continue;
        }
        const std::string environment = ReadProcFile(L"Z:\\proc\\" + pid + L"\\environ");
        if (environment.find(prefix + '\0') == std::string::npos) {
            continue;
        }
        found = pid;
        newest = stat->startTicks;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

// ---- 1. The real program ----

// A fresh data folder for the real program (its own, in this prefix) that opens on home.
bool PrepareProgramData() {
    const std::wstring dataDir = Paths::ComputeDataDir();
    Files::RemoveTree(dataDir);
    Paths::SetDataDirForTesting(dataDir);
    return Bench::WriteHeavyDataFolder(nullptr, kCharacters);
}

void MeasureProgram(const std::wstring& exe, const char* label) {
    const Testing::ChildProcess program(exe);
    if (!program.Handle()) {
        std::printf("%s: %ls could not be started\n", label, exe.c_str());
        return;
    }
    const HWND window = program.WaitForWindow();
    if (!window) {
        std::printf("%s: showed no window (another copy running?)\n", label);
    } else {
        Sleep(kSettleMs);
        const std::wstring pid = FindWineProcess(exe);
        const std::optional<ProcStat> procBefore = pid.empty() ? std::nullopt : ReadProcStat(pid);
        const double before = CpuSeconds(program.Handle());
        Sleep(kRestMs);
        const double used = CpuSeconds(program.Handle()) - before;
        const double total = CpuSeconds(program.Handle());
        const std::optional<ProcStat> procAfter = pid.empty() ? std::nullopt : ReadProcStat(pid);
        const double seconds = kRestMs / 1000.0;
        if (procBefore && procAfter) {
            const double procUsed = procAfter->cpuSeconds - procBefore->cpuSeconds;
            std::printf(
                "%s at rest on home for %.0f s: %.2f s of processor time (%.1f %% of one core), from "
                "/proc/%ls/stat of its Wine process\n",
                label, seconds, procUsed, procUsed * 100 / seconds, pid.c_str());
            // A figure from the system that falls far short of what Linux counted cannot be right.
            const bool wrong = total < 0.1 * procAfter->cpuSeconds;
            std::printf("%s GetProcessTimes: %.3f s over the same time, %.3f s since start%s\n", label, used, total,
                        wrong ? " (CANNOT BE RIGHT: Linux counted far more; not used)" : "");
        } else {
            // A window opened with Direct2D has taken more than this since its start.
            const bool wrong = total < 0.05;
            std::printf(
                "%s at rest on home for %.0f s: %.2f s of processor time (%.1f %% of one core), from "
                "GetProcessTimes; %.3f s since start%s\n",
                label, seconds, used, used * 100 / seconds, total,
                wrong ? " (CANNOT BE RIGHT: less than any start-up takes)" : "");
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const DWORD code = program.ExitCode(30000);
    if (code == STILL_ACTIVE) {
        TerminateProcess(program.Handle(), 3);
        std::printf("%s did not end after WM_CLOSE\n", label);
    } else {
        std::printf("%s exit code: %lu\n", label, code);
    }
}

// ---- 2. In this process ----

struct Rest {
    uint64_t frames = 0;
    uint64_t pixels = 0;
    double cpu = 0;
};

void PrintRest(const char* what, const Rest& rest) {
    const double seconds = kRestMs / 1000.0;
    std::printf(
        "%s, %.0f s: %llu frames, %.0f pixels presented per frame, %.2f s of processor time (%.1f %% of one "
        "core)\n",
        what, seconds, static_cast<unsigned long long>(rest.frames),
        rest.frames ? static_cast<double>(rest.pixels) / static_cast<double>(rest.frames) : 0.0, rest.cpu,
        rest.cpu * 100 / seconds);
}

// Measures kRestMs from now, then calls next with what was counted.
void MeasureRest(std::function<void(const Rest&)> next) {
    const uint64_t frames = UI::Window::FramesDrawn();
    const uint64_t pixels = UI::Window::PixelsPresented();
    const double cpu = CpuSeconds(GetCurrentProcess());
    Async::SetTimeout(kRestMs, [frames, pixels, cpu, next] {
        next({UI::Window::FramesDrawn() - frames, UI::Window::PixelsPresented() - pixels,
              CpuSeconds(GetCurrentProcess()) - cpu});
    });
}

// Calls next once no frame has been drawn for kQuietMs (the screen's entrance is over, however
// slowly the renderer drew it), or after kQuietLimitMs in any case.
void WaitForQuiet(std::function<void()> next, DWORD waited = 0, uint64_t frames = UINT64_MAX) {
    const uint64_t now = UI::Window::FramesDrawn();
    if ((now == frames && waited >= kSettleMs) || waited >= kQuietLimitMs) {
        next();
        return;
    }
    Async::SetTimeout(kQuietMs, [next, waited, now] { WaitForQuiet(next, waited + kQuietMs, now); });
}

void MeasureInProcess() {
    const std::wstring dataDir = Files::TempDir() + L"\\lorvex_idle_bench";
    Files::RemoveTree(dataDir);
    Paths::SetDataDirForTesting(dataDir);
    Bench::WriteHeavyDataFolder(nullptr, kCharacters);

    Rest whole;
    Rest region;
    Rest chat;
    uint64_t animationFrames = 0;
    double animationCpu = 0;
    int screen = -1;
    App::StartOptions options;
    options.opened = [&](Main::MainWindow& window) {
        Main::MainWindow* w = &window;
        Async::SetTimeout(kSettleMs, [&, w] {
            screen = w->currentScreen;
            UI::Window::SetRegionFrames(false);
            MeasureRest([&, w](const Rest& off) {
                whole = off;
                UI::Window::SetRegionFrames(true);
                MeasureRest([&, w](const Rest& on) {
                    region = on;
                    Services::AppState& state = Services::AppState::Instance();
                    if (!state.characters.empty()) {
                        w->OpenCharacter(state.characters.front());
                    }
                    WaitForQuiet([&, w] {
                        MeasureRest([&, w](const Rest& chatRest) {
                            chat = chatRest;
                            const uint64_t animationStart = UI::Window::FramesDrawn();
                            const double animationCpuStart = CpuSeconds(GetCurrentProcess());
                            w->continuous = w->continuousPaced = true;
                            w->continuousPeriod = 0;
                            Async::SetTimeout(kAnimationMs, [&, w, animationStart, animationCpuStart] {
                                animationFrames = UI::Window::FramesDrawn() - animationStart;
                                animationCpu = CpuSeconds(GetCurrentProcess()) - animationCpuStart;
                                w->continuous = w->continuousPaced = false;
                                PostMessageW(w->hwnd, WM_CLOSE, 0, 0);
                            });
                        });
                    });
                });
            });
        });
    };
    const int code = App::Run(options);
    std::printf("In process (screen %d shown, %d characters):\n", screen, kCharacters);
    PrintRest("  at rest on home, every frame whole (before)", whole);
    PrintRest("  at rest on home, ambient frames redraw their region", region);
    if (whole.cpu > 0) {
        std::printf("  processor time with region frames: %.1f %% of the whole frames' (goal: at most 20 %%)\n",
                    region.cpu * 100 / whole.cpu);
    }
    PrintRest("  at rest on the chat screen, nothing ambient (goal: 0 frames)", chat);
    const double seconds = kAnimationMs / 1000.0;
    std::printf(
        "  animating for %.0f s: %llu frames (%.1f a second), mean frame interval %.2f ms, %.2f ms of "
        "processor time per frame\n",
        seconds, static_cast<unsigned long long>(animationFrames), animationFrames / seconds,
        animationFrames ? seconds * 1000 / animationFrames : 0.0,
        animationFrames ? animationCpu * 1000 / animationFrames : 0.0);
    std::printf("  exit code: %d\n", code);
    Files::RemoveTree(dataDir);
}

}  // namespace

int main(int argc, char** argv) {
    std::wstring before;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--before") {
            const std::string path = argv[i + 1];
            before.assign(path.begin(), path.end());
        }
    }
    const bool prepared = PrepareProgramData();
    if (!prepared) {
        std::printf("the program's data folder could not be written\n");
    }
    MeasureProgram(Testing::ProgramPath(1), "Lorvex.exe");  // from bench
    if (!before.empty()) {
        PrepareProgramData();
        MeasureProgram(before, "before: Lorvex.exe");
    }
    Files::RemoveTree(Paths::ComputeDataDir());
    MeasureInProcess();
    return 0;
}
