// Turns the markup runs of a message into the text and spans the rich text layout takes.

#include "main/kit/RichText.h"

#include "foundation/Markup.h"
#include "foundation/Text.h"

namespace Lorvex::Main::Kit {

RichText::RichText(const std::wstring& message, const Color& italicColor, const Color& codeColor) {
    std::vector<Text::MarkupRun> runs;
    Text::ParseMarkup(runs, Text::NormalizeNewlines(message), {}, 0);
    for (const Text::MarkupRun& run : runs) {
        const uint64_t start = text.size();
        text += run.text;
        const bool styled = run.style.bold || run.style.italic || run.style.strike || run.code;
        if (run.text.empty() || !styled) {
            continue;
        }
        Graphics::TextSpan span;
        span.start = start;
        span.length = run.text.size();
        span.weight = run.style.bold ? 600 : 0;
        span.italic = run.style.italic;
        if (run.style.italic && !run.style.bold) {
            span.color = italicColor;
        }
        span.strike = run.style.strike;
        if (run.code) {
            span.mono = true;
            span.color = codeColor;
        }
        spans.push_back(span);
    }

    // A message that ends in blank lines would otherwise lay out taller than what it shows.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L' ')) {
        text.pop_back();
    }
    const uint64_t end = text.size();
    for (Graphics::TextSpan& span : spans) {
        if (span.start >= end) {
            span.length = 0;
        } else if (span.start + span.length > end) {
            span.length = end - span.start;
        }
    }
    std::erase_if(spans, [](const Graphics::TextSpan& span) { return span.length == 0; });
}

}  // namespace Lorvex::Main::Kit
