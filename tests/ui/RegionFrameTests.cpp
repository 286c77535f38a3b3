// Frames that only ambient loops ask for: a real window (an X display under Wine) redraws and
// presents just the loops' region, and what it shows is what a whole frame of the same moment
// shows; anything else makes the frame whole again.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/Async.h"
#include "graphics/Graphics.h"
#include "tests/support/GfxOffscreen.h"
#include "ui/Window.h"

namespace Lorvex::UI {
namespace {

// A drifting disc clipped to a rounded panel (and its bounds, as a mask has no effect under Wine),
// as the backdrop draws it, with a label across the
// panel's edge; and a square elsewhere whose colour the test changes without asking for a frame.
class AmbientWindow : public Window {
public:
    void Draw() override {
        Graphics& g = *ui.graphics;
        g.FillRect({0, 0, 400, 300}, {0.1f, 0.12f, 0.2f, 1});
        ui.RequestAmbientFrames(kPanel);
        g.PushAxisClip(kPanel);
        g.PushRoundClip(kPanel, 12);
        const float t = static_cast<float>(ui.AmbientTime());
        g.FillEllipseRadial(kPanel.x + 40 + 30 * std::sin(t * 3), kPanel.y + 40, 70, 70,
                            {{0, {1, 0.3f, 0.5f, 0.9f}}, {1, {1, 0.3f, 0.5f, 0}}}, 1);
        g.PopLayer();
        g.PopAxisClip();
        TextStyle style;
        style.size = 14;
        g.DrawText(L"Hola, ¿qué tal?", {kPanel.x + kPanel.w - 40, kPanel.y + 20, 120, 24}, {1, 1, 1, 1}, style);
        g.FillRect(kSquare, square);
    }

    static constexpr Rect kPanel = {50, 40, 160, 100};
    static constexpr Rect kSquare = {260, 170, 60, 60};
    Color square = {0, 0.8f, 0, 1};
};

class RegionFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Testing::GraphicsReady());
        ASSERT_TRUE(Async::Startup());
        Window::SetPacingSeamsForTesting({[this] { return now; }, [] { return 1.0 / 60; }, [] { return true; }});
        Window::Options options;
        options.title = L"test";
        options.width = 400;
        options.height = 300;
        ASSERT_TRUE(window.Create(options));
        window.onDrawn = [this] { pixels = window.graphics.ReadPixels(); };
    }
    void TearDown() override {
        Window::SetPacingSeamsForTesting({});
        Window::SetRegionFrames(true);
        Async::Shutdown();
    }

    void Frame(double dt = 1.0 / 60) {
        now += dt;
        window.Frame();
    }
    void Frames(int count) {
        for (int i = 0; i < count; ++i) {
            Frame();
        }
    }

    uint32_t At(const std::vector<uint32_t>& frame, float x, float y) const {
        return frame.at(static_cast<size_t>(y) * window.graphics.PixelWidth() + static_cast<size_t>(x));
    }

    PixelRect Whole() const { return {0, 0, window.graphics.PixelWidth(), window.graphics.PixelHeight()}; }
    PixelRect PanelPixels() const {
        return PixelRect::Covering(AmbientWindow::kPanel, window.graphics.Dpi(), window.graphics.PixelWidth(),
                                   window.graphics.PixelHeight());
    }

    double now = 100;
    AmbientWindow window;
    std::vector<uint32_t> pixels;
};

bool Same(const PixelRect& a, const PixelRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(RegionFrameTest, AnAmbientFramePresentsOnlyItsRegionAndMatchesAWholeFrame) {
    const uint32_t green = 0xFF00CC00;
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, Whole()));
    ASSERT_GE(window.NextFrameDelay(), 0.0) << "an ambient loop asks for the animation rate";
    // The first frame after a whole one redraws the whole buffer (the swap chain's other buffer
    // holds nothing of it); from then on only the panel.
    Frame();
    for (int i = 0; i < 4; ++i) {
        Frame();
        ASSERT_TRUE(Same(window.lastPresented, PanelPixels())) << "frame " << i;
    }
    const PixelRect region = PanelPixels();
    EXPECT_LT(region.Area(), Whole().Area() / 4);

    // Two whole frames that change the square: the buffer the next frame gets back may still
    // hold the older one, so that frame is whole again.
    window.square = {0, 0, 1, 1};
    window.dirty = true;
    Frame();
    window.square = {0, 0.8f, 0, 1};
    window.dirty = true;
    Frame();
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    EXPECT_EQ(At(pixels, 290, 200), green);
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, region));
    EXPECT_EQ(At(pixels, 290, 200), green);

    // Nothing outside the region is drawn: the square keeps the colour of the last whole frame,
    // in this frame's buffer too.
    window.square = {0, 0, 1, 1};
    Frame();
    ASSERT_TRUE(Same(window.lastPresented, region));
    const std::vector<uint32_t> regionFrame = pixels;
    ASSERT_EQ(regionFrame.size(), static_cast<size_t>(Whole().Area()));
    EXPECT_EQ(At(regionFrame, 290, 200), green);

    // The same moment drawn whole, with the square as the whole frames drew it: every pixel is
    // the same, inside the region and out.
    window.square = {0, 0.8f, 0, 1};
    window.dirty = true;
    Frame(0);
    ASSERT_TRUE(Same(window.lastPresented, Whole()));
    ASSERT_EQ(pixels.size(), regionFrame.size());
    size_t differ = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
        differ += pixels[i] != regionFrame[i] ? 1 : 0;
    }
    EXPECT_EQ(differ, 0u);
}

TEST_F(RegionFrameTest, AnyInputOrOtherRequestMakesTheNextFrameWhole) {
    Frames(4);
    ASSERT_TRUE(Same(window.lastPresented, PanelPixels()));

    // A pointer move over nothing: the move's frame and its follow-up are whole, then the panel
    // alone again.
    SendMessageW(window.hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(300, 20));
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    Frames(3);
    EXPECT_TRUE(Same(window.lastPresented, PanelPixels()));

    // A key, a redraw request, another animation: each frame after one is whole.
    SendMessageW(window.hwnd, WM_KEYDOWN, 'A', 0);
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    Frames(3);
    window.ui.redraw = true;
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
    Frames(3);
    window.ui.animating = true;
    Frame();
    EXPECT_TRUE(Same(window.lastPresented, Whole()));

    // Switched off, every frame is whole.
    Frames(3);
    Window::SetRegionFrames(false);
    Frames(2);
    EXPECT_TRUE(Same(window.lastPresented, Whole()));
}

TEST_F(RegionFrameTest, WithTheLoopsHeldTheWindowRests) {
    window.ui.ambientHeld = true;
    Frames(2);
    EXPECT_LT(window.NextFrameDelay(), 0.0);
}

}  // namespace
}  // namespace Lorvex::UI
