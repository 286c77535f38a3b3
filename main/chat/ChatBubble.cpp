// One row of the message list: its day separator, name line, bubble (the user's gradient on the
// right, the characters' surface on the left, a failed reply's error with its two buttons), the
// live state of a reply being written, the switcher between regenerated versions and the hover
// that brings in the action bar, all entering with a short slide and fade.

#include <d2d1_1.h>
#include <dwrite.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

#include "foundation/Time.h"
#include "graphics/Geometry.h"
#include "graphics/TextCarets.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/MessageRows.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "services/state/AppState.h"
#include "ui/Icons.h"
#include "ui/Motion.h"

namespace Lorvex::Main {

namespace {

constexpr float kDayPillHeight = 24;
constexpr float kDayPillTop = 12;
constexpr float kDaySeparator = 46;
constexpr float kAvatarSide = 36;
constexpr float kAvatarColumn = 48;
constexpr float kNameLineHeight = 18;
constexpr float kRadius = 18;
constexpr float kGroupRadius = 6;
constexpr float kTextLeft = 16;
constexpr float kTextTop = 11;
constexpr float kLineHeight = 22;
constexpr double kEntranceSeconds = 0.38;
constexpr float kActionSeconds = 0.12f;

// Sub-ids of a row's widgets and per-row values, salted on the message record's identity.
constexpr uint64_t kHoverSalt = 0xB0B1;
constexpr uint64_t kActionSalt = 0xB0B2;
constexpr uint64_t kRetrySalt = 0xB0B3;
constexpr uint64_t kDiscardSalt = 0xB0B4;
constexpr uint64_t kPreviousSalt = 0xB0B5;
constexpr uint64_t kNextSalt = 0xB0B6;
constexpr uint64_t kKeepSalt = 0xB0B7;

Rect Grown(const Rect& rect, float by) {
    return {rect.x - by, rect.y - by, rect.w + 2 * by, rect.h + 2 * by};
}

TextStyle LineStyle(float size, int32_t weight) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.valign = VerticalAlign::Center;
    return style;
}

// The day's pill, centred, with a divider running out to both sides.
void DrawDaySeparator(Graphics& graphics, const std::wstring& label, float x, float y, float w) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    TextStyle style = LineStyle(12, 500);
    const float pillWidth = graphics.MeasureText(label, style, 100000).width + 24;
    const Rect pill = {x + (w - pillWidth) / 2, y + kDayPillTop, pillWidth, kDayPillHeight};
    const float middle = pill.y + kDayPillHeight / 2;
    graphics.DrawLine(x, middle, pill.x - 12, middle, palette.outlineSubtle, 1);
    graphics.DrawLine(pill.x + pill.w + 12, middle, x + w, middle, palette.outlineSubtle, 1);
    graphics.FillRoundRect(pill, kDayPillHeight / 2, Kit::Faded(palette.surfaceContainer, 0.8f));
    style.align = TextAlign::Center;
    graphics.DrawText(label, pill, palette.onBackgroundMuted, style);
}

// The name and the time above a bubble, with the avatar beside the bubble's top.
void DrawNameLine(UI::Ui& ui, const ChatScreen::MessageRow& row, const Rect& bubble, float lineTop, float x, float w) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const TextStyle nameStyle = LineStyle(13, 600);
    const TextStyle timeStyle = LineStyle(11.5f, 400);
    const float nameWidth = graphics.MeasureText(row.speakerName, nameStyle, 100000).width;
    if (row.isUser) {
        Kit::Avatar(ui, {x + w - kAvatarSide, bubble.y - 2, kAvatarSide, kAvatarSide}, row.photoPath, row.speakerName,
                    0, Color{});
        float nameRight = bubble.x + bubble.w;
        if (!row.timeText.empty()) {
            const float timeWidth = graphics.MeasureText(row.timeText, timeStyle, 100000).width;
            graphics.DrawText(row.timeText, {nameRight - timeWidth, lineTop, timeWidth + 1, kNameLineHeight},
                              palette.onBackgroundMuted, timeStyle);
            nameRight -= timeWidth + 8;
        }
        graphics.DrawText(row.speakerName, {nameRight - nameWidth, lineTop, nameWidth + 1, kNameLineHeight},
                          Kit::Faded(palette.onBackground, 0.85f), nameStyle);
        return;
    }
    Kit::Avatar(ui, {x, bubble.y - 2, kAvatarSide, kAvatarSide}, row.photoPath, row.speakerName, 0, Color{});
    graphics.DrawText(row.speakerName, {bubble.x + 2, lineTop, nameWidth + 1, kNameLineHeight}, row.color, nameStyle);
    if (!row.timeText.empty()) {
        graphics.DrawText(row.timeText, {bubble.x + nameWidth + 10, lineTop, 60, kNameLineHeight},
                          palette.onBackgroundMuted, timeStyle);
    }
}

