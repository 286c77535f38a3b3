#pragma once
// The styled form of a chat message: the text with its inline markup removed and the spans that
// make its parts bold, italic, struck through or code, ready for the surface's rich text layout.
// A plain value the caller builds and owns; any thread may build one, nothing fails (markup that
// does not pair stays ordinary text).

#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "graphics/Types.h"

namespace Lorvex::Main::Kit {

struct RichText {
    // Italic text that is not bold takes italicColor; code takes codeColor, which wins over the
    // italic colour.
    RichText(const std::wstring& message, const Color& italicColor, const Color& codeColor);

    std::wstring text;                      // laid out as is: no markup, no trailing breaks or spaces
    std::vector<Graphics::TextSpan> spans;  // in text order, each non-empty and inside text
};

}  // namespace Lorvex::Main::Kit
