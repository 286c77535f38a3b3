#pragma once
// Colour arithmetic and text styles shared by the kit's widgets: palette roles are drawn at
// fractions of their own alpha, colours are mixed, texts start from one unwrapped style. Pure
// functions on any thread, except KitPalette, which reads the UI thread's palette. Nothing fails.

#include <cstdint>

#include "graphics/TextStyle.h"
#include "graphics/Types.h"
#include "ui/Theme.h"

namespace Lorvex::Main::Kit {

// The colour with its alpha multiplied by factor.
inline Color Faded(const Color& color, float factor) {
    return {color.r, color.g, color.b, color.a * factor};
}

// a moved toward b by t (0 keeps a, 1 gives b), every channel alpha included.
inline Color Mix(const Color& a, const Color& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// The palette, applied first when start-up has not yet done so.
inline const UI::Material::Theme& KitPalette() {
    return UI::Material::ReadyPalette();
}

// The kit's text style: leading-aligned and unwrapped unless the caller changes it.
inline TextStyle KitStyle(float size, int32_t weight) {
    TextStyle style;
    style.size = size;
    style.weight = weight;
    style.wrap = false;
    return style;
}

}  // namespace Lorvex::Main::Kit
