#include "main/window/Mark.h"

#include <d2d1_1.h>

#include "main/kit/KitColor.h"

namespace Lorvex::Main::Mark {

void Draw(Graphics& graphics, const Rect& tile) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    graphics.FillLinearGradient(tile, kCornerShare * tile.w, {{0, palette.accent}, {1, palette.secondary}}, {0, 0},
                                {1, 0});
    const float side = kGlyphShare * tile.w;
    UI::Material::DrawIcon(graphics, kGlyph, {tile.x + (tile.w - side) / 2, tile.y + (tile.h - side) / 2, side, side},
                           kGlyphColor);
}

}  // namespace Lorvex::Main::Mark
