// Avatars with photo or initials.

#include "main/kit/Avatar.h"

#include <algorithm>
#include <cwctype>

#include "graphics/Graphics.h"
#include "graphics/Images.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Kit {

namespace {

constexpr Color Rgb(int r, int g, int b) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, 1};
}

// The initials disc's gradient ends this far toward a deep violet.
constexpr Color kAvatarShade = Rgb(42, 27, 77);
constexpr float kAvatarShadeAmount = 0.45f;

}  // namespace

const std::array<Color, kAvatarColorCount>& AvatarColors() {
    static const std::array<Color, kAvatarColorCount> colors = {
        Rgb(255, 77, 126), Rgb(124, 108, 242), Rgb(46, 196, 182), Rgb(255, 159, 28), Rgb(76, 154, 255),
        Rgb(224, 86, 253), Rgb(38, 222, 129),  Rgb(252, 92, 101), Rgb(69, 170, 242), Rgb(165, 94, 234)};
    return colors;
}

size_t AvatarColorIndex(const std::wstring& name) {
    uint32_t hash = 0x811C9DC5u;
    for (const wchar_t unit : name) {
        hash ^= static_cast<uint16_t>(std::towlower(unit));
        hash *= 16777619u;
    }
    return hash % kAvatarColorCount;
}

std::wstring AvatarInitials(const std::wstring& name) {
    std::wstring initials;
    bool wordStart = true;
    for (const wchar_t c : name) {
        if (initials.size() >= 2) {
            break;
        }
        if (std::iswspace(c)) {
            wordStart = true;
            continue;
        }
        if (wordStart && std::iswalnum(c)) {
            initials.push_back(static_cast<wchar_t>(std::towupper(c)));
        }
        wordStart = false;
    }
    return initials.empty() ? L"?" : initials;
}

void Avatar(UI::Ui& ui, const Rect& rect, const std::optional<std::wstring>& photoPath, const std::wstring& name,
            float ringWidth, const Color& ringColor) {
    const UI::Material::Theme& palette = KitPalette();
    Graphics& graphics = *ui.graphics;
    const float d = std::min(rect.w, rect.h);
    const float x0 = rect.x + (rect.w - d) / 2;
    const float y0 = rect.y + (rect.h - d) / 2;
    const float cx = x0 + d / 2;
    const float cy = y0 + d / 2;

    std::shared_ptr<Image> photo;
    if (photoPath && !photoPath->empty()) {
        photo = Images::LoadImage(*photoPath);
    }

    if (ringWidth > 0) {
        const Color ring = ringColor.a > 0 ? ringColor : palette.primary;
        const float outer = d + 2 * ringWidth + 3;
        graphics.FillLinearGradient({cx - outer / 2, cy - outer / 2, outer, outer}, outer / 2,
                                    {{0, ring}, {1, palette.secondary}}, {0, 0}, {1, 1});
        // The surface disc leaves a thin gap between the ring and the avatar.
        const float gap = d / 2 + 1.5f;
        graphics.FillEllipse(cx, cy, gap, gap, palette.surface);
    }

    const Rect square = {x0, y0, d, d};
    if (photo) {
        graphics.DrawImage(photo, square, d / 2, 1);
        return;
    }
    const Color base = AvatarColors()[AvatarColorIndex(name)];
    graphics.FillLinearGradient(square, d / 2, {{0, base}, {1, Mix(base, kAvatarShade, kAvatarShadeAmount)}}, {0, 0},
                                {1, 1});
    TextStyle style = KitStyle(std::max(0.38f * d, 9.0f), 600);
    style.align = TextAlign::Center;
    style.valign = VerticalAlign::Center;
    graphics.DrawText(AvatarInitials(name), square, {1, 1, 1, 1}, style);
}

}  // namespace Lorvex::Main::Kit
