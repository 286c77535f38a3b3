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
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchRandom.h"
#include "bench/HeavyDataFolder.h"
#include "bench/OffscreenFrames.h"
#include "bench/ScreenFrames.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "ui/Input.h"
#include "ui/Theme.h"

namespace {

using namespace Lorvex;

constexpr int Width = 1320;
constexpr int Height = 860;
constexpr int Rounds = 4;
constexpr int FramesPerRound = 60;
constexpr int EntranceFrames = 60;
constexpr float WheelPerFrame = 40;  // a third of a notch: 24 DIP at the list's 72 per notch
constexpr int FramesPerTurn = 10;
constexpr int LongChat = 10000;
constexpr int ShortChat = 10;

enum class Mode { Rest, Scroll, Stream };

struct Run {
    Bench::FrameTimes times;
    size_t builtMax = 0;
    size_t drawnMin = SIZE_MAX;
    size_t drawnMax = 0;
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
    explicit ChatFrames(Bench::OffscreenFrames& surface) : frames_(surface) {
        window_ = std::make_unique<Main::MainWindow>();
        screen_ = window_->chatScreen.get();
        // The pointer rests over the middle of the message list, so the wheel reaches it.
        frames_.input.x = Width / 2.0f + 200;
        frames_.input.y = Height / 2.0f;
        frames_.input.inside = true;
    }

    // Opens the chat at its newest message, lets the rows enter, then measures one round.
    void Measure(Run& run, const std::shared_ptr<Chat>& chat, Mode mode) {
        Services::AppState::Instance().currentChat = chat;
        for (int frame = 0; frame < EntranceFrames; ++frame) {
            frames_.Frame(*screen_);
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
                frames_.input.wheel = frame / FramesPerTurn % 2 == 0 ? WheelPerFrame : -WheelPerFrame;
            } else if (streaming) {
                streaming->content += frame % 9 == 8 ? L"\n\n*sonríe*" : L" palabra";
            }
            frames_.Timed(*screen_, run.times);
            run.builtMax = std::max(run.builtMax, screen_->rowsBuilt);
            run.drawnMin = std::min(run.drawnMin, screen_->rowsDrawn);
            run.drawnMax = std::max(run.drawnMax, screen_->rowsDrawn);
        }
        if (streaming) {
            chat->messages.pop_back();
        }
    }

    size_t CachedRows() const { return screen_->rowLayouts.Size(); }
    Graphics::CacheCounts Counts() const { return frames_.ui.graphics->Counts(); }

private:
    Bench::ScreenFrames frames_;
    std::unique_ptr<Main::MainWindow> window_;
    Main::ChatScreen* screen_ = nullptr;
};

void Print(const char* name, const Run& run, const Run& base) {
    std::printf(
        "  %-34s mean %7.2f ms, p99 %7.2f ms, %zu rows laid out, %zu to %zu drawn, %.2f x the %d-message "
        "figure%s\n",
        name, run.times.Mean(), run.times.P99(), run.builtMax, run.drawnMin, run.drawnMax,
        run.times.Mean() / base.times.Mean(), ShortChat, run.times.ok ? "" : " (SOME FRAMES FAILED)");
}

}  // namespace

int main() {
    Bench::OffscreenFrames surface;
    if (!surface.Open(Width, Height)) {
        return 1;
    }
    const std::wstring root = Bench::UseFreshDataFolder(L"chat");
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
    struct Turn {
        Run* run;
        const std::shared_ptr<Chat>* chat;
        Mode mode;
        const char* name;
    };
    const Turn turns[] = {
        {&shortRest, &shortChat, Mode::Rest, "10 at rest"},
        {&longRest, &longChat, Mode::Rest, "10,000 at rest"},
        {&shortScroll, &shortChat, Mode::Scroll, "10 scrolling"},
        {&longScroll, &longChat, Mode::Scroll, "10,000 scrolling"},
        {&shortStream, &shortChat, Mode::Stream, "10 streaming"},
        {&longStream, &longChat, Mode::Stream, "10,000 streaming"},
    };
    for (int round = 0; round < Rounds; ++round) {
        std::printf("  working set after round %d:", round + 1);
        for (const Turn& turn : turns) {
            bench.Measure(*turn.run, *turn.chat, turn.mode);
            std::printf(" %s %.1f MB;", turn.name, WorkingSetMb(false));
        }
        const Graphics::CacheCounts counts = bench.Counts();
        std::printf(" cached: %zu text layouts, %zu rich text layouts, %zu glows\n", counts.textLayouts,
                    counts.richTextLayouts, counts.glows);
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

    bool ok = true;
    for (const Run* run : {&shortRest, &longRest, &shortScroll, &longScroll, &shortStream, &longStream}) {
        ok = ok && run->times.ok;
    }
    Services::AppState::ResetForTesting();
    Services::CloudSync::ResetForTesting();
    Async::Shutdown();
    Files::RemoveTree(root);
    return ok ? 0 : 1;
}
