// Ui::TextEdit on a real off-screen surface, where text layouts give carets and hit tests: the
// pointer places the caret and a double-click selects a word, the selection and the caret show in
// their colours, and a picture of a few editors is saved as text-editor.png beside the test
// program to be looked at.

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <utility>

#include "graphics/Images.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/ui/UiHarness.h"
#include "ui/TextEditor.h"
#include "ui/TextFieldStyle.h"
#include "ui/Ui.h"

namespace Lorvex::UI {
namespace {

using Testing::Offscreen;

const uint64_t kEditor = MakeIdFromText("draw-editor");

Material::TextFieldStyle LightStyle() {
    Material::TextFieldStyle style;
    style.textStyle.size = 16;
    style.textStyle.font = Graphics::FontSlot::Ui;
    style.textColor = {0.1f, 0.1f, 0.15f, 1};
    style.backgroundColor = {0.97f, 0.97f, 1, 1};
    style.borderColor = {0.6f, 0.6f, 0.7f, 1};
    style.caretColor = {0.8f, 0, 0, 1};
    style.selectionColor = {0, 0.3f, 1, 0.35f};
    style.placeholderColor = {0.55f, 0.55f, 0.6f, 1};
    style.cornerRadius = 4;
    return style;
}

// A surface with its Ui; Frame runs one frame of the draw function on both.
struct Bench {
    Bench(int width, int height) : surface(width, height) {}
    void Frame(const std::function<void()>& draw) {
        surface.Begin();
        h.Frame(draw);
        surface.End();
    }

