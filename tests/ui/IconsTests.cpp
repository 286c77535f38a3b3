// The built-in icons: their numbering, their shapes read through the path reader, the geometry
// cache, and where an icon lands in a rect, read back from an off-screen surface.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/GfxOffscreen.h"
#include "ui/Icons.h"

namespace Lorvex::UI::Material {
namespace {

using Testing::Offscreen;

// Screens name icons by number, so each enumerator must keep its place.
TEST(Icons, EnumeratorsKeepTheirNumbers) {
    using enum Icon;
    struct Row {
        int32_t first;
        std::vector<Icon> icons;
    };
    const Row rows[] = {
        {0, {Person, PersonCircle, PersonEdit, PersonGroup, PersonHeart, People, PersonAdd}},
        {7, {AlertCircle, Warning, ArrowDown, ArrowLeft, ArrowRight}},
        {12, {MagicWand, BookOpen, Brain, Block, Chat, ChatOutline, ChatAdd, ChatTyping}},
        {20,
         {Check, CheckboxBlank, CheckboxChecked, CheckCircle, ChevronDown, ChevronLeft, ChevronRight, ChevronUp,
          Close}},
        {29, {Cloud, CloudAlert, CloudCheck, CloudOff, CloudOutline, CloudSync}},
        {35, {Settings, Copy, Save, Sparkles, Delete, DeleteSweep, DotsHorizontal, DotsVertical, Download}},
        {44, {TheaterMasks, Email, Eye, EyeOff, Fire, FolderOpen, Forum, Hand, Heart}},
        {53, {History, Home, ImageAdd, InfoCircle, InfoOutline, Lightbulb, Lock, Login, Logout}},
        {62, {Search, MapMarker, CaretDown, MessageForward, Message, MessageText, Minus, Palette, Pause}},
        {71, {Pencil, PencilOutline, Play, Plus, PlusCircle, Refresh, Restore, Robot, Rocket}},
        {80, {Send, SparklesAlt, Star, Stop, Swap, TextBoxEdit, Translate, Tune, Update}},
        {89, {Moon, Sun, WindowMaximize, WindowMinimize, WindowRestore}},
    };
    int32_t next = 0;
    for (const Row& row : rows) {
        ASSERT_EQ(row.first, next);
        for (const Icon icon : row.icons) {
            EXPECT_EQ(static_cast<int32_t>(icon), next) << "row from " << row.first;
            ++next;
        }
    }
    EXPECT_EQ(next, kIconCount);
}

// Shapes that other code depends on exactly, whatever the icon set's later releases draw.
TEST(Icons, PinnedShapesHaveTheirExactText) {
    const std::pair<Icon, std::string_view> pinned[] = {
        {Icon::Check, "M21,7L9,19L3.5,13.5L4.91,12.09L9,16.17L19.59,5.59L21,7Z"},
        {Icon::ChevronDown, "M7.41,8.58L12,13.17L16.59,8.58L18,10L12,16L6,10L7.41,8.58Z"},
        {Icon::Close,
         "M19,6.41L17.59,5L12,10.59L6.41,5L5,6.41L10.59,12L5,17.59L6.41,19L12,13.41L17.59,19L19,17.59L13.41,12L19,6."
         "41Z"},
        {Icon::Plus, "M19,13H13V19H11V13H5V11H11V5H13V11H19V13Z"},
        {Icon::Send, "M2,21L23,12L2,3V10L17,12L2,14V21Z"},
        {Icon::Stop, "M18,18H6V6H18V18Z"},
        {Icon::WindowMinimize, "M20,14H4V10H20"},
        {Icon::WindowMaximize, "M4,4H20V20H4V4M6,8V18H18V8H6Z"},
    };
    for (const auto& [icon, text] : pinned) {
        EXPECT_EQ(PathData(icon), text) << static_cast<int>(icon);
    }
    EXPECT_EQ(PathData(Icon::Sparkles), PathData(Icon::SparklesAlt));
}

// Every shape is read to its end by the path reader: as many figures as the text has moves (a
// reader that stopped early loses the later ones), within the 24 x 24 box, not empty.
TEST(Icons, EveryShapeReadsWhollyIntoTheBox) {
    ASSERT_TRUE(Testing::GraphicsReady());
    for (int32_t i = 0; i < kIconCount; ++i) {
        const auto icon = static_cast<Icon>(i);
        const std::string_view text = PathData(icon);
        ASSERT_FALSE(text.empty()) << i;
        ID2D1PathGeometry* geometry = IconGeometry(icon);
        ASSERT_NE(geometry, nullptr) << i;

        UINT32 figures = 0;
        ASSERT_TRUE(SUCCEEDED(geometry->GetFigureCount(&figures))) << i;
        EXPECT_EQ(figures, static_cast<UINT32>(std::count(text.begin(), text.end(), 'M'))) << i;

        D2D1_RECT_F bounds = {};
        ASSERT_TRUE(SUCCEEDED(geometry->GetBounds(nullptr, &bounds))) << i;
        EXPECT_LT(bounds.left, bounds.right) << i;
        EXPECT_LT(bounds.top, bounds.bottom) << i;
        EXPECT_GE(bounds.left, -0.01f) << i;
        EXPECT_GE(bounds.top, -0.01f) << i;
        EXPECT_LE(bounds.right, 24.01f) << i;
        EXPECT_LE(bounds.bottom, 24.01f) << i;
    }
}

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;

TEST(Icons, ValuesOutsideTheEnumerationDrawNothing) {
    Offscreen surface(32, 32);
    ASSERT_TRUE(surface.Ready());
    for (const int32_t value : {kIconCount, -1}) {
        const auto icon = static_cast<Icon>(value);
        EXPECT_TRUE(PathData(icon).empty()) << value;
        EXPECT_EQ(IconGeometry(icon), nullptr) << value;
        surface.Begin();
        DrawIcon(surface.graphics, icon, {0, 0, 32, 32}, {0, 0, 0, 1});
        EXPECT_EQ(surface.graphics.TransformDepth(), 0u);
        ASSERT_TRUE(surface.End());
        const auto pixels = surface.Pixels();
        ASSERT_FALSE(pixels.empty());
        EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == kWhite; })) << value;
    }
}

