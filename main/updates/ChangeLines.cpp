// Note lines of the version cards: heading chips, bullets, plain lines and gaps.

#include "main/updates/ChangeLines.h"

#include <windows.h>

#include "main/kit/KitColor.h"

namespace Lorvex::Main {
namespace {

using Kit::Faded;
using Kit::KitPalette;

constexpr float kHeadingHeight = 34;
constexpr float kGapHeight = 6;
constexpr float kLineSpacing = 7;
constexpr float kBulletIndent = 18;
constexpr float kChipHeight = 22;

TextStyle NoteStyle() {
    TextStyle style;
    style.size = 13.5f;
    style.weight = 400;
    return style;
}

TextStyle HeadingStyle() {
    TextStyle style = Kit::KitStyle(11, 600);
    style.valign = VerticalAlign::Center;
    return style;
}

Color NoteColor() {
    return Faded(KitPalette().onBackground, 0.85f);
}

std::wstring UpperCase(std::wstring text) {
    if (!text.empty()) {
        CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    }
    return text;
}

}  // namespace

Color HeadingColor(const std::wstring& heading) {
    const UI::Material::Theme& palette = KitPalette();
    switch (Services::Updates::ToneOfHeading(heading)) {
    case Services::Updates::HeadingTone::Fixes:
        return palette.success;
    case Services::Updates::HeadingTone::Changes:
        return palette.secondary;
    case Services::Updates::HeadingTone::Removals:
        return palette.danger;
    case Services::Updates::HeadingTone::News:
        break;
    }
    return palette.accent;
}

float ChangeLineHeight(Graphics& graphics, const ChangeLine& line, float width) {
    switch (line.kind) {
    case ChangeLine::Kind::Heading:
        return kHeadingHeight;
    case ChangeLine::Kind::Bullet:
        return graphics.MeasureText(line.text, NoteStyle(), width - kBulletIndent).height + kLineSpacing;
    case ChangeLine::Kind::Text:
        return graphics.MeasureText(line.text, NoteStyle(), width).height + kLineSpacing;
    case ChangeLine::Kind::Gap:
        break;
    }
    return kGapHeight;
}

void DrawChangeLines(Graphics& graphics, const std::vector<ChangeLine>& lines, float x, float y, float width) {
    for (const ChangeLine& line : lines) {
        const float height = ChangeLineHeight(graphics, line, width);
        switch (line.kind) {
        case ChangeLine::Kind::Heading: {
            const Color color = HeadingColor(line.text);
            const std::wstring upper = UpperCase(line.text);
            const float textWidth = graphics.MeasureText(upper, HeadingStyle(), 100000.0f).width;
            const Rect chip{x, y + 4, textWidth + 32, kChipHeight};
            graphics.FillRoundRect(chip, kChipHeight / 2, Faded(color, 0.16f));
            graphics.FillEllipse(x + 12, y + 15, 3, 3, color);
            graphics.DrawText(upper, {x + 21, chip.y, chip.x + chip.w - (x + 21), kChipHeight}, color, HeadingStyle());
            break;
        }
        case ChangeLine::Kind::Bullet:
            graphics.FillEllipse(x + 5, y + 10, 2.6f, 2.6f, KitPalette().onBackgroundMuted);
            graphics.DrawText(line.text, {x + kBulletIndent, y, width - kBulletIndent, height}, NoteColor(),
                              NoteStyle());
            break;
        case ChangeLine::Kind::Text:
            graphics.DrawText(line.text, {x, y, width, height}, NoteColor(), NoteStyle());
            break;
        case ChangeLine::Kind::Gap:
            break;
        }
        y += height;
    }
}

}  // namespace Lorvex::Main
