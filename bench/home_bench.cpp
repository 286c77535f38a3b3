// Frame cost of the home screen for a heavy user: the store benchmark's data folder (1,000
// characters with 10 chats of 100 messages each) loaded as start-up loads it, then the real home
// screen drawn off-screen at 1320x860 with the main window's content area, in three ways: at rest
// with only the first 12 characters (as many cards as fill the view), at rest with all 1,000, and
// scrolling down the grid with them. The three take turns in rounds of 60 frames, 240 frames
// each in all, so that a busy machine slows them alike. Each frame is read back (one pixel), so
// its time includes the rasterising. Prints the mean and 99th percentile of each, the cards drawn
// per frame and each mean relative to the 12-character one; also the time the per-frame work over
// the whole list (filter, sort, counters) takes on its own.
// Under Wine and llvmpipe the figures are relative: for comparing our own changes.
// Needs an X display under Wine (Xvfb).

#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/HeavyDataFolder.h"
#include "bench/OffscreenFrames.h"
#include "bench/ScreenFrames.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/home/HomeList.h"
#include "main/home/HomeScreen.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "ui/ScrollArea.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

constexpr int Width = 1320;
constexpr int Height = 860;
constexpr int Rounds = 4;
constexpr int FramesPerRound = 60;
constexpr float ScrollPerFrame = 24;  // DIPs: a brisk, steady scroll
constexpr size_t FewCharacters = 12;

struct Run {
    Bench::FrameTimes times;
    size_t cardsMin = SIZE_MAX;
    size_t cardsMax = 0;
};

class HomeFrames {
public:
    explicit HomeFrames(Bench::OffscreenFrames& surface) : frames_(surface) {
        window_ = std::make_unique<Main::MainWindow>();
        home_ = window_->homeScreen.get();
    }

    // One round from the top of the list (scrolling when scroll is set), after the entrance is
    // over, added to run.
    void Measure(Run& run, bool scroll) {
        UI::ScrollState& position = frames_.ui.State<UI::ScrollState>(frames_.ui.MakeIdFromText("home-scroll"));
        position = {};
        home_->shownAt = frames_.time - 10;
        frames_.Frame(*home_);  // lays the content out once, so scrolling has a length to move in
        for (int frame = 0; frame < FramesPerRound; ++frame) {
            if (scroll) {
                position.target += ScrollPerFrame;
            }
            frames_.Timed(*home_, run.times);
            run.cardsMin = std::min(run.cardsMin, home_->cardsDrawn);
            run.cardsMax = std::max(run.cardsMax, home_->cardsDrawn);
        }
    }

private:
    Bench::ScreenFrames frames_;
    std::unique_ptr<Main::MainWindow> window_;
    Main::HomeScreen* home_ = nullptr;
};

void Print(const char* name, const Run& run, double base) {
    std::printf("  %-28s mean %7.2f ms, p99 %7.2f ms, %zu to %zu cards drawn, %.2f x the %zu-character figure%s\n",
                name, run.times.Mean(), run.times.P99(), run.cardsMin, run.cardsMax,
                base > 0 ? run.times.Mean() / base : 0.0, FewCharacters, run.times.ok ? "" : " (SOME FRAMES FAILED)");
}

// The per-frame work over the whole list on its own, as the screen does it: mean over 100 runs.
double ListWorkMs(const std::vector<std::shared_ptr<Character>>& characters, bool alphabetical) {
    const auto start = Clock::now();
    size_t sink = 0;
    for (int i = 0; i < 100; ++i) {
        Main::Home::CharacterList shown = Main::Home::FilterByName(characters, Main::Home::SearchQuery(L""));
        Main::Home::SortForDisplay(shown, alphabetical);
        sink += shown.size() + Main::Home::CountRecords(characters).messages;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count() / 100;
    return sink > 0 ? ms : 0;
}

}  // namespace

int main() {
    Bench::OffscreenFrames surface;
    if (!surface.Open(Width, Height)) {
        return 1;
    }

    const std::wstring root = Bench::UseFreshDataFolder(L"home");
    if (!Async::Startup()) {
        std::printf("the dispatcher could not start\n");
        return 1;
    }
    if (!Bench::WriteHeavyDataFolder()) {
        std::printf("some writes of the data folder failed\n");
    }
    Services::AppState& state = Services::AppState::Instance();
    state.Initialize();
    UI::Material::ApplyTheme();
    std::vector<std::shared_ptr<Character>> all = state.characters;
    std::printf("home_bench: %zu characters, %dx%d off-screen, %d frames each\n", all.size(), Width, Height,
                Rounds * FramesPerRound);
    std::printf("  list work per frame on its own: %.2f ms (\"Recientes\"), %.2f ms (\"A-Z\")\n",
                ListWorkMs(all, false), ListWorkMs(all, true));

    HomeFrames bench(surface);
    Run few;
    Run rest;
    Run scrolling;
    for (int round = 0; round < Rounds; ++round) {
        state.characters.assign(all.begin(), all.begin() + std::min(FewCharacters, all.size()));
        bench.Measure(few, false);
        state.characters = all;
        bench.Measure(rest, false);
        bench.Measure(scrolling, true);
    }
    Print("at rest, 12 characters:", few, few.times.Mean());
    Print("at rest, all characters:", rest, few.times.Mean());
    Print("scrolling, all characters:", scrolling, few.times.Mean());

    Services::AppState::ResetForTesting();
    Services::CloudSync::ResetForTesting();
    Async::Shutdown();
    Files::RemoveTree(root);
    return few.times.ok && rest.times.ok && scrolling.times.ok ? 0 : 1;
}