// The styled text drawn through its cached layout, emoji in colour (unless it lies outside the
// frame's region); returns that layout, null when there is none.
ComPtr<IDWriteTextLayout> DrawRichText(Graphics& graphics, const Kit::RichText& text, float x, float y, float wrap,
                                       float height, const Color& color) {
    ID2D1DeviceContext* context = graphics.Context();
    if (!context || text.text.empty()) {
        return {};
    }
    const ComPtr<IDWriteTextLayout> layout =
        graphics.RichTextLayout(text.text, ChatRows::MessageTextStyle(), text.spans, wrap, height + kLineHeight, true);
    if (graphics.LayoutOutsideFrameRegion(layout.Get(), x, y, ChatRows::MessageTextStyle().size)) {
        return layout;
    }
    ComPtr<ID2D1SolidColorBrush> brush;
    if (!layout || FAILED(context->CreateSolidColorBrush(
                       D2D1::ColorF(color.r, color.g, color.b, color.a * graphics.GroupOpacity()), brush.Put()))) {
        return {};
    }
    context->DrawTextLayout(D2D1::Point2F(x, y), layout.Get(), brush.Get(), D2D1_DRAW_TEXT_OPTIONS_ENABLE_COLOR_FONT);
    return layout;
}

// Saves the chosen version as the message's content and tells the window.
void VersionChanged(Services::AppState& state) {
    state.SaveCurrentChat();
    ++state.revision;
    if (state.OnChanged) {
        state.OnChanged();
    }
}

}  // namespace