// Stop is the square 6..18 of its box. In a 20 x 40 rect at (10, 10) the box becomes 20 x 20,
// centred vertically: it spans y 20..40, and the square x 15..25, y 25..35. Drawn in two
// surfaces, the geometry is made once.
TEST(Icons, IconFitsTheRectCentredAndIsMadeOnceForTwoSurfaces) {
    Offscreen first(40, 60);
    Offscreen second(40, 60);
    ASSERT_TRUE(first.Ready());
    ASSERT_TRUE(second.Ready());
    const size_t madeBefore = IconGeometriesMade();
    size_t madeAfterFirst = 0;
    ID2D1PathGeometry* geometry = nullptr;

    for (Offscreen* surface : {&first, &second}) {
        surface->Begin();
        DrawIcon(surface->graphics, Icon::Stop, {10, 10, 20, 40}, {0, 0, 0, 1});
        EXPECT_EQ(surface->graphics.TransformDepth(), 0u);
        ASSERT_TRUE(surface->End());
        if (!geometry) {
            madeAfterFirst = IconGeometriesMade();
            geometry = IconGeometry(Icon::Stop);
        }

        const auto pixels = surface->Pixels();
        ASSERT_FALSE(pixels.empty());
        struct Probe {
            int x, y;
            uint32_t expected;
        };
        const Probe probes[] = {
            {15, 25, kBlack},
            {24, 25, kBlack},
            {15, 34, kBlack},
            {24, 34, kBlack},
            {20, 30, kBlack},
            {14, 30, kWhite},
            {25, 30, kWhite},
            {20, 24, kWhite},
            {20, 35, kWhite},
            // where a top-aligned or stretched icon would have put the square
            {20, 16, kWhite},
            {20, 38, kWhite},
        };
        for (const Probe& probe : probes) {
            EXPECT_EQ(surface->At(pixels, probe.x, probe.y), probe.expected) << probe.x << ", " << probe.y;
        }
    }
    // Another test may have made it already.
    EXPECT_LE(madeAfterFirst - madeBefore, 1u);
    EXPECT_EQ(IconGeometriesMade(), madeAfterFirst);
    EXPECT_EQ(IconGeometry(Icon::Stop), geometry);
}

// A geometry serves only contexts of the factory that made it (Windows fails the frame with
// D2DERR_WRONG_FACTORY). After a lost device is rebuilt with a new factory, an icon must come
// from the new one, or every frame that draws an icon fails from then on.
TEST(Icons, RebuiltDeviceGetsGeometriesOfItsOwnFactory) {
    ASSERT_TRUE(Testing::GraphicsReady());
    const auto factoryOf = [](ID2D1PathGeometry* geometry) {
        ComPtr<ID2D1Factory> factory;
        if (geometry) {
            geometry->GetFactory(factory.Put());
        }
        return factory;
    };
    const auto current = [] { return static_cast<ID2D1Factory*>(Graphics::Device::Instance().d2dFactory.Get()); };
    ASSERT_EQ(factoryOf(IconGeometry(Icon::Check)).Get(), current());

    Graphics::Device::Release();
    // No factory at all: nothing to draw with, and nothing remembered as a failure either.
    EXPECT_EQ(IconGeometry(Icon::Close), nullptr);
    ASSERT_TRUE(Graphics::Device::Initialize());
    for (const Icon icon : {Icon::Check, Icon::Close}) {
        ID2D1PathGeometry* geometry = IconGeometry(icon);
        ASSERT_NE(geometry, nullptr) << static_cast<int>(icon);
        EXPECT_EQ(factoryOf(geometry).Get(), current()) << static_cast<int>(icon);
    }

    Offscreen surface(40, 40);
    ASSERT_TRUE(surface.Ready());
    surface.Begin();
    DrawIcon(surface.graphics, Icon::Stop, {0, 0, 24, 24}, {0, 0, 0, 1});
    ASSERT_TRUE(surface.End());
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    EXPECT_EQ(surface.At(pixels, 12, 12), kBlack);
}

// A negative height would flip the icon into view above the rect.
TEST(Icons, RectWithoutAreaDrawsNothing) {
    Offscreen surface(32, 32);
    ASSERT_TRUE(surface.Ready());
    surface.Begin();
    DrawIcon(surface.graphics, Icon::Stop, {0, 32, 16, -16}, {0, 0, 0, 1});
    DrawIcon(surface.graphics, Icon::Stop, {0, 0, 0, 32}, {0, 0, 0, 1});
    ASSERT_TRUE(surface.End());
    const auto pixels = surface.Pixels();
    ASSERT_FALSE(pixels.empty());
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint32_t p) { return p == kWhite; }));
}

}  // namespace
}  // namespace Lorvex::UI::Material
