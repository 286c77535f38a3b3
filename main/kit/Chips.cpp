// The kit's choice chips and display chips.

#include "main/kit/Chips.h"

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "main/kit/KitColor.h"
#include "ui/Ids.h"
#include "ui/Motion.h"

namespace Lorvex::Main::Kit {

namespace {

constexpr uint64_t kSelectionSalt = 0xC41F;
constexpr uint64_t kSelectionSubSalt = 0x7066;

TextStyle ChoiceLabelStyle() {
    TextStyle style = KitStyle(13, 500);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    return style;
}

TextStyle ChipLabelStyle() {
    TextStyle style = KitStyle(11, 600);
    style.valign = VerticalAlign::Center;
    return style;
}

constexpr float kUnbounded = 100000;

}  // namespace

bool ChoiceChip(UI::Ui& ui, uint64_t id, const Rect& rect, const std::wstring& label, bool selected, const Color& color,
                bool enabled) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    const UI::Interaction interaction = ui.Interact(id, rect, enabled, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    (void)press;
    const uint64_t selectionId = UI::SaltedId(UI::SaltedId(id, kSelectionSalt), kSelectionSubSalt);
    const float s = UI::Material::Motion::EaseInOutCubic(ui.Approach(selectionId, selected ? 1.0f : 0.0f, 0.18f));

    UI::Ui::ClipScope scope(ui);
    if (!enabled) {
        graphics.PushLayer(0.4f, nullptr);
        scope.layerPushed = true;
    }
    const float radius = rect.h / 2;
    graphics.FillRoundRect(rect, radius,
                           Mix(Faded(palette.surfaceContainer, 0.6f + 0.4f * hover), Faded(color, 0.22f), s));
    graphics.StrokeRoundRect({rect.x + 0.5f, rect.y + 0.5f, rect.w - 1, rect.h - 1}, radius - 0.5f,
                             Mix(palette.outlineSubtle, Faded(color, 0.9f), std::max(0.4f * hover, s)), 1);

    // A ring spreads from the chip and fades when its selection changes.
    const float q = UI::Material::Motion::Pulse(ui, id, selected, 0.35f);
    if (q > 0) {
        const float grow = 3 * (1 - q);
        graphics.StrokeRoundRect({rect.x - grow, rect.y - grow, rect.w + 2 * grow, rect.h + 2 * grow}, radius + grow,
                                 Faded(color, 0.5f * q), 1.5f);
    }

    const Color selectedInk = palette.dark ? Mix(color, {1, 1, 1, 1}, 0.35f) : color;
    graphics.DrawText(label, rect, Mix(Faded(palette.onBackground, 0.8f), selectedInk, s), ChoiceLabelStyle());
    return interaction.clicked;
}

std::vector<Rect> ChoiceChipsLayout(float x, float y, float width, const std::vector<float>& chipWidths) {
    std::vector<Rect> rects;
    rects.reserve(chipWidths.size());
    const float rowStart = x;
    const float right = x + width;
    for (const float chipWidth : chipWidths) {
        if (x + chipWidth > right && x != rowStart) {
            x = rowStart;
            y += kChoiceChipRowStep;
        }
        rects.push_back({x, y, chipWidth, kChoiceChipHeight});
        x += chipWidth + kChoiceChipGap;
    }
    return rects;
}

float ChoiceChips(UI::Ui& ui, uint64_t id, float x, float y, float width, const std::vector<std::wstring>& options,
                  std::wstring& selection, const Color& color) {
    std::vector<float> widths;
    widths.reserve(options.size());
    for (const std::wstring& option : options) {
        widths.push_back(std::ceil(ui.graphics->MeasureText(option, ChoiceLabelStyle(), kUnbounded).width + 28));
    }
    const std::vector<Rect> rects = ChoiceChipsLayout(x, y, width, widths);
    for (size_t i = 0; i < options.size(); ++i) {
        const uint64_t chipId = UI::NonZeroId(UI::Fnv1a64Word(id, i));
        if (ChoiceChip(ui, chipId, rects[i], options[i], options[i] == selection, color, true)) {
            selection = options[i];
        }
    }
    const float bottom = rects.empty() ? y + kChoiceChipHeight : rects.back().y + kChoiceChipHeight;
    return bottom - y;
}

float ChipWidthFor(float labelWidth, bool withIcon) {
    return std::ceil(labelWidth + 16 + (withIcon ? 16.0f : 0.0f));
}

float ChipWidth(UI::Ui& ui, const std::wstring& label, bool withIcon) {
    const float labelWidth = label.empty() ? 0.0f : ui.graphics->MeasureText(label, ChipLabelStyle(), kUnbounded).width;
    return ChipWidthFor(labelWidth, withIcon);
}

void Chip(UI::Ui& ui, const Rect& rect, const std::wstring& label, const Color& color, UI::Material::Icon icon,
          bool withIcon) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    graphics.FillRoundRect(rect, rect.h / 2, Faded(color, palette.dark ? 0.18f : 0.14f));
    const Color content = palette.dark ? Mix(color, {1, 1, 1, 1}, 0.3f) : Mix(color, {0, 0, 0, 1}, 0.2f);
    float x = rect.x + 8;
    const float cy = rect.y + rect.h / 2;
    if (withIcon) {
        UI::Material::DrawIcon(graphics, icon, {x, cy - 6, 12, 12}, content);
        x += 16;
    }
    const float labelWidth = rect.x + rect.w - x;
    if (!label.empty() && labelWidth > 0 && content.a > 0) {
        graphics.DrawText(label, {x, rect.y, labelWidth, rect.h}, content, ChipLabelStyle());
    }
}

}  // namespace Lorvex::Main::Kit
