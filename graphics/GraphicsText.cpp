// Platform headers first: winuser.h defines DrawText, which graphics/Graphics.h takes back.
#include <d2d1_1.h>
#include <dwrite_2.h>

#include <algorithm>

#include "graphics/CacheKeys.h"
#include "graphics/Device.h"
#include "graphics/Graphics.h"
#include "graphics/GraphicsState.h"
#include "graphics/TextCarets.h"

namespace Lorvex {

namespace {

constexpr float kMeasureHeight = 100000.0f;

// The slot's family; before the font table is filled, the first family the slot prefers.
const std::wstring& FamilyOf(int32_t slot) {
    const std::wstring& family = Graphics::Fonts::Family(slot);
    if (!family.empty()) {
        return family;
    }
    const int32_t index = slot >= 0 && slot < 4 ? slot : 0;
    return Graphics::Fonts::Preferences(static_cast<Graphics::FontSlot>(index)).front();
}

DWRITE_TEXT_RANGE WholeText(std::wstring_view text) {
    return {0, static_cast<UINT32>(text.size())};
}

// The span's range cut to the text; length 0 when it lies outside.
DWRITE_TEXT_RANGE SpanRange(const Graphics::TextSpan& span, size_t textLength) {
    const uint64_t start = std::min<uint64_t>(span.start, textLength);
    const uint64_t length = std::min<uint64_t>(span.length, textLength - start);
    return {static_cast<UINT32>(start), static_cast<UINT32>(length)};
}

}  // namespace

IDWriteTextFormat* Graphics::TextFormat(const TextStyle& style) {
    // Line heights beyond what the style key holds still get a format of their own; the cap keeps
    // the largest finite float inside the integer.
    const int64_t tenths =
        CacheKeys::HasFixedLineHeight(style) ? static_cast<int64_t>(std::min(style.lineHeight * 10.0, 1e15)) : 0;
    const auto key = std::make_pair(CacheKeys::TextFormat(style), tenths);
    if (const auto found = state_->textFormats.find(key); found != state_->textFormats.end()) {
        return found->second.Get();
    }

    IDWriteFactory3* factory = Device::Instance().dwriteFactory.Get();
    if (!factory) {
        return nullptr;
    }
    ComPtr<IDWriteTextFormat> format;
    if (FAILED(factory->CreateTextFormat(FamilyOf(style.font).c_str(), nullptr,
                                         static_cast<DWRITE_FONT_WEIGHT>(style.weight),
                                         style.italic ? DWRITE_FONT_STYLE_ITALIC : DWRITE_FONT_STYLE_NORMAL,
                                         DWRITE_FONT_STRETCH_NORMAL, style.size, L"en-us", format.Put())) ||
        !format) {
        return nullptr;
    }
    if (CacheKeys::HasFixedLineHeight(style)) {
        format->SetLineSpacing(DWRITE_LINE_SPACING_METHOD_UNIFORM, style.lineHeight, style.lineHeight * 0.8f);
    }
    if (quirks_.symbolsLackFallback) {
        IDWriteFontFallback* fallback = Fonts::SymbolFallback();
        const auto format1 = format.Query<IDWriteTextFormat1>(__uuidof(IDWriteTextFormat1));
        if (fallback && format1) {
            format1->SetFontFallback(fallback);
        }
    }
    return state_->textFormats.emplace(key, format).first->second.Get();
}

ComPtr<IDWriteTextLayout> Graphics::CreatePlainLayout(std::wstring_view text, const TextStyle& style, float maxWidth,
                                                      float maxHeight) {
    IDWriteTextFormat* format = TextFormat(style);
    IDWriteFactory3* factory = Device::Instance().dwriteFactory.Get();
    ComPtr<IDWriteTextLayout> layout;
    if (!format || !factory ||
        FAILED(factory->CreateTextLayout(text.data(), static_cast<UINT32>(text.size()), format,
                                         std::max(0.0f, maxWidth), std::max(0.0f, maxHeight), layout.Put()))) {
        return {};
    }
    return layout;
}

IDWriteTextLayout* Graphics::TextLayout(std::wstring_view text, const TextStyle& style, float maxWidth,
                                        float maxHeight) {
    std::wstring key = CacheKeys::TextLayout(text, style, maxWidth, maxHeight);
    if (const auto found = state_->textLayouts.find(key); found != state_->textLayouts.end()) {
        found->second.lastUse = frameNumber_;
        return found->second.layout.Get();
    }

    ComPtr<IDWriteTextLayout> layout = CreatePlainLayout(text, style, maxWidth, maxHeight);
    if (!layout) {
        return nullptr;
    }
    static const DWRITE_TEXT_ALIGNMENT alignments[] = {DWRITE_TEXT_ALIGNMENT_LEADING, DWRITE_TEXT_ALIGNMENT_CENTER,
                                                       DWRITE_TEXT_ALIGNMENT_TRAILING, DWRITE_TEXT_ALIGNMENT_JUSTIFIED};
    static const DWRITE_PARAGRAPH_ALIGNMENT paragraphs[] = {
        DWRITE_PARAGRAPH_ALIGNMENT_NEAR, DWRITE_PARAGRAPH_ALIGNMENT_CENTER, DWRITE_PARAGRAPH_ALIGNMENT_FAR};
    if (style.align >= 0 && style.align <= 3) {
        layout->SetTextAlignment(alignments[style.align]);
    }
    if (style.valign >= 0 && style.valign <= 2) {
        layout->SetParagraphAlignment(paragraphs[style.valign]);
    }
    layout->SetWordWrapping(style.wrap ? DWRITE_WORD_WRAPPING_WRAP : DWRITE_WORD_WRAPPING_NO_WRAP);
    if (style.ellipsis) {
        ComPtr<IDWriteInlineObject> sign;
        if (SUCCEEDED(Device::Instance().dwriteFactory->CreateEllipsisTrimmingSign(layout.Get(), sign.Put()))) {
            const DWRITE_TRIMMING trimming = {DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
            layout->SetTrimming(&trimming, sign.Get());
        }
    }
    if (style.underline) {
        layout->SetUnderline(TRUE, WholeText(text));
    }

    State::LayoutEntry& entry = state_->textLayouts[std::move(key)];
    entry.layout = layout;
    entry.lastUse = frameNumber_;
    return entry.layout.Get();
}

void Graphics::DrawText(std::wstring_view text, const Rect& rect, const Color& color, const TextStyle& style) {
    if (!context_ || !solidBrush_ || text.empty() || color.a <= 0 || rect.w <= 0) {
        return;
    }
    IDWriteTextLayout* layout = TextLayout(text, style, rect.w, std::max(0.0f, rect.h));
    if (!layout || LayoutOutsideFrameRegion(layout, rect.x, rect.y, style.size)) {
        return;
    }
    SetSolidColor(color);
    context_->DrawTextLayout(D2D1::Point2F(rect.x, rect.y), layout, solidBrush_.Get(), D2D1_DRAW_TEXT_OPTIONS_NONE);
}

bool Graphics::LayoutOutsideFrameRegion(IDWriteTextLayout* layout, float x, float y, float margin) const {
    if (!layout || !regionClipOpen_) {
        return false;
    }
    float left = x;
    float top = y;
    float right = x + layout->GetMaxWidth();
    float bottom = y + layout->GetMaxHeight();
    DWRITE_TEXT_METRICS metrics = {};
    if (FAILED(layout->GetMetrics(&metrics))) {
        return false;
    }
    left = std::min(left, x + metrics.left);
    top = std::min(top, y + metrics.top);
    right = std::max(right, x + metrics.left + std::max(metrics.width, metrics.widthIncludingTrailingWhitespace));
    bottom = std::max(bottom, y + metrics.top + metrics.height);
    // Italic and accented glyphs reach beyond their advance and line box by a fraction of an em.
    return OutsideFrameRegion({left - margin, top - margin, right - left + 2 * margin, bottom - top + 2 * margin});
}

ComPtr<IDWriteTextLayout> Graphics::RichTextLayout(std::wstring_view text, const TextStyle& style,
                                                   const std::vector<TextSpan>& spans, float maxWidth, float maxHeight,
                                                   bool applyColors) {
    std::wstring key = CacheKeys::RichTextLayout(text, style, spans, maxWidth, maxHeight, applyColors);
    if (const auto found = state_->richTextLayouts.find(key); found != state_->richTextLayouts.end()) {
        found->second.lastUse = frameNumber_;
        return found->second.layout;
    }

    IDWriteTextLayout* plain = TextLayout(text, style, maxWidth, maxHeight);
    if (!plain || !TextFormat(style)) {
        return {};
    }
    ComPtr<IDWriteTextLayout> layout = CreatePlainLayout(text, style, maxWidth, maxHeight);
    if (!layout) {
        return {};
    }
    layout->SetTextAlignment(plain->GetTextAlignment());
    layout->SetParagraphAlignment(plain->GetParagraphAlignment());
    layout->SetWordWrapping(plain->GetWordWrapping());
    DWRITE_LINE_SPACING_METHOD method = DWRITE_LINE_SPACING_METHOD_DEFAULT;
    FLOAT spacing = 0;
    FLOAT baseline = 0;
    if (SUCCEEDED(plain->GetLineSpacing(&method, &spacing, &baseline))) {
        layout->SetLineSpacing(method, spacing, baseline);
    }
    if (style.underline) {
        layout->SetUnderline(TRUE, WholeText(text));
    }

    for (const auto& span : spans) {
        const DWRITE_TEXT_RANGE range = SpanRange(span, text.size());
        if (range.length == 0) {
            continue;
        }
        if (span.weight != 0) {
            layout->SetFontWeight(static_cast<DWRITE_FONT_WEIGHT>(span.weight), range);
        }
        if (span.underline) {
            layout->SetUnderline(TRUE, range);
        }
        if (span.italic) {
            layout->SetFontStyle(DWRITE_FONT_STYLE_ITALIC, range);
        }
        if (span.strike) {
            layout->SetStrikethrough(TRUE, range);
        }
        if (span.mono) {
            layout->SetFontFamilyName(FamilyOf(FontSlot::Mono).c_str(), range);
        }
        if (applyColors && span.color.a > 0 && context_) {
            ComPtr<ID2D1SolidColorBrush> brush;
            if (SUCCEEDED(context_->CreateSolidColorBrush(ToColor(span.color), brush.Put()))) {
                layout->SetDrawingEffect(brush.Get(), range);
            }
        }
    }

    State::LayoutEntry& entry = state_->richTextLayouts[std::move(key)];
    entry.layout = layout;
    entry.lastUse = frameNumber_;
    return layout;
}

Graphics::TextSize Graphics::MeasureText(std::wstring_view text, const TextStyle& style, float maxWidth) {
    IDWriteTextLayout* layout = nullptr;
    if (text.empty()) {
        layout = TextLayout(L" ", style, maxWidth, kMeasureHeight);
    } else {
        TextStyle plain = style;
        plain.align = TextAlign::Leading;
        plain.valign = VerticalAlign::Top;
        plain.ellipsis = false;
        layout = TextLayout(text, plain, maxWidth, kMeasureHeight);
    }
    DWRITE_TEXT_METRICS metrics = {};
    if (!layout || FAILED(layout->GetMetrics(&metrics))) {
        return {};
    }
    return {text.empty() ? 0.0f : metrics.widthIncludingTrailingWhitespace, metrics.height};
}

Graphics::TextSize Graphics::MeasureRichText(std::wstring_view text, const TextStyle& style,
                                             const std::vector<TextSpan>& spans, float maxWidth) {
    ComPtr<IDWriteTextLayout> layout;
    if (text.empty()) {
        layout = RichTextLayout(L" ", style, spans, maxWidth, kMeasureHeight, false);
    } else {
        TextStyle plain = style;
        plain.align = TextAlign::Leading;
        plain.valign = VerticalAlign::Top;
        plain.ellipsis = false;
        layout = RichTextLayout(text, plain, spans, maxWidth, kMeasureHeight, false);
    }
    DWRITE_TEXT_METRICS metrics = {};
    if (!layout || FAILED(layout->GetMetrics(&metrics))) {
        return {};
    }
    return {text.empty() ? 0.0f : metrics.widthIncludingTrailingWhitespace, metrics.height};
}

IDWriteTextLayout* Graphics::HitTestLayout(std::wstring_view text, const TextStyle& style, float maxWidth) {
    TextStyle copy = style;
    copy.valign = VerticalAlign::Top;
    copy.ellipsis = false;
    return TextLayout(text.empty() ? std::wstring_view(L" ") : text, copy, maxWidth, kMeasureHeight);
}

int32_t Graphics::HitTestText(std::wstring_view text, const TextStyle& style, float maxWidth, float x, float y) {
    IDWriteTextLayout* layout = HitTestLayout(text, style, maxWidth);
    if (!layout) {
        return 0;
    }
    const auto length = static_cast<int64_t>(text.size());
    int64_t index = 0;
    BOOL trailing = FALSE;
    BOOL inside = FALSE;
    DWRITE_HIT_TEST_METRICS metrics = {};
    if (SUCCEEDED(layout->HitTestPoint(x, y, &trailing, &inside, &metrics))) {
        index = static_cast<int64_t>(metrics.textPosition) + (trailing ? metrics.length : 0);
    } else {
        // Hit testing missing (Wine: E_NOTIMPL): the same answer from line and cluster metrics.
        TextCarets carets;
        if (!carets.Build(layout, style.align)) {
            return 0;
        }
        index = carets.IndexAt(x, y);
    }
    return static_cast<int32_t>(std::clamp<int64_t>(index, 0, length));
}

void Graphics::CaretPosition(std::wstring_view text, const TextStyle& style, float maxWidth, size_t index, float* x,
                             float* y, float* height) {
    float caretX = 0;
    float caretY = 0;
    float caretHeight = style.size * 1.3f;
    const auto publish = [&] {
        if (x) {
            *x = caretX;
        }
        if (y) {
            *y = caretY;
        }
        if (height) {
            *height = caretHeight;
        }
    };

    IDWriteTextLayout* layout = HitTestLayout(text, style, maxWidth);
    if (!layout) {
        return publish();
    }

    const bool atEnd = index >= text.size();
    const auto position = static_cast<UINT32>(text.empty() ? 0 : (atEnd ? text.size() - 1 : index));
    const BOOL trailing = !text.empty() && atEnd;
    FLOAT pointX = 0;
    FLOAT pointY = 0;
    DWRITE_HIT_TEST_METRICS metrics = {};
    if (SUCCEEDED(layout->HitTestTextPosition(position, trailing, &pointX, &pointY, &metrics))) {
        caretX = text.empty() ? (style.align == TextAlign::Center ? metrics.left : 0.0f) : pointX;
        caretY = pointY;
        caretHeight = metrics.height;
    } else {
        // Hit testing missing (Wine: E_NOTIMPL): the caret from line and cluster metrics; when
        // those fail too, the start values stay rather than a caret of no height.
        TextCarets carets;
        TextCarets::Caret caret;
        if (!carets.Build(layout, style.align) || !carets.CaretAt(position, trailing, &caret)) {
            return publish();
        }
        caretX = text.empty() && style.align != TextAlign::Center ? 0.0f : caret.x;
        caretY = caret.y;
        caretHeight = caret.height;
    }
    if (atEnd && !text.empty() && text.back() == L'\n') {
        caretX = 0;
        caretY += caretHeight;
    }
    publish();
}

}  // namespace Lorvex
