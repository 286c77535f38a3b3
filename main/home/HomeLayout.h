#pragma once
// Where the home screen puts things in its content rectangle: the greeting panel, the toolbar
// row, the body below it, and the card grid, whose columns follow the width and whose rows can be
// skipped when they lie outside the visible part of the scrolled content. Pure geometry in DIPs,
// unscrolled content coordinates; any thread, nothing fails.

#include <cstddef>

#include "graphics/Types.h"

namespace Lorvex::Main::Home {

inline constexpr float kMargin = 28;  // around the content, left, right, top and bottom
inline constexpr float kHeroHeight = 176;
inline constexpr float kHeroStep = 206;  // hero top to toolbar top
inline constexpr float kToolbarHeight = 44;
inline constexpr float kToolbarStep = 64;  // toolbar top to body top
inline constexpr float kCardHeight = 214;
inline constexpr float kCardGap = 18;
inline constexpr float kRowPitch = kCardHeight + kCardGap;
inline constexpr float kMinColumnPitch = 300 + kCardGap;
// A card is drawn while its rectangle grown by this much reaches the visible area.
inline constexpr float kCardVisibleMargin = 40;

// The greeting panel of a screen with the given content rectangle.
Rect HeroRect(const Rect& content);
// Top of the toolbar row and of the body (the empty states or the grid).
float ToolbarTop(const Rect& content);
float BodyTop(const Rect& content);

struct CardGrid {
    float left = 0;
    float top = 0;
    size_t columns = 1;
    float cardWidth = 0;
};

// The grid from (left, top) across width: as many columns of at least 300 DIPs and 18 apart as
// fit, at least one, sharing the width.
CardGrid GridFor(float left, float top, float width);
// The grid of a screen with the given content rectangle.
CardGrid GridFor(const Rect& content);
Rect CardRect(const CardGrid& grid, size_t index);
// The height the rows of count cards take, gaps included.
float GridHeight(const CardGrid& grid, size_t count);

// The cards [first, end) whose rows may show between visibleTop and visibleBottom (content
// coordinates) with the visible margin; empty (first == end) when none does.
struct CardSpan {
    size_t first = 0;
    size_t end = 0;
};
CardSpan CardsShown(const CardGrid& grid, size_t count, float visibleTop, float visibleBottom);

}  // namespace Lorvex::Main::Home
