#pragma once
// Colour arithmetic shared by the kit's widgets: palette roles are drawn at fractions of their
// own alpha. Pure functions: any thread, nothing fails.

#include "graphics/Types.h"

namespace Lorvex::Main::Kit {

// The colour with its alpha multiplied by factor.
inline Color Faded(const Color& color, float factor) {
    return {color.r, color.g, color.b, color.a * factor};
}

}  // namespace Lorvex::Main::Kit
