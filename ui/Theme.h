#pragma once
// The colours of the current theme, dark or light: one process-wide palette that every drawing
// routine reads each frame, rebuilt by ApplyTheme when the theme changes. UI thread only; nothing
// here can fail.

#include "graphics/Types.h"

namespace Lorvex::UI::Material {

// Every colour role the interface draws with. A translucent role lightens a dark surface and
// darkens a light one, so the same drawing code serves both themes.
struct Theme {
    bool dark = false;  // a few widgets pick their alphas per theme
    Color background;
    Color onBackground;
    Color onBackgroundMuted;
    Color outlineSubtle;
    Color surface;
    Color surfaceRaised;
    Color surfaceOverlay;
    Color primaryLight;
    Color onPrimaryLight;
    Color primary;
    Color onPrimary;
    Color primaryDark;
    Color onPrimaryDark;
    Color secondaryLight;
    Color onSecondaryLight;
    Color secondary;
    Color onSecondary;
    Color secondaryDark;
    Color onSecondaryDark;
    Color error;
    Color fieldOutline;
    Color fieldState2;
    Color fieldOutlineHover;
    Color fieldState4;
    Color fieldState5;
    Color fieldState6;
    Color fieldState7;
    Color surfaceAlt;
    Color inkStrong;
    Color mutedSolid;
    Color trackOff;
    Color inkFaint1;
    Color veil;
    Color inkFaint2;
    Color scrollThumb;
    Color inverse1;
    Color inverse2;
    Color tooltipBackground;
    Color inkFaint3;
    Color inkFaint4;
    Color inkFaint5;
    Color accent;  // always the same as primary
    Color info;    // the same in both themes
    Color highlight;
    Color chrome;
    Color surfaceContainer;
    Color backdropA;
    Color backdropB;
    Color success;
    Color warning;
    Color danger;
    Color bubble1;
    Color bubble2;
    Color bubble3;
    Color bubble4;
    Color bubble5;
    Color bubble6;
};

// The palette in use: all zero until the first ApplyTheme.
extern Theme Palette;
// Which table ApplyTheme reads; start-up sets it from the settings, the theme switch flips it.
extern bool DarkTheme;
// False until the first ApplyTheme: a widget drawn before start-up applied the theme applies it
// itself.
extern bool PaletteReady;

// Rebuilds Palette from the table DarkTheme chooses and sets PaletteReady.
void ApplyTheme();
// The palette, built first when start-up has not built it yet (widgets drawn before start-up ends,
// tests).
const Theme& ReadyPalette();

// Opaque black or white, whichever reads better on the colour (its alpha is ignored): black
// when the colour's relative luminance exceeds 0.179.
Color OnColor(const Color& color);

}  // namespace Lorvex::UI::Material
