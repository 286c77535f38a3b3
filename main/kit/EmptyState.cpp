// The empty-state card.

#include "main/kit/EmptyState.h"

#include <cmath>

#include "graphics/Graphics.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {

namespace {

TextStyle CentredStyle(float size, int32_t weight, bool wrap) {
    TextStyle style;
    style.size = size;
    style.weight = weight;
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    style.wrap = wrap;
    return style;
}

}  // namespace

float EmptyStateHeight(bool withAction) {
    return withAction ? 250.0f : 190.0f;
}

float EmptyStateTop(const Rect& rect, bool withAction) {
    return rect.y + rect.h / 2 - EmptyStateHeight(withAction) / 2;
}

bool EmptyState(UI::Ui& ui, uint64_t id, const Rect& rect, UI::Material::Icon icon, const std::wstring& title,
                const std::wstring& text, const std::wstring& actionLabel, UI::Material::Icon actionIcon) {
    const UI::Material::Theme& palette = UI::Material::ReadyPalette();
    Graphics& graphics = *ui.graphics;
    const float bob = 4 * static_cast<float>(std::sin(1.4 * ui.AmbientTime()));
    const bool withAction = !actionLabel.empty();
    const float cx = rect.x + rect.w / 2;
    const float top = EmptyStateTop(rect, withAction);
    // The glow and the icon bob within the glow's disc, 4 DIPs up and down.
    ui.RequestAmbientFrames({cx - 91, top + 50 - 4 - 91, 182, 182 + 8});

    graphics.FillEllipseRadial(cx, top + 50 + bob, 90, 90,
                               {{0, Faded(palette.primary, 0.18f)}, {1, Faded(palette.primary, 0)}}, 1);
    const float iconY = top + 48 + bob;
    graphics.FillEllipse(cx, iconY, 48, 48, Faded(palette.primary, 0.14f));
    graphics.StrokeEllipse(cx, iconY, 48, 48, Faded(palette.primary, 0.35f), 1.5f);
    UI::Material::DrawIcon(graphics, icon, {cx - 22, iconY - 22, 44, 44}, palette.primary);

    const TextStyle titleStyle = CentredStyle(20, 600, false);
    if (!title.empty() && palette.onBackground.a > 0 && rect.w > 0) {
        graphics.DrawText(title, {rect.x, top + 116, rect.w, 30}, palette.onBackground, titleStyle);
    }

    const TextStyle textStyle = CentredStyle(14, 400, true);
    if (!text.empty()) {
        graphics.DrawText(text, {cx - 220, top + 150, 440, 44}, palette.onBackgroundMuted, textStyle);
    }

    if (!withAction) {
        return false;
    }
    const float buttonWidth = ButtonWidth(ui, actionLabel, kButtonFontSize);
    return Button(ui, id, {cx - buttonWidth / 2, top + 206, buttonWidth, 42}, actionIcon, actionLabel, palette.primary,
                  true, true);
}

}  // namespace Lorvex::Main::Kit