    Offscreen surface;
    Testing::UiHarness h{surface.graphics};
};

TEST(TextEditDraw, PointerPlacesTheCaretAndDoubleClickSelectsAWord) {
    Bench bench(400, 80);
    if (!bench.surface.Ready()) {
        GTEST_SKIP() << "no graphics device";
    }
    const Rect rect = {10, 10, 380, 36};
    std::wstring text = L"uno dos_tres cuatro";
    const Material::TextFieldStyle style = LightStyle();
    const auto draw = [&] { bench.h.ui.TextEdit(kEditor, rect, text, style); };
    EditState& state = bench.h.ui.State<EditState>(kEditor);

    // Where "dos_tres" sits, from the layout itself.
    float startX = 0;
    float endX = 0;
    TextStyle measure = style.textStyle;
    measure.valign = VerticalAlign::Top;
    measure.wrap = false;
    bench.surface.graphics.CaretPosition(text, measure, 100000, 4, &startX, nullptr, nullptr);
    bench.surface.graphics.CaretPosition(text, measure, 100000, 12, &endX, nullptr, nullptr);
    ASSERT_GT(endX, startX);
    const float innerX = rect.x + 1 + style.paddingLeft;

    bench.h.MoveTo(innerX + startX + (endX - startX) * 0.4f, 28);
    bench.Frame(draw);  // hover is claimed
    bench.h.Press();
    bench.Frame(draw);
    EXPECT_EQ(bench.h.ui.focus, kEditor);
    EXPECT_GT(state.caret, 4);
    EXPECT_LT(state.caret, 12);
    EXPECT_EQ(state.anchor, state.caret);

    bench.h.Release();
    bench.Frame(draw);
    bench.h.Press();
    bench.h.input.doubleClicked = true;
    bench.Frame(draw);
    EXPECT_EQ(state.anchor, 4);
    EXPECT_EQ(state.caret, 12);

    // A double-click selects without starting a drag; a press does, and dragging to the far right
    // moves the caret to the end while the anchor stays.
    bench.h.Release();
    bench.Frame(draw);
    EXPECT_FALSE(state.selecting);
    bench.h.Press();
    bench.Frame(draw);
    const int32_t pressedAt = state.caret;
    bench.h.MoveTo(380, 28);
    bench.Frame(draw);
    EXPECT_EQ(state.caret, static_cast<int32_t>(text.size()));
    EXPECT_EQ(state.anchor, pressedAt);
}

TEST(TextEditDraw, ScrollingFollowsTheCaretAndTheWheel) {
    Bench bench(300, 200);
    if (!bench.surface.Ready()) {
        GTEST_SKIP() << "no graphics device";
    }
    // Single-line: the caret at the end of a long text stays 2 DIPs inside the right edge.
    std::wstring line(80, L'm');
    Material::TextFieldStyle style = LightStyle();
    const Rect lineRect = {10, 10, 200, 36};
    const float innerWidth = lineRect.w - 2 - style.paddingLeft - style.paddingRight;
    bench.h.ui.focus = kEditor;
    bench.h.ui.State<EditState>(kEditor) = {80, 80};
    bench.Frame([&] { bench.h.ui.TextEdit(kEditor, lineRect, line, style); });
    float caretX = 0;
    TextStyle measure = style.textStyle;
    measure.valign = VerticalAlign::Top;
    measure.wrap = false;
    bench.surface.graphics.CaretPosition(line, measure, 100000, 80, &caretX, nullptr, nullptr);
    EXPECT_NEAR(bench.h.ui.State<EditState>(kEditor).scroll, caretX - innerWidth + 2, 0.01f);

    // A text that shrinks (replaced by the caller, or typed over a whole selection) scrolls back to
    // its start instead of staying pushed out past the left edge.
    line = L"mm";
    bench.Frame([&] { bench.h.ui.TextEdit(kEditor, lineRect, line, style); });
    EXPECT_EQ(bench.h.ui.State<EditState>(kEditor).scroll, 0.0f);
    line.assign(80, L'm');
    bench.h.ui.State<EditState>(kEditor) = {80, 80};
    bench.Frame([&] { bench.h.ui.TextEdit(kEditor, lineRect, line, style); });
    bench.h.input.keys.push_back({'A', true, false, false, false, true});
    bench.Frame([&] { bench.h.ui.TextEdit(kEditor, lineRect, line, style); });
    bench.h.input.text = L"ab";
    bench.Frame([&] { bench.h.ui.TextEdit(kEditor, lineRect, line, style); });
    EXPECT_EQ(line, L"ab");
    EXPECT_EQ(bench.h.ui.State<EditState>(kEditor).scroll, 0.0f);

    // Multi-line: the caret on the last line is scrolled into view; the wheel then scrolls it out
    // of view and is consumed, and the caret is not followed again until something changes.
    const uint64_t multiId = MakeIdFromText("draw-scroll");
    std::wstring text;
    for (int i = 0; i < 30; ++i) {
        text += L"linea " + std::to_wstring(i) + L"\n";
    }
    Material::TextFieldStyle multiStyle = LightStyle();
    multiStyle.multiLine = true;
    const Rect rect = {10, 60, 200, 100};
    const auto draw = [&] { bench.h.ui.TextEdit(multiId, rect, text, multiStyle); };
    EditState& state = bench.h.ui.State<EditState>(multiId);
    bench.h.ui.focus = multiId;
    state = {static_cast<int32_t>(text.size()), static_cast<int32_t>(text.size())};
    bench.h.MoveTo(100, 100);
    bench.Frame(draw);
    const float bottom = state.scroll;
    EXPECT_GT(bottom, 100.0f);
    bench.Frame(draw);  // now hovered
    bench.h.input.wheel = 120;
    float wheelLeft = -1;
    bench.Frame([&] {
        draw();
        wheelLeft = bench.h.input.wheel;
    });
    EXPECT_FLOAT_EQ(state.scroll, bottom - 32);
    EXPECT_EQ(wheelLeft, 0.0f);
    bench.Frame(draw);
    EXPECT_FLOAT_EQ(state.scroll, bottom - 32);
}

TEST(TextEditDraw, DrawsSelectionAndCaretAndSavesAPicture) {
    Bench bench(420, 260);
    if (!bench.surface.Ready()) {
        GTEST_SKIP() << "no graphics device";
    }
    std::wstring single = L"Hola, ¿qué tal? \U0001F600 texto seleccionado";
    std::wstring multi =
        L"Primera línea del mensaje\nsegunda línea, más larga, que se parte al llegar al borde del "
        L"campo\n\núltima";
    std::wstring password = L"secreto";
    std::wstring empty;
    const uint64_t multiId = MakeIdFromText("draw-multi");
    const uint64_t passwordId = MakeIdFromText("draw-password");
    const uint64_t emptyId = MakeIdFromText("draw-empty");
    Material::TextFieldStyle style = LightStyle();
    Material::TextFieldStyle multiStyle = LightStyle();
    multiStyle.multiLine = true;
    multiStyle.textStyle.size = 14;
    Material::TextFieldStyle passwordStyle = LightStyle();
    passwordStyle.password = true;
    Material::TextFieldStyle emptyStyle = LightStyle();
    emptyStyle.placeholder = L"Escribe tu nombre";
    const Rect singleRect = {10, 10, 400, 36};
    const Rect multiRect = {10, 56, 400, 100};
    const Rect passwordRect = {10, 166, 195, 36};
    const Rect emptyRect = {215, 166, 195, 36};

    // The single-line editor with a selection of its last word, then the multi-line one focused
    // with a selection over three lines.
    bench.h.ui.focus = kEditor;
    bench.h.ui.State<EditState>(kEditor) = {static_cast<int32_t>(single.size()),
                                            static_cast<int32_t>(single.size() - 12)};
    const auto drawAll = [&] {
        bench.h.ui.TextEdit(kEditor, singleRect, single, style);
        bench.h.ui.TextEdit(multiId, multiRect, multi, multiStyle);
        bench.h.ui.TextEdit(passwordId, passwordRect, password, passwordStyle);
        bench.h.ui.TextEdit(emptyId, emptyRect, empty, emptyStyle);
    };
    bench.h.ui.caretTime = bench.h.now;
    bench.Frame(drawAll);
    std::vector<uint32_t> selectionPixels = bench.surface.Pixels();

    bench.h.ui.focus = multiId;
    bench.h.ui.State<EditState>(multiId) = {90, 12};
    bench.h.ui.caretTime = bench.h.now;
    bench.Frame(drawAll);
    const std::vector<uint32_t> pixels = bench.surface.Pixels();
    ASSERT_EQ(pixels.size(), 420u * 260u);

    // The selection tints the single-line field blue while it is focused; the caret is red.
    const auto count = [&](const std::vector<uint32_t>& image, const Rect& r, auto&& test) {
        int n = 0;
        for (int y = static_cast<int>(r.y); y < static_cast<int>(r.y + r.h); ++y) {
            for (int x = static_cast<int>(r.x); x < static_cast<int>(r.x + r.w); ++x) {
                n += test(image[static_cast<size_t>(y) * 420 + static_cast<size_t>(x)]) ? 1 : 0;
            }
        }
        return n;
    };
    const auto bluish = [](uint32_t p) { return Testing::Blue(p) > Testing::Red(p) + 60; };
    const auto reddish = [](uint32_t p) { return Testing::Red(p) > 150 && Testing::Green(p) < 80; };
    EXPECT_GT(count(selectionPixels, singleRect, bluish), 100);
    EXPECT_EQ(count(pixels, singleRect, bluish), 0);  // not focused any more
    // Inside the outline only: the focused outline is drawn in the caret colour too.
    const Rect insideMulti = {multiRect.x + 2, multiRect.y + 2, multiRect.w - 4, multiRect.h - 4};
    EXPECT_GT(count(pixels, insideMulti, reddish), 10);

    const std::string png = Images::Encode(420, 260, pixels, true, 1);
    ASSERT_FALSE(png.empty());
    std::ofstream("text-editor.png", std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
    const std::string selectionPng = Images::Encode(420, 260, selectionPixels, true, 1);
    std::ofstream("text-editor-selection.png", std::ios::binary)
        .write(selectionPng.data(), static_cast<std::streamsize>(selectionPng.size()));

    // The caret blinks from the last caret change at the system's rate: shown for the blink time,
    // then hidden as long (Windows' default 0.53 s). Where the system says it does not blink it
    // stays shown and asks for no frames.
    struct Moment {
        double blink;
        double since;
        bool shown;
    };
    const Moment moments[] = {{0.53, 0.5, true},  {0.53, 0.6, false}, {0.53, 1.0, false}, {0.53, 1.1, true},
                              {0.25, 0.2, true},  {0.25, 0.3, false}, {0.25, 0.55, true}, {1.2, 1.1, true},
                              {1.2, 1.3, false},  {0, 0.6, true},     {0, 5.3, true}};
    for (const Moment& moment : moments) {
        SCOPED_TRACE(testing::Message() << moment.blink << " s blink, " << moment.since << " s after");
        bench.h.ui.caretBlink = moment.blink;
        bench.h.ui.caretTime = bench.h.now + Testing::UiHarness::kFrameDt - moment.since;
        bench.Frame(drawAll);
        EXPECT_EQ(count(bench.surface.Pixels(), insideMulti, reddish) > 10, moment.shown);
        EXPECT_EQ(bench.h.ui.ambient, moment.blink > 0);
    }
}

}  // namespace
}  // namespace Lorvex::UI
