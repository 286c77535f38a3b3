#pragma once
// One screen of the main window drawn off-screen frame after frame, as the window draws it: a Ui
// of its own over the benchmark's surface, a clock of 60 frames a second, the screen in the
// window's content area, each frame read back so its time includes the rasterising; and the
// frame times of a run with their mean and 99th percentile. Main thread only; a frame that could
// not be drawn or read back marks its run.

#include <algorithm>
#include <chrono>
#include <numeric>
#include <vector>

#include "bench/OffscreenFrames.h"
#include "main/MainWindow.h"
#include "main/Screen.h"
#include "ui/Input.h"
#include "ui/Ui.h"

namespace Lorvex::Bench {

struct FrameTimes {
    std::vector<double> milliseconds;
    bool ok = true;  // every frame was drawn and read back

    double Mean() const { return std::accumulate(milliseconds.begin(), milliseconds.end(), 0.0) / milliseconds.size(); }
    double P99() const {
        std::vector<double> sorted = milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted[std::min(sorted.size() - 1, static_cast<size_t>(sorted.size() * 0.99))];
    }
};

class ScreenFrames {
public:
    static constexpr double kFrameDt = 1.0 / 60;

    explicit ScreenFrames(OffscreenFrames& surface) : ui(surface.graphics), surface_(surface) {}

    // One frame of the screen; false when it could not be drawn or read back.
    bool Frame(Main::Screen& screen) {
        Graphics& g = surface_.graphics;
        time += kFrameDt;
        ui.BeginFrame(input, time, static_cast<float>(kFrameDt));
        g.BeginFrame();
        g.Context()->Clear(D2D1::ColorF(0, 0, 0, 1));
        screen.Draw(ui, {Main::MainWindow::kRailWidth, Main::MainWindow::kTitleBarHeight,
                         g.Width() - Main::MainWindow::kRailWidth, g.Height() - Main::MainWindow::kTitleBarHeight});
        ui.EndFrame();
        const bool drawn = SUCCEEDED(g.EndDraw());
        g.EndFrame();
        input.ClearFrame();
        return surface_.Sync() && drawn;
    }

    // One frame, its time added to times.
    void Timed(Main::Screen& screen, FrameTimes& times) {
        const auto start = std::chrono::steady_clock::now();
        times.ok = Frame(screen) && times.ok;
        times.milliseconds.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }

    UI::Ui ui;
    UI::Input input;  // what the next frame reads; cleared after each frame
    double time = 100;

private:
    OffscreenFrames& surface_;
};

}  // namespace Lorvex::Bench
