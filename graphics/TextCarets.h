#pragma once
// Caret positions of a laid-out text computed from its line and cluster metrics: the answer
// that hit testing gives, for platforms whose text layouts cannot hit-test (Wine returns
// E_NOTIMPL). Left-to-right text; horizontal alignment is applied per line.

#include <dwrite.h>

#include <cstdint>
#include <vector>

namespace Lorvex {

class TextCarets {
public:
    struct Caret {
        float x = 0;
        float y = 0;
        float height = 0;
    };

    // Reads the metrics of the layout; false when it gives none.
    // align is a TextAlign.
    bool Build(IDWriteTextLayout* layout, int32_t align);

    // Index of the caret position nearest to the point.
    int64_t IndexAt(float x, float y) const;

    // The caret before (or, trailing, after) the UTF-16 unit at position.
    bool CaretAt(uint32_t position, bool trailing, Caret* caret) const;

    // The same caret in any layout (a styled one too): by hit testing, else from the layout's
    // metrics. False, leaving caret as it was, when neither answers.
    static bool Locate(IDWriteTextLayout* layout, int32_t align, uint32_t position, bool trailing, Caret* caret);

private:
    struct Cluster {
        uint32_t position = 0;
        uint32_t length = 0;
        float width = 0;
    };
    struct Line {
        uint32_t start = 0;
        uint32_t length = 0;   // newline included
        uint32_t newline = 0;  // units of the line break at its end
        float top = 0;
        float height = 0;
        float left = 0;  // alignment offset
        std::vector<Cluster> clusters;
    };

    std::vector<Line> lines_;
};

}  // namespace Lorvex
