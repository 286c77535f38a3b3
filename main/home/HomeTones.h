#pragma once
// The palette colours of the home screen's tones. The palette has no tertiary accent of its own;
// the home screen takes its information blue, which reads well on both themes' surfaces.
// UI thread only (the palette is the UI thread's); nothing fails.

#include "graphics/Types.h"
#include "main/home/HomeTexts.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main::Home {

inline Color ToneColor(TagTone tone) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    switch (tone) {
    case TagTone::Accent:
        return palette.accent;
    case TagTone::Secondary:
        return palette.secondary;
    case TagTone::Danger:
        return palette.danger;
    case TagTone::Tertiary:
        break;
    }
    return palette.info;
}

}  // namespace Lorvex::Main::Home
