// Frame cost of the chat screen over a long chat: the real chat screen drawn off-screen at
// 1320x860 with the main window's content area, over a chat of 10,000 messages and over one of 10,
// in three ways each: at rest at the newest message, scrolling up and down by the wheel (24 DIP a
// frame, turning every 10 frames, so the short chat scrolls too), and while a reply streams in (a
// pending message that grows by a word every frame, the list following it). The six take turns
// in rounds of 60 frames (after 60 frames that let the rows' entrance end), 240 frames each in
// all, so that a busy machine slows them alike. Each frame is read back (one pixel), so its time
// includes the rasterising. Prints the mean and 99th percentile of each, the rows laid out and
// drawn per frame, each mean relative to the 10-message figure of its kind, and the program's
// working set as the chats are built and after the runs.
// Under Wine and llvmpipe the figures are relative: for comparing our own changes.
// Needs an X display under Wine (Xvfb).

#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "bench/BenchRandom.h"
#include "bench/HeavyDataFolder.h"
#include "bench/OffscreenFrames.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "services/AppState.h"
#include "services/CloudSync.h"
#include "ui/Input.h"
#include "ui/Theme.h"
#include "ui/Ui.h"

namespace {

using namespace Lorvex;
using Clock = std::chrono::steady_clock;

constexpr int Width = 1320;
constexpr int Height = 860;
constexpr int Rounds = 4;
constexpr int FramesPerRound = 60;
constexpr int EntranceFrames = 60;
constexpr double FrameDt = 1.0 / 60;
constexpr float WheelPerFrame = 40;  // a third of a notch: 24 DIP at the list's 72 per notch
constexpr int FramesPerTurn = 10;
constexpr int LongChat = 10000;
constexpr int ShortChat = 10;

enum class Mode { Rest, Scroll, Stream };

struct Run {
    std::vector<double> milliseconds;
    size_t builtMax = 0;
    size_t drawnMin = SIZE_MAX;
    size_t drawnMax = 0;
    bool ok = true;

    double Mean() const { return std::accumulate(milliseconds.begin(), milliseconds.end(), 0.0) / milliseconds.size(); }
    double P99() const {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<size_t>(sorted.size() * 0.99))];
    }
};

double WorkingSetMb(bool peak) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
        return 0;
    }
    return static_cast<double>(peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize) / (1024.0 * 1024.0);
}

// A chat of count lines, the user and the character taking turns, 40 lines a day, with the
// benchmarks' Spanish prose (actions in asterisks, an emoji now and then).
std::shared_ptr<Chat> MakeChat(int count) {
    Bench::Random random;
    auto chat = Chat::Create();
    chat->messages.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto message = std::make_shared<Message>();
        message->role = i % 2 == 0 ? L"assistant" : L"user";
        message->content = Bench::Prose(random, 1 + random.Below(4));
        message->timestamp = Bench::Stamp(i / 40, i % 40 * 20);
        chat->messages.push_back(std::move(message));
    }
    return chat;
}

class ChatFrames {
public:
    explicit ChatFrames(Bench::OffscreenFrames& surface) : surface_(surface), g_(surface.graphics), ui_(g_) {
        window_ = std::make_unique<Main::MainWindow>();
        screen_ = window_->chatScreen.get();
        // The pointer rests over the middle of the message list, so the wheel reaches it.
        input_.x = Width / 2.0f + 200;
        input_.y = Height / 2.0f;
        input_.inside = true;
    }

    // Opens the chat at its newest message, lets the rows enter, then measures one round.
    void Measure(Run& run, const std::shared_ptr<Chat>& chat, Mode mode) {
        Services::AppState& state = Services::AppState::Instance();
        state.currentChat = chat;
        for (int frame = 0; frame < EntranceFrames; ++frame) {
            Frame();
        }
        std::shared_ptr<Message> streaming;
        if (mode == Mode::Stream) {
            streaming = std::make_shared<Message>();
            streaming->role = L"assistant";
            streaming->is_typing = true;
            streaming->timestamp = chat->messages.back()->timestamp;
            chat->messages.push_back(streaming);
        }
        for (int frame = 0; frame < FramesPerRound; ++frame) {
            if (mode == Mode::Scroll) {
                input_.wheel = frame / FramesPerTurn % 2 == 0 ? WheelPerFrame : -WheelPerFrame;
            } else if (streaming) {
                streaming->content += frame % 9 == 8 ? L"\n\n*sonríe*" : L" palabra";
            }
            const auto start = Clock::now();
            run.ok = Frame() && run.ok;
            run.milliseconds.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            run.builtMax = std::max(run.builtMax, screen_->rowsBuilt);
            run.drawnMin = std::min(run.drawnMin, screen_->rowsDrawn);
            run.drawnMax = std::max(run.drawnMax, screen_->rowsDrawn);
        }
        if (streaming) {
            chat->messages.pop_back();
        }
    }

