// The text field: the editor wrapped with a floating label and a notched outline or an underline.

#include <algorithm>
#include <cmath>

#include "ui/Ids.h"
#include "ui/Material.h"
#include "ui/TextEditor.h"
#include "ui/Theme.h"

namespace Lorvex::UI::Material {
namespace {

constexpr float kDisabledOpacity = 0.56f;
constexpr float kLabelAlpha = 0.56f;
constexpr float kOutlineRadius = 4;
constexpr float kNotchAir = 4;

TextStyle PlainStyle(float size) {
    TextStyle style;
    style.size = size;
    style.weight = 400;
    style.wrap = false;
    return style;
}

// The height of one line of text at size, in whole DIPs.
float LineHeight(Graphics& graphics, float size) {
    return std::ceil(graphics.MeasureText(L"Ag", PlainStyle(size), 100000).height);
}

}  // namespace

Color MixColor(const Color& from, const Color& to, float t) {
    return {from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
            from.a + (to.a - from.a) * t};
}

Color ScaleAlpha(Color color, float factor) {
    color.a *= factor;
    return color;
}

Paddings FieldPaddings(const TextFieldOptions& options) {
    if (options.paddingLeft >= 0) {
        return {options.paddingLeft, options.paddingTop, options.paddingRight, options.paddingBottom};
    }
    return options.outlined ? Paddings{16, 16, 12, 16} : Paddings{0, 4, 0, 4};
}

Notch LabelNotch(float labelX, float labelWidth, float amount) {
    if (amount <= 0.01f) {
        return {};
    }
    return {labelX - kNotchAir, labelX + labelWidth + kNotchAir};
}

std::vector<Rect> OutlineRegions(const Rect& rect, Notch notch) {
    if (notch.start >= notch.end) {
        return {rect};
    }
    const float left = rect.x - 2;
    const float right = rect.x + rect.w + 2;
    const Rect candidates[] = {
        {left, rect.y + 2, rect.w + 4, rect.h},
        {left, rect.y - 2, notch.start - left, 4},
        {notch.end, rect.y - 2, right - notch.end, 4},
    };
    std::vector<Rect> regions;
    for (const Rect& region : candidates) {
        if (region.w > 0) {
            regions.push_back(region);
        }
    }
    return regions;
}

TextFieldStyle MakeTextFieldStyle(const TextFieldOptions& options) {
    ReadyPalette();
    TextFieldStyle style;
    style.textStyle = TextStyle{options.fontSize,      options.font,      400,   false, TextAlign::Leading,
                                VerticalAlign::Center, options.multiLine, false, false, 0};
    style.textColor = options.textColor.a > 0 ? options.textColor : Palette.onBackground;
    style.backgroundColor = {};
    style.borderColor = {};
    // Barely visible, so the editor draws no outline of its own over the decoration.
    style.focusBorderColor = {0, 0, 0, 1 / 255.0f};
    style.caretColor = Palette.primary;
    style.selectionColor = ScaleAlpha(Palette.primaryLight, 0.4f);
    const Paddings paddings = FieldPaddings(options);
    style.paddingLeft = paddings.left;
    style.paddingRight = paddings.right;
    style.paddingTop = paddings.top - 1;
    style.paddingBottom = paddings.bottom - 1;
    style.cornerRadius = 0;
    style.multiLine = options.multiLine;
    style.alignment = options.alignment;
    style.password = options.password && !options.multiLine;
    style.maxLength = 0;
    style.placeholder.clear();
    return style;
}

float BackgroundRadius(const TextFieldOptions& options) {
    if (options.backgroundRadius >= 0) {
        return options.backgroundRadius;
    }
    return options.outlined ? kOutlineRadius : 0;
}

bool TextField(Ui& ui, uint64_t id, const Rect& rect, std::wstring& text, const TextFieldOptions& options,
               bool enabled) {
    ReadyPalette();
    Graphics& graphics = *ui.graphics;
    if (!enabled) {
        graphics.PushLayer(kDisabledOpacity, nullptr);
    }
    if (options.background.a > 0) {
        graphics.FillRoundRect(rect, BackgroundRadius(options), options.background);
    }
    const TextFieldStyle style = MakeTextFieldStyle(options);
    bool edited = false;
    bool focused = false;
    if (enabled) {
        edited = ui.TextEdit(id, rect, text, style);
        focused = ui.focus == id;
    } else {
        if (ui.Hit(rect)) {
            ui.nextHover = SaltedId(id, Ui::kDisabledHoverSalt);
        }
        const Paddings paddings = FieldPaddings(options);
        const std::wstring shown = style.password ? std::wstring(text.size(), L'\u2022') : text;
        const float room = rect.w - (paddings.left + paddings.right) - 2;
        if (!shown.empty() && Palette.onBackground.a > 0 && room > 0) {
            TextStyle look = PlainStyle(options.fontSize);
            look.valign = VerticalAlign::Center;
            const float line = LineHeight(graphics, options.fontSize);
            graphics.DrawText(shown, {rect.x + paddings.left + 1, rect.y + paddings.top, room, line},
                              Palette.onBackground, look);
        }
    }
    const Notch notch = FloatingLabel(ui, id, rect, options, !text.empty(), focused);
    if (!options.noDecoration) {
        TextFieldDecoration(ui, id, rect, options, enabled && ui.hover == id, focused, enabled, notch);
    }
    if (!options.tooltip.empty()) {
        ui.Tooltip(id, options.tooltip);
    }
    if (!enabled) {
        graphics.PopLayer();
    }
    return edited;
}

Notch FloatingLabel(Ui& ui, uint64_t id, const Rect& rect, const TextFieldOptions& options, bool hasText,
                    bool focused) {
    if (options.label.empty()) {
        return {};
    }
    ReadyPalette();
    Graphics& graphics = *ui.graphics;
    const Paddings paddings = FieldPaddings(options);
    const float h = LineHeight(graphics, options.fontSize);
    const float restY = options.multiLine
                            ? rect.y + paddings.top
                            : rect.y + paddings.top + (rect.h - (paddings.top + paddings.bottom) - h) * 0.5f;
    const float x = rect.x + paddings.left + 1;
    const Color resting = ScaleAlpha(Palette.onBackground, kLabelAlpha);

    if (!options.outlined) {
        const float room = rect.x + rect.w - paddings.right - x;
        if (!hasText && room > 0) {
            graphics.DrawText(options.label, {x, restY, room, h}, resting, PlainStyle(options.fontSize));
        }
        return {};
    }

    const float a = ui.Approach(SaltedId(id, kFloatingLabelSalt), hasText || focused ? 1.0f : 0.0f, 0.15f);
    const TextStyle look = PlainStyle(options.fontSize * (1 - 0.25f * a));
    const float lineHeight = h * (1 - 0.25f * a);
    const Color colour = focused ? MixColor(resting, Palette.primary, a) : resting;
    const float w = std::ceil(graphics.MeasureText(options.label, look, 100000).width);
    const float room = std::max(rect.x + rect.w - paddings.right - x, w);
    if (colour.a > 0 && room > 0) {
        const float top = restY + (rect.y - lineHeight * 0.5f - restY) * a;
        graphics.DrawText(options.label, {x, top, room, std::max(lineHeight + 2, 0.0f)}, colour, look);
    }
    return LabelNotch(x, w, a);
}

void TextFieldDecoration(Ui& ui, uint64_t id, const Rect& rect, const TextFieldOptions& options, bool hovered,
                         bool focused, bool enabled, Notch notch) {
    ReadyPalette();
    Graphics& graphics = *ui.graphics;
    if (options.outlined) {
        const Color colour = focused              ? Palette.primary
                             : hovered && enabled ? Palette.fieldOutlineHover
                                                  : Palette.fieldOutline;
        const float width = focused ? 2.0f : 1.0f;
        const float inset = focused ? 1.0f : 0.5f;
        const Rect outline = {rect.x + inset, rect.y + inset, rect.w - 2 * inset, rect.h - 2 * inset};
        if (notch.start >= notch.end) {
            graphics.StrokeRoundRect(outline, kOutlineRadius, colour, width);
            return;
        }
        for (const Rect& region : OutlineRegions(rect, notch)) {
            ui.PushClip(region);
            graphics.StrokeRoundRect(outline, kOutlineRadius, colour, width);
            ui.PopClip();
        }
        return;
    }

    const Color line = hovered && enabled ? Palette.fieldOutlineHover : Palette.onBackgroundMuted;
    if (line.a > 0 && rect.w > 0) {
        graphics.FillRect({rect.x, rect.y + rect.h - 1, rect.w, 1}, line);
    }
    const float u = ui.Approach(SaltedId(id, kFocusUnderlineSalt), focused ? 1.0f : 0.0f, 0.3f, 0.0f);
    if (u > 0 && Palette.primary.a > 0) {
        const float rest = 1 - u;
        const float d = (1 - rest * rest * rest) * rect.w;
        if (d > 0) {
            graphics.FillRect({rect.x + rect.w / 2 - d / 2, rect.y + rect.h - 2, d, 2}, Palette.primary);
        }
    }
}

}  // namespace Lorvex::UI::Material
