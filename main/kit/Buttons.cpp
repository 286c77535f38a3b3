// The kit's pill and icon buttons.

#include "main/kit/Buttons.h"

#include <d2d1_1.h>

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"
#include "ui/Motion.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {

namespace {

constexpr float kIconSide = 18;
constexpr float kLabelGap = 8;  // between the icon and a label

TextStyle LabelStyle(float size) {
    TextStyle style = KitStyle(size, 600);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    return style;
}

float LabelWidth(Graphics& graphics, const std::wstring& label, float size) {
    return label.empty() ? 0.0f : graphics.MeasureText(label, LabelStyle(size), 100000).width;
}

}  // namespace

float ButtonWidthFor(float labelWidth, bool withLabel) {
    return std::ceil(labelWidth + kIconSide + 36 + (withLabel ? kLabelGap : 0.0f));
}

float ButtonWidth(UI::Ui& ui, const std::wstring& label, float fontSize) {
    return ButtonWidthFor(LabelWidth(*ui.graphics, label, fontSize), !label.empty());
}

bool Button(UI::Ui& ui, uint64_t id, const Rect& rect, UI::Material::Icon icon, const std::wstring& label,
            const Color& color, bool filled, bool enabled, float iconRotation) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    const UI::Interaction interaction = ui.Interact(id, rect, enabled, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);

    if (!enabled) {
        graphics.PushLayer(0.42f, nullptr);
    }
    // The pill rises on hover and sinks and shrinks a little under the press.
    ui.PushTranslate(0, press - 2 * hover);
    ui.PushScale(1 - 0.035f * press, rect.x + rect.w / 2, rect.y + rect.h / 2);
    const float radius = rect.h / 2;

    Color content;
    Color rippleColor;
    if (filled) {
        if (hover > 0) {
            graphics.GlowRound(rect, radius, color, 14, 0.55f * hover);
        }
        UI::Material::Shadow(graphics, rect, radius, 2 + 4 * hover);
        const Color from = Mix(color, {1, 1, 1, 1}, 0.08f * hover);
        graphics.FillLinearGradient(rect, radius, {{0, from}, {1, Mix(color, palette.secondary, 0.35f)}}, {0, 0},
                                    {1, 1});
        content = UI::Material::OnColor(color);
        rippleColor = {1, 1, 1, 0.6f};
    } else {
        graphics.FillRoundRect(rect, radius, Faded(color, 0.1f + 0.1f * hover));
        graphics.StrokeRoundRect({rect.x + 0.5f, rect.y + 0.5f, rect.w - 1, rect.h - 1}, radius - 0.5f,
                                 Faded(color, 0.35f + 0.4f * hover), 1);
        content = palette.dark ? Mix(color, {1, 1, 1, 1}, 0.25f) : Mix(color, {0, 0, 0, 1}, 0.15f);
        rippleColor = color;
    }
    UI::Material::Ripple(ui, id, interaction, rect, radius, rippleColor);

    // A button given less than its label needs shortens the label with an ellipsis.
    const float labelRoom = rect.w - ButtonWidthFor(0, true);
    const float measured = LabelWidth(graphics, label, kButtonFontSize);
    const bool shortened = !label.empty() && measured > labelRoom;
    const float labelWidth = shortened ? std::max(labelRoom, 0.0f) : measured;
    const float cy = rect.y + rect.h / 2;
    const float x0 = rect.x + rect.w / 2 - ((label.empty() ? 0.0f : kLabelGap) + kIconSide + labelWidth) / 2;
    const Rect iconRect = {x0, cy - kIconSide / 2, kIconSide, kIconSide};
    if (iconRotation != 0) {
        graphics.PushTransform(D2D1::Matrix3x2F::Rotation(iconRotation, D2D1::Point2F(x0 + kIconSide / 2, cy)));
    }
    UI::Material::DrawIcon(graphics, icon, iconRect, content);
    if (iconRotation != 0) {
        graphics.PopTransform();
    }
    if (!label.empty() && content.a > 0 && labelWidth > 0) {
        TextStyle style = LabelStyle(kButtonFontSize);
        const Rect box = {x0 + kIconSide + kLabelGap, rect.y, labelWidth + (shortened ? 0 : 4), rect.h};
        if (shortened) {
            // Cut at the box too, where the text engine draws what its trimming should drop.
            style.ellipsis = true;
            style.wrap = false;
            graphics.PushAxisClip(box);
        }
        graphics.DrawText(label, box, content, style);
        if (shortened) {
            graphics.PopAxisClip();
        }
    }

    ui.PopTransform();
    ui.PopTransform();
    if (!enabled) {
        graphics.PopLayer();
    }
    return interaction.clicked;
}

bool IconButton(UI::Ui& ui, uint64_t id, const Rect& rect, UI::Material::Icon icon, const Color& color,
                const std::wstring& tooltip, bool enabled, float iconSize) {
    Graphics& graphics = *ui.graphics;
    const UI::Interaction interaction = ui.Interact(id, rect, enabled, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    UI::Ui::ClipScope scope(ui);
    if (!enabled) {
        graphics.PushLayer(0.35f, nullptr);
        scope.layerPushed = true;
    }
    const float radius = std::min(rect.w, rect.h) / 2;
    const float cx = rect.x + rect.w / 2;
    const float cy = rect.y + rect.h / 2;
    if (hover > 0) {
        const float r = radius * (0.85f + 0.15f * hover);
        graphics.FillEllipse(cx, cy, r, r, Faded(color, 0.12f * hover));
    }
    UI::Material::Ripple(ui, id, interaction, rect, radius, color);
    const float side = iconSize * (1 - 0.12f * press + 0.06f * hover);
    UI::Material::DrawIcon(graphics, icon, {cx - side / 2, cy - side / 2, side, side},
                           Faded(color, 0.75f + 0.25f * hover));
    if (!tooltip.empty()) {
        ui.Tooltip(id, tooltip);
    }
    return interaction.clicked;
}

}  // namespace Lorvex::Main::Kit