    size_t CachedRows() const { return screen_->rowLayouts.Size(); }

private:
    bool Frame() {
        time_ += FrameDt;
        ui_.BeginFrame(input_, time_, static_cast<float>(FrameDt));
        g_.BeginFrame();
        g_.Context()->Clear(D2D1::ColorF(0, 0, 0, 1));
        screen_->Draw(ui_, {Main::MainWindow::kRailWidth, Main::MainWindow::kTitleBarHeight,
                            Width - Main::MainWindow::kRailWidth, Height - Main::MainWindow::kTitleBarHeight});
        ui_.EndFrame();
        const bool drawn = SUCCEEDED(g_.EndDraw());
        g_.EndFrame();
        input_.ClearFrame();
        return surface_.Sync() && drawn;
    }

    Bench::OffscreenFrames& surface_;
    Graphics& g_;
    UI::Ui ui_;
    UI::Input input_;
    double time_ = 100;
    std::unique_ptr<Main::MainWindow> window_;
    Main::ChatScreen* screen_ = nullptr;
};

void Print(const char* name, const Run& run, const Run& base) {
    std::printf(
        "  %-34s mean %7.2f ms, p99 %7.2f ms, %zu rows laid out, %zu to %zu drawn, %.2f x the %d-message "
        "figure%s\n",
        name, run.Mean(), run.P99(), run.builtMax, run.drawnMin, run.drawnMax, run.Mean() / base.Mean(), ShortChat,
        run.ok ? "" : " (SOME FRAMES FAILED)");
}

}  // namespace

int main() {
    Bench::OffscreenFrames surface;
    if (!surface.Open(Width, Height)) {
        return 1;
    }
    const std::wstring root =
        Files::JoinPath(Files::TempDir(), L"lorvex-chat-bench-" + std::to_wstring(GetCurrentProcessId()));
    Files::RemoveTree(root);
    Paths::SetDataDirForTesting(root);
    if (!Async::Startup()) {
        std::printf("the dispatcher could not start\n");
        return 1;
    }
    Services::AppState& state = Services::AppState::Instance();
    state.Initialize();
    UI::Material::ApplyTheme();
    const double startMb = WorkingSetMb(false);

    auto ana = Character::Create();
    ana->name = L"Ana García";
    state.characters.push_back(ana);
    state.currentCharacter = ana;
    const std::shared_ptr<Chat> longChat = MakeChat(LongChat);
    const std::shared_ptr<Chat> shortChat = MakeChat(ShortChat);
    const double chatsMb = WorkingSetMb(false);

    std::printf("chat_bench: %d and %d messages, %dx%d off-screen, %d frames each\n", LongChat, ShortChat, Width,
                Height, Rounds * FramesPerRound);
    ChatFrames bench(surface);
    Run shortRest, longRest, shortScroll, longScroll, shortStream, longStream;
    for (int round = 0; round < Rounds; ++round) {
        bench.Measure(shortRest, shortChat, Mode::Rest);
        bench.Measure(longRest, longChat, Mode::Rest);
        bench.Measure(shortScroll, shortChat, Mode::Scroll);
        bench.Measure(longScroll, longChat, Mode::Scroll);
        bench.Measure(shortStream, shortChat, Mode::Stream);
        bench.Measure(longStream, longChat, Mode::Stream);
    }
    Print("at rest, 10 messages:", shortRest, shortRest);
    Print("at rest, 10,000 messages:", longRest, shortRest);
    Print("scrolling, 10 messages:", shortScroll, shortScroll);
    Print("scrolling, 10,000 messages:", longScroll, shortScroll);
    Print("streaming a reply, 10 messages:", shortStream, shortStream);
    Print("streaming a reply, 10,000 messages:", longStream, shortStream);
    std::printf("  measured rows kept after the runs: %zu\n", bench.CachedRows());
    std::printf(
        "  working set: %.1f MB at start, %.1f MB with both chats built, %.1f MB after the runs "
        "(peak %.1f MB)\n",
        startMb, chatsMb, WorkingSetMb(false), WorkingSetMb(true));

    const bool ok = shortRest.ok && longRest.ok && shortScroll.ok && longScroll.ok && shortStream.ok && longStream.ok;
    Services::AppState::ResetForTesting();
    Services::CloudSync::ResetForTesting();
    Async::Shutdown();
    Files::RemoveTree(root);
    return ok ? 0 : 1;
}
