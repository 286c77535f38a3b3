#include "main/home/HomeLayout.h"

#include <algorithm>
#include <cmath>

namespace Lorvex::Main::Home {

Rect HeroRect(const Rect& content) {
    return {content.x + kMargin, content.y + kMargin, content.w - 2 * kMargin, kHeroHeight};
}

float ToolbarTop(const Rect& content) {
    return content.y + kMargin + kHeroStep;
}

float BodyTop(const Rect& content) {
    return ToolbarTop(content) + kToolbarStep;
}

CardGrid GridFor(float left, float top, float width) {
    CardGrid grid;
    grid.left = left;
    grid.top = top;
    grid.columns = static_cast<size_t>(std::max(1.0f, std::floor((width + kCardGap) / kMinColumnPitch)));
    grid.cardWidth = (width - static_cast<float>(grid.columns - 1) * kCardGap) / static_cast<float>(grid.columns);
    return grid;
}

CardGrid GridFor(const Rect& content) {
    return GridFor(content.x + kMargin, BodyTop(content), content.w - 2 * kMargin);
}

Rect CardRect(const CardGrid& grid, size_t index) {
    const size_t column = index % grid.columns;
    const size_t row = index / grid.columns;
    return {grid.left + (grid.cardWidth + kCardGap) * static_cast<float>(column),
            grid.top + static_cast<float>(row) * kRowPitch, grid.cardWidth, kCardHeight};
}

float GridHeight(const CardGrid& grid, size_t count) {
    const size_t rows = (count + grid.columns - 1) / grid.columns;
    return static_cast<float>(rows) * kRowPitch;
}

CardSpan CardsShown(const CardGrid& grid, size_t count, float visibleTop, float visibleBottom) {
    const size_t rows = (count + grid.columns - 1) / grid.columns;
    // A row shows while its card, grown by the margin, reaches into the visible band.
    const float firstRow = std::floor((visibleTop - kCardVisibleMargin - kCardHeight - grid.top) / kRowPitch) + 1;
    const float endRow = std::floor((visibleBottom + kCardVisibleMargin - grid.top) / kRowPitch) + 1;
    const size_t first = static_cast<size_t>(std::clamp(firstRow, 0.0f, static_cast<float>(rows)));
    const size_t end = static_cast<size_t>(std::clamp(endRow, 0.0f, static_cast<float>(rows)));
    if (end <= first) {
        return {};
    }
    return {first * grid.columns, std::min(end * grid.columns, count)};
}

}  // namespace Lorvex::Main::Home
