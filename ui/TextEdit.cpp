// Ui::TextEdit: the editor's mouse, scrolling and drawing around the keyboard state machine of
// ui/TextEditor.h.

#include <algorithm>
#include <cmath>

#include "ui/TextEditor.h"
#include "ui/Ui.h"

namespace Lorvex::UI {
namespace {

constexpr float kLayoutHeight = 100000;
constexpr float kSingleLineWidth = 100000;
constexpr float kWheelStep = 32;

class GraphicsMeasurer : public TextMeasurer {
public:
    GraphicsMeasurer(Graphics& graphics, const TextStyle& style, float wrapWidth)
        : graphics_(graphics), style_(style), wrapWidth_(wrapWidth) {}

    Caret CaretAt(std::wstring_view display, size_t index) override {
        Caret caret;
        graphics_.CaretPosition(display, style_, wrapWidth_, index, &caret.x, &caret.y, &caret.height);
        return caret;
    }
    size_t IndexAt(std::wstring_view display, float x, float y) override {
        return static_cast<size_t>(std::max(0, graphics_.HitTestText(display, style_, wrapWidth_, x, y)));
    }

private:
    Graphics& graphics_;
    const TextStyle& style_;
    float wrapWidth_;
};

std::wstring_view Measurable(const std::wstring& display) {
    return display.empty() ? std::wstring_view(L" ") : std::wstring_view(display);
}

}  // namespace

float TextEditing::WrapWidth(float width, const Material::TextFieldStyle& style) {
    return std::max(width - 2 - (style.paddingLeft + style.paddingRight) - 8, 10.0f);
}

bool Ui::TextEdit(uint64_t id, const Rect& rect, std::wstring& text, const Material::TextFieldStyle& style) {
    EditState& state = State<EditState>(id);
    const Interaction interaction = Interact(id, rect, true, false);
    if (interaction.hovered) {
        nextCursor = kIBeamCursor;
    }
    state.caret = static_cast<int32_t>(TextEditing::ClampStop(text, state.caret));
    state.anchor = static_cast<int32_t>(TextEditing::ClampStop(text, state.anchor));
    JoinFocusOrder(id);
    if (TakeTabbedInto(id)) {
        // Reached by Tab: what is typed next replaces the whole text, as in every desktop form.
        state.anchor = 0;
        state.caret = static_cast<int32_t>(text.size());
    }
    ReportRevealed(id, ToWindow(rect));

    const bool multi = style.multiLine;
    const Rect inner{rect.x + 1 + style.paddingLeft, rect.y + 1 + style.paddingTop,
                     rect.w - 2 - (style.paddingLeft + style.paddingRight),
                     rect.h - 2 - (style.paddingTop + style.paddingBottom)};
    const float wrapWidth = multi ? TextEditing::WrapWidth(rect.w, style) : kSingleLineWidth;
    TextStyle textStyle = style.textStyle;
    textStyle.align = TextAlign::Leading;
    textStyle.valign = VerticalAlign::Top;
    textStyle.wrap = multi;
    textStyle.ellipsis = false;
    GraphicsMeasurer measurer(*graphics, textStyle, wrapWidth);

    std::wstring display = TextEditing::DisplayText(text, style.password);
    const auto centring = [&] {
        if (multi || style.alignment != 1) {
            return 0.0f;
        }
        const float width = graphics->MeasureText(display, textStyle, wrapWidth).width;
        return width < inner.w ? (inner.w - width) * 0.5f : 0.0f;
    };
    const auto pointerIndex = [&] {
        const float localX = (input->x - offsetX) / scale - inner.x - centring() + (multi ? 0 : state.scroll);
        const float localY = (input->y - offsetY) / scale - inner.y + (multi ? state.scroll : 0);
        return TextEditing::ClampStop(text, static_cast<int64_t>(measurer.IndexAt(display, localX, localY)));
    };

    // Mouse.
    if (input && interaction.hovered && input->pressed[Button::Left]) {
        if (focus != id) {
            focus = id;
        }
        const size_t index = pointerIndex();
        if (input->doubleClicked) {
            size_t start = index;
            while (start > 0 && TextEditing::IsWordChar(text[start - 1])) {
                --start;
            }
            size_t end = index;
            while (end < text.size() && TextEditing::IsWordChar(text[end])) {
                ++end;
            }
            state.anchor = static_cast<int32_t>(start);
            state.caret = static_cast<int32_t>(end);
        } else {
            state.caret = static_cast<int32_t>(index);
            if (!input->shift) {
                state.anchor = state.caret;
            }
            state.selecting = true;
        }
        caretTime = time;
    }
    if (input && state.selecting) {
        if (!input->down[Button::Left]) {
            state.selecting = false;
        } else if (input->moved) {
            state.caret = static_cast<int32_t>(pointerIndex());
        }
    }

    bool edited = false;
    if (input && focus == id) {
        SystemClipboard clipboard;
        const EditKeysResult keys = TextEditing::ApplyKeyboard(state, text, style, *input, measurer, clipboard);
        edited = keys.edited;
        if (keys.caretChanged) {
            caretTime = time;
        }
        if (keys.escaped) {
            focus = 0;
        }
        if (edited) {
            display = TextEditing::DisplayText(text, style.password);
        }
    }
    const bool focused = focus == id;

    // Caret and scrolling.
    const TextMeasurer::Caret caret = measurer.CaretAt(display, static_cast<size_t>(state.caret));
    float contentHeight = 0;
    if (!multi) {
        float s = state.scroll;
        if (caret.x - s > inner.w - 2) {
            s = caret.x - inner.w + 2;
        }
        if (caret.x - s < 0) {
            s = caret.x;
        }
        // Never scrolled further than the text's end needs: a text that got shorter than the
        // scroll (replaced, or typed over a whole selection) would otherwise sit past the left edge.
        // The caret stays in view, since it never stands after that end.
        s = std::min(s, measurer.CaretAt(display, display.size()).x - inner.w + 2);
        state.scroll = std::max(s, 0.0f);
    } else {
        if (state.caret != state.lastCaret || text.size() != state.lastLength || wrapWidth != state.lastWrapWidth) {
            if (caret.y - state.scroll < 0) {
                state.scroll = caret.y;
            }
            if (caret.y + caret.height - state.scroll > inner.h) {
                state.scroll = caret.y + caret.height - inner.h;
            }
        }
        state.lastCaret = state.caret;
        state.lastLength = text.size();
        state.lastWrapWidth = wrapWidth;
        contentHeight = graphics->MeasureText(Measurable(display), textStyle, wrapWidth).height;
        const float maxScroll = std::max(contentHeight - inner.h, 0.0f);
        state.scroll = std::clamp(state.scroll, 0.0f, maxScroll);
        if (contentHeight > inner.h && Hit(rect)) {
            nextWheelOwner = id;
        }
        if (input && (interaction.hovered || wheelOwner == id) && input->wheel != 0 && contentHeight > inner.h) {
            state.scroll = std::clamp(state.scroll - input->wheel / 120 * kWheelStep, 0.0f, maxScroll);
            input->wheel = 0;
        }
    }

    // Drawing.
    Graphics& g = *graphics;
    g.FillRoundRect(rect, style.cornerRadius, style.backgroundColor);
    const Color focusBorder = style.focusBorderColor.a > 0 ? style.focusBorderColor : style.caretColor;
    g.StrokeRoundRect(rect, style.cornerRadius, focused ? focusBorder : style.borderColor, 1);
    if (multi) {
        PushClip({rect.x + 1, inner.y, rect.w - 2, inner.h});
    } else {
        PushClip({rect.x + 1, rect.y + 1, rect.w - 2, rect.h - 2});
    }
    const float tx = inner.x - (multi ? 0 : state.scroll) + centring();
    const float ty = inner.y - (multi ? state.scroll : 0);
    if (focused) {
        // Where the system's text input windows open (the window places them after the frame).
        textCaret = ToWindow({tx + caret.x, ty + caret.y, 1, caret.height});
    }

    if (text.empty() && !style.placeholder.empty() && !focused) {
        g.DrawText(style.placeholder, {inner.x, inner.y, inner.w, std::max(inner.h, 0.0f)}, style.placeholderColor,
                   textStyle);
    }

    if (focused && state.caret != state.anchor && style.selectionColor.a > 0) {
        const auto from = static_cast<size_t>(std::min(state.caret, state.anchor));
        const auto to = static_cast<size_t>(std::max(state.caret, state.anchor));
        const TextMeasurer::Caret a = measurer.CaretAt(display, from);
        const TextMeasurer::Caret b = measurer.CaretAt(display, to);
        const auto fill = [&](float x, float y, float w, float h) {
            if (w > 0 && h > 0) {
                g.FillRect({tx + x, ty + y, w, h}, style.selectionColor);
            }
        };
        if (std::fabs(a.y - b.y) < 0.5f) {
            fill(a.x, a.y, b.x - a.x, a.height);
        } else {
            fill(a.x, a.y, wrapWidth - a.x, a.height);
            if (a.height > 0) {
                for (float y = a.y + a.height; y < b.y - 0.5f; y += a.height) {
                    fill(0, y, wrapWidth, a.height);
                }
            }
            fill(0, b.y, b.x, b.height);
        }
    }

    if (!text.empty()) {
        const float layoutWidth =
            multi ? wrapWidth : std::max(g.MeasureText(display, textStyle, wrapWidth).width + 4, inner.w);
        g.DrawText(display, {tx, ty, layoutWidth, kLayoutHeight}, style.textColor, textStyle);
    }

    if (focused) {
        // The blink is an endless loop like the ambient ones, at the system's rate: where it does
        // not blink, or a test holds the loops, the caret stays shown and asks for no frames, so a
        // window with a focused field can come to rest. Its frames redraw only the caret's few
        // pixels (a pixel of margin for the edges).
        const Rect bar = {tx + caret.x, ty + caret.y, 1.2f, caret.height};
        const bool blinks = caretBlink > 0 && !ambientHeld;
        if (!blinks || std::fmod(time - caretTime, 2 * caretBlink) < caretBlink) {
            g.FillRect(bar, style.caretColor);
        }
        if (blinks) {
            RequestCaretFrames({bar.x - 1, bar.y - 1, bar.w + 2, bar.h + 2});
        }
    }
    PopClip();

    if (multi && contentHeight > inner.h + 0.5f) {
        const float thumb = std::max(inner.h * inner.h / contentHeight, 18.0f);
        const float ratio = std::clamp(state.scroll / (contentHeight - inner.h), 0.0f, 1.0f);
        Color color = style.textColor;
        color.a *= interaction.hovered || focused ? 0.35f : 0.2f;
        g.FillRoundRect(
            {std::min(rect.x + rect.w - 6, inner.x + inner.w + 4), inner.y + (inner.h - thumb) * ratio, 3, thumb}, 1.5f,
            color);
    }
    return edited;
}

}  // namespace Lorvex::UI
