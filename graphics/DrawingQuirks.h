#pragma once
// What this machine's Direct2D and DirectWrite do with the few features whose results differ
// between implementations, found once per device by drawing a known case into a tiny bitmap and
// reading its pixels back (or, for fonts, by asking the system's own font fallback for a known
// character). A flag is set only where the result contradicts Direct2D's documented composition;
// the surface then draws a replacement that gives the documented picture. Where every check
// passes, nothing of the drawing changes. UI thread only; a check that cannot be run counts as
// passed.

#include <cstdint>

#include "foundation/ComPtr.h"
#include "graphics/Forward.h"

struct IDWriteFont;
struct IDWriteFontFallback;

namespace Lorvex {

struct DrawingQuirks {
    // Gradient stops with alpha are composed as if their colours were premultiplied already: a
    // (1, 0, 0, 0.5) stop on a transparent bitmap reads red 255 where it must read 128.
    bool linearStopsPremultiplied = false;
    bool radialStopsPremultiplied = false;
    // A layer's opacity does not fade what is drawn in it (opaque red in a 0.5 layer reads alpha
    // 255, not 128).
    bool layersIgnoreOpacity = false;
    // A layer's geometric mask does not cut what is drawn in it.
    bool layersIgnoreMasks = false;
    // The shadow effect cannot be made, refuses its colour or blur, or an opacity-mask fill of its
    // result draws nothing: glows are then blurred on the processor.
    bool shadowUnavailable = false;
    // The system's font fallback finds no font with "→" (U+2192).
    bool symbolsLackFallback = false;

    bool operator==(const DrawingQuirks&) const = default;
};

// The font that the fallback maps the character to when it follows a text in the family (null:
// no family); null when it maps none. The font may still lack the character.
ComPtr<IDWriteFont> FallbackFont(IDWriteFontFallback* fallback, const wchar_t* family, uint32_t character);

// Runs every check on the context (one that is not drawing, e.g. the device's resource context;
// its target, DPI and transform are left as it had them: no target, 96 DPI, identity).
DrawingQuirks ProbeDrawingQuirks(ID2D1Factory1* factory, ID2D1DeviceContext* context, IDWriteFactory* fonts);

}  // namespace Lorvex