void ChatScreen::DrawMessage(UI::Ui& ui, const MessageRow& row, const Rect& rect) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    Message& message = *row.message;
    const float x = rect.x;
    const float w = rect.w;
    float y = rect.y;

    if (row.newDay) {
        DrawDaySeparator(graphics, Time::DayLabel(message.timestamp), x, y, w);
        y += kDaySeparator;
    }

    const auto appear = appearTimes.find(row.message.get());
    const double elapsed = ui.time - (appear != appearTimes.end() ? appear->second : ui.time);
    if (elapsed < 0) {
        // Its turn in the staggered entrance has not come yet.
        ui.redraw = true;
        return;
    }
    const float p = static_cast<float>(std::clamp(elapsed / kEntranceSeconds, 0.0, 1.0));
    const bool entering = p < 1;
    if (entering) {
        ui.redraw = true;
    }

    const bool pending = message.is_typing;
    const bool failed = !message.error.empty();
    const float bubbleTop = y + (row.grouped ? 4.0f : 14.0f + 22.0f);
    const float left = row.isUser ? x + w - kAvatarColumn - row.bubbleWidth : x + kAvatarColumn;
    const Rect bubble = {left, bubbleTop, row.bubbleWidth, row.bubbleHeight};

    const uint64_t rowId = ui.MakeId("chat-msg", reinterpret_cast<uintptr_t>(row.message.get()));
    const float lastHover = ui.FloatState(UI::SaltedId(rowId, kHoverSalt), 0);
    const bool duoMode = state.dualMode;
    const Rect actionBar = ActionBarRect(graphics.Width(), row.isUser, duoMode, bubble);
    const bool hovered =
        ui.Hit({x, bubbleTop - 6, w, row.bubbleHeight + 12}) || (lastHover > 0.05f && ui.Hit(Grown(actionBar, 6)));

    if (entering) {
        const float q = 1 - p;
        const float opacity = 1 - q * q * q;
        const float scale = 0.94f + 0.06f * (1 - (q * q * q - 0.8f * q * std::sin(std::numbers::pi_v<float> * q)));
        graphics.PushLayer(opacity, nullptr);
        ui.PushTranslate((row.isUser ? 18.0f : -18.0f) * (1 - opacity), 10 * (1 - opacity));
        ui.PushScale(scale, row.isUser ? bubble.x + bubble.w : bubble.x, bubble.y + bubble.h);
    }

    if (!row.grouped) {
        DrawNameLine(ui, row, bubble, y + 14, x, w);
    }

    // The top corner on the speaker's side is sharper where a group starts.
    const float topLeft = !row.grouped && !row.isUser ? kGroupRadius : kRadius;
    const float topRight = !row.grouped && row.isUser ? kGroupRadius : kRadius;
    const D2D1_RECT_F body = D2D1::RectF(bubble.x, bubble.y, bubble.x + bubble.w, bubble.y + bubble.h);
    const D2D1_RECT_F edge = D2D1::RectF(body.left + 0.5f, body.top + 0.5f, body.right - 0.5f, body.bottom - 0.5f);
    const ComPtr<ID2D1PathGeometry> shape = Geometry::RoundedRect(body, topLeft, topRight, kRadius, kRadius);
    const ComPtr<ID2D1PathGeometry> outline =
        Geometry::RoundedRect(edge, topLeft - 0.5f, topRight - 0.5f, kRadius - 0.5f, kRadius - 0.5f);

    if (failed) {
        graphics.FillGeometry(shape.Get(), Kit::Faded(palette.danger, 0.12f));
        graphics.StrokeGeometry(outline.Get(), Kit::Faded(palette.danger, 0.45f), 1, false);
        UI::Material::DrawIcon(graphics, UI::Material::Icon::AlertCircle, {left + 16, bubbleTop + 12, 18, 18},
                               palette.danger);
        graphics.DrawText(message.error,
                          {left + 44, bubbleTop + kTextTop, row.bubbleWidth - 60, row.textHeight + kLineHeight},
                          Kit::Faded(palette.onBackground, 0.9f), ChatRows::ErrorTextStyle());
        const float buttonsTop = bubbleTop + row.bubbleHeight - 44;
        const std::wstring retry = L"Reintentar";
        const std::wstring discard = L"Descartar";
        const float retryWidth = Kit::ButtonWidth(ui, retry, Kit::kButtonFontSize);
        const float discardWidth = Kit::ButtonWidth(ui, discard, Kit::kButtonFontSize);
        if (Kit::Button(ui, UI::SaltedId(rowId, kRetrySalt), {left + 16, buttonsTop, retryWidth, 34},
                        UI::Material::Icon::Refresh, retry, palette.danger, false, true)) {
            state.RetryReply(row.message);
        }
        if (Kit::Button(ui, UI::SaltedId(rowId, kDiscardSalt),
                        {left + 16 + retryWidth + 8, buttonsTop, discardWidth, 34}, UI::Material::Icon::Close, discard,
                        palette.onBackground, false, true)) {
            state.DeleteMessage(row.message);
        }
    } else if (row.isUser) {
        graphics.GlowRound(bubble, kRadius, palette.bubble1, 16, hovered ? 0.35f : 0.18f);
        ID2D1LinearGradientBrush* gradient =
            graphics.LinearBrush({{0, palette.bubble1}, {1, palette.bubble2}}, D2D1::Point2F(body.left, body.top),
                                 D2D1::Point2F(body.right, body.bottom), 1);
        if (gradient && shape && graphics.Context()) {
            graphics.Context()->FillGeometry(shape.Get(), gradient);
        }
    } else {
        if (!palette.dark) {
            UI::Material::Shadow(graphics, bubble, kRadius, 1);
        }
        const bool partner = duoMode && row.color.ToArgb() == palette.secondary.ToArgb();
        graphics.FillGeometry(shape.Get(), partner ? palette.bubble4 : palette.bubble3);
        graphics.StrokeGeometry(outline.Get(),
                                Kit::Mix(palette.surfaceOverlay, Kit::Faded(row.color, 0.6f), hovered ? 0.6f : 0.0f), 1,
                                false);
    }

    if (!failed) {
        const float textX = left + kTextLeft;
        const float textY = bubbleTop + kTextTop;
        if (pending && message.content.empty()) {
            Kit::TypingDots(ui, left + 18, bubbleTop + row.bubbleHeight / 2,
                            row.isUser ? Color{1, 1, 1, 1} : palette.onBackgroundMuted, 8);
        } else {
            const float wrap = row.bubbleWidth - 31;
            const ComPtr<IDWriteTextLayout> layout =
                DrawRichText(graphics, row.text, textX, textY, wrap, row.textHeight,
                             row.isUser ? Color{1, 1, 1, 1} : palette.bubble5);
            if (pending) {
                // After the streamed text (the space kept for the caret is the last character), found in
                // the styled layout itself: bold and italic runs are wider or narrower than plain text
                // and may wrap the lines elsewhere.
                TextCarets::Caret caret;
                if (TextCarets::Locate(layout.Get(), ChatRows::MessageTextStyle().align,
                                       static_cast<uint32_t>(row.text.text.size() - 1), false, &caret)) {
                    const float pulse = 0.4f + 0.6f * (0.5f + 0.5f * static_cast<float>(std::sin(9 * ui.time)));
                    graphics.FillRoundRect({textX + caret.x + 2, textY + caret.y + 3, 2.5f, kLineHeight - 6}, 1,
                                           Kit::Faded(palette.accent, pulse));
                }
                ui.animating = true;
                ui.redraw = true;
            }
        }
    }

    if (row.versionCount >= 2) {
        const float lineTop = bubbleTop + row.bubbleHeight + 6;
        const int32_t shown = ChatRows::ShownVersion(message, row.versionCount);
        bool changed = false;
        if (Kit::IconButton(ui, UI::SaltedId(rowId, kPreviousSalt), {left, lineTop, 28, 28},
                            UI::Material::Icon::ChevronLeft, palette.onBackground, L"Versión anterior", shown > 0,
                            18)) {
            changed = ChatRows::StepVersion(state.versions, message, -1);
        }
        TextStyle counterStyle = LineStyle(12.5f, 500);
        counterStyle.align = TextAlign::Center;
        graphics.DrawText(ChatRows::VersionCounter(message, row.versionCount), {left + 30, lineTop, 46, 28},
                          palette.onBackgroundMuted, counterStyle);
        if (Kit::IconButton(ui, UI::SaltedId(rowId, kNextSalt), {left + 76, lineTop, 28, 28},
                            UI::Material::Icon::ChevronRight, palette.onBackground, L"Versión siguiente",
                            shown < row.versionCount - 1, 18)) {
            changed = ChatRows::StepVersion(state.versions, message, 1);
        }
        const std::wstring keep = L"Quedarme con esta";
        if (Kit::Button(ui, UI::SaltedId(rowId, kKeepSalt),
                        {left + 112, lineTop - 1, Kit::ButtonWidth(ui, keep, Kit::kButtonFontSize) - 10, 30},
                        UI::Material::Icon::Check, keep, palette.success, false, true)) {
            changed = ChatRows::KeepVersion(state.versions, message);
        }
        if (changed) {
            VersionChanged(state);
        }
    }

    if (entering) {
        ui.PopTransform();
        ui.PopTransform();
        graphics.PopLayer();
    }

    const float actions = ui.Approach(UI::SaltedId(rowId, kActionSalt), hovered && !pending && !failed ? 1.0f : 0.0f,
                                      kActionSeconds, 0.0f);
    ui.FloatState(UI::SaltedId(rowId, kHoverSalt), 0) = actions;
    if (actions > 0.01f) {
        DrawMessageActions(ui, row, bubble, actions);
    }
}

}  // namespace Lorvex::Main
