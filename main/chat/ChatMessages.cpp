// The message list: the window of the open chat's messages laid out as rows, paged by its two
// buttons, kept at the newest message while the user follows the conversation, with the jump
// button and the empty state.

#include <algorithm>
#include <string>
#include <vector>

#include "domain/Settings.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/MessageRows.h"
#include "main/kit/Buttons.h"
#include "main/kit/EmptyState.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Motion.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Main {

namespace {

constexpr float kWheelStep = 72;
constexpr float kVisibleMargin = 60;
constexpr float kPageButtonHeight = 36;
constexpr float kOlderButtonTop = 14;
constexpr float kNewerButtonFromBottom = 70;
constexpr float kJumpSize = 46;
constexpr float kJumpRight = 70;
constexpr float kJumpBottom = 64;
constexpr float kJumpDrop = 10;
constexpr float kJumpSeconds = 0.2f;
constexpr float kEmptyBottom = 20;
constexpr float kFarDown = 1e9f;

// The measurement of one message; the caller keeps it until the message, the width or the theme
// changes.
ChatRows::Measured Measure(UI::Ui& ui, const Message& message, bool isUser, float maxBubble) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    ChatRows::Measured measured;
    if (!message.error.empty()) {
        const Graphics::TextSize size =
            graphics.MeasureText(message.error, ChatRows::ErrorTextStyle(), ChatRows::ErrorWrapWidth(maxBubble));
        measured.size = ChatRows::ErrorBubble(size.width, size.height, maxBubble);
        return measured;
    }
    if (message.is_typing && message.content.empty()) {
        measured.size = ChatRows::TypingBubble();
        return measured;
    }
    // Actions (italic) and code take colours of their own; on the user's gradient both stay light.
    const Color actionColor = isUser ? Color{1, 1, 1, 0.82f} : palette.bubble6;
    const Color codeColor = isUser ? Color{1, 1, 1, 1} : (palette.dark ? palette.secondaryLight : palette.secondary);
    measured.text = Kit::RichText(message.content, actionColor, codeColor);
    if (message.is_typing) {
        // Room for the caret after the streamed text.
        measured.text.text += L' ';
    }
    const Graphics::TextSize size = graphics.MeasureRichText(measured.text.text, ChatRows::MessageTextStyle(),
                                                             measured.text.spans, ChatRows::TextWrapWidth(maxBubble));
    measured.size = ChatRows::TextBubble(size.width, size.height, maxBubble);
    return measured;
}

// The soft glow of the secondary accent rising from the bottom of the list.
void DrawBackground(UI::Ui& ui, const Rect& area) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    graphics.FillRect(area, palette.background);
    const Color glow = Kit::Faded(palette.secondary, palette.dark ? 0.06f : 0.05f);
    ui.PushClip(area);
    graphics.FillEllipseRadial(area.x + area.w / 2, area.y + area.h, 0.6f * area.w, 0.45f * area.h,
                               {{0, glow}, {1, Kit::Faded(glow, 0)}}, 1);
    ui.PopClip();
}

}  // namespace

void ChatScreen::LayoutMessages(UI::Ui& ui, std::vector<MessageRow>& rows, float maxBubbleWidth) {
    rows.clear();
    const Services::AppState& state = Services::AppState::Instance();
    if (!state.currentChat) {
        return;
    }
    const std::vector<std::shared_ptr<Message>>& messages = state.currentChat->messages;
    const size_t count = messages.size();
    windowStart = ChatRows::ClampWindowStart(windowStart, count);
    const size_t end = ChatRows::WindowEnd(windowStart, count);

    const UI::Material::Theme& palette = Kit::KitPalette();
    const bool showTimestamps = Settings::Instance().show_timestamps;
    ChatRows::Conversation conversation;
    conversation.character = state.currentCharacter.get();
    conversation.persona = state.currentPersona.get();
    conversation.duoMode = state.dualMode;
    conversation.partner = state.dualPartner.get();

    rows.reserve(end - static_cast<size_t>(windowStart));
    for (size_t i = static_cast<size_t>(windowStart); i < end; ++i) {
        const Message& message = *messages[i];
        // The message before the window still decides the first row's day and group.
        const Message* previous = i >= 1 ? messages[i - 1].get() : nullptr;
        MessageRow row;
        row.message = messages[i];
        row.index = static_cast<int>(i);
        row.isUser = message.role == L"user";
        row.dayKey = ChatRows::DayKey(message.timestamp);
        row.newDay = ChatRows::StartsDay(previous, row.dayKey);
        row.timeText = ChatRows::TimeText(message.timestamp, showTimestamps);
        ChatRows::Speaker speaker = ChatRows::SpeakerOf(message, conversation);
        row.speakerName = std::move(speaker.name);
        row.photoPath = std::move(speaker.photoPath);
        row.color = row.isUser || !speaker.secondaryAccent ? palette.accent : palette.secondary;
        row.grouped = ChatRows::ContinuesGroup(previous, message, row.newDay);

        const ChatRows::Measured* measured = rowLayouts.Find(message, maxBubbleWidth, palette.dark);
        if (!measured) {
            measured = &rowLayouts.Store(message, maxBubbleWidth, palette.dark,
                                         Measure(ui, message, row.isUser, maxBubbleWidth));
        }
        row.text = measured->text;
        row.bubbleWidth = measured->size.width;
        row.bubbleHeight = measured->size.height;
        row.textHeight = measured->size.textHeight;
        row.versionCount = ChatRows::VersionCount(state.versions, message);
        row.height = ChatRows::RowHeight(row.grouped, row.newDay, row.bubbleHeight, row.versionCount);
        rows.push_back(std::move(row));
    }
    rowLayouts.Prune();
}

void ChatScreen::DrawMessages(UI::Ui& ui, const Rect& area) {
    Services::AppState& state = Services::AppState::Instance();
    rowsBuilt = 0;
    rowsDrawn = 0;
    if (!state.currentChat) {
        return;
    }
    const UI::Material::Theme& palette = Kit::KitPalette();
    DrawBackground(ui, area);
    const ChatRows::Column column = ChatRows::ColumnFor(area);

    // Turning the wheel up or holding the thumb lets go of the newest message (else the list would
    // pull a dragged thumb back to the bottom every frame); coming back to the bottom takes it again.
    const uint64_t scrollId = ui.MakeIdFromText("chat-scroll");
    UI::ScrollState& scroll = ui.State<UI::ScrollState>(scrollId);
    const bool wheelUp = ui.input && ui.input->wheel > 0 && ui.Hit(area);
    if (wheelUp || scroll.dragging) {
        followLatest = false;
    } else if (ChatRows::AtBottom(scrollOffset, contentHeight, viewportHeight)) {
        followLatest = true;
    }

    const std::vector<std::shared_ptr<Message>>& messages = state.currentChat->messages;
    const size_t count = messages.size();
    if (count != lastMessageCount) {
        const bool newestIsUser = count > 0 && messages.back()->role == L"user";
        const ChatRows::Follow follow =
            ChatRows::AfterCountChange({windowStart, followLatest}, lastMessageCount, count, newestIsUser);
        windowStart = follow.windowStart;
        followLatest = follow.followLatest;
        lastMessageCount = count;
    }

    std::vector<MessageRow> rows;
    LayoutMessages(ui, rows, column.maxBubble);
    rowsBuilt = rows.size();
    const size_t end = rows.empty() ? static_cast<size_t>(windowStart) : static_cast<size_t>(rows.back().index) + 1;
    const bool newerBelow = end < count;
    float y = ChatRows::FirstRowTop(windowStart);
    for (MessageRow& row : rows) {
        row.top = y;
        y += row.height;
    }
    const float content = ChatRows::ContentHeight(y, newerBelow);

    // This frame's height bounds this frame's scrolling, so a jump to the bottom lands there even
    // when the rows just grew.
    scroll.content = content;
    if (snapToBottom) {
        scroll.target = kFarDown;
        scroll.current = kFarDown;
        snapToBottom = false;
    } else if (followLatest && !newerBelow && area.h < content) {
        scroll.target = kFarDown;
    }

    {
        UI::ScrollArea list(ui, scrollId, area, kWheelStep);
        if (windowStart > 0) {
            const std::wstring label =
                L"Cargar " + std::to_wstring(ChatRows::OlderPageCount(windowStart)) + L" mensajes anteriores";
            const float width = Kit::ButtonWidth(ui, label, Kit::kButtonFontSize);
            const Rect button = {column.x + (column.width - width) / 2, area.y + kOlderButtonTop, width,
                                 kPageButtonHeight};
            if (Kit::Button(ui, ui.MakeIdFromText("load-older"), button, UI::Material::Icon::ChevronUp, label,
                            palette.secondary, false, true)) {
                windowStart = ChatRows::OlderPageStart(windowStart);
                followLatest = false;
            }
        }
        for (size_t k = 0; k < rows.size(); ++k) {
            const MessageRow& row = rows[k];
            const auto [entry, first] = appearTimes.try_emplace(row.message.get(), 0.0);
            if (first) {
                entry->second = ChatRows::EntranceTime(ui.time, lastResetTime, rows.size() - 1 - k);
            }
            const Rect rect = {column.x, area.y + row.top, column.width, row.height};
            if (!ui.IsVisible(rect, kVisibleMargin)) {
                continue;
            }
            DrawMessage(ui, row, rect);
            ++rowsDrawn;
        }
        if (newerBelow) {
            const std::wstring label = L"Cargar mensajes más recientes";
            const float width = Kit::ButtonWidth(ui, label, Kit::kButtonFontSize);
            const Rect button = {column.x + (column.width - width) / 2, area.y + content - kNewerButtonFromBottom,
                                 width, kPageButtonHeight};
            if (Kit::Button(ui, ui.MakeIdFromText("load-newer"), button, UI::Material::Icon::ChevronDown, label,
                            palette.secondary, false, true)) {
                windowStart = ChatRows::NewerPageStart(windowStart, count);
            }
        }
        list.content = content;
        scrollOffset = list.offset;
    }
    contentHeight = content;
    viewportHeight = area.h;

    const float jump =
        ui.Approach(ui.MakeIdFromText("jump-btn"),
                    ChatRows::JumpTarget(scrollOffset, contentHeight, viewportHeight, newerBelow), kJumpSeconds);
    if (jump > 0) {
        Graphics& graphics = *ui.graphics;
        const Rect button = {area.x + area.w - kJumpRight, area.y + area.h - kJumpBottom - (1 - jump) * kJumpDrop,
                             kJumpSize, kJumpSize};
        const float cx = button.x + kJumpSize / 2;
        const float cy = button.y + kJumpSize / 2;
        const bool faded = jump < 1;
        if (faded) {
            graphics.PushLayer(jump, nullptr);
        }
        UI::Material::Shadow(graphics, button, kJumpSize / 2, 6);
        graphics.FillEllipse(cx, cy, kJumpSize / 2, kJumpSize / 2, palette.surfaceRaised);
        graphics.StrokeEllipse(cx, cy, kJumpSize / 2 - 0.5f, kJumpSize / 2 - 0.5f, palette.surfaceOverlay, 1);
        if (Kit::IconButton(ui, ui.MakeIdFromText("jump-latest"), button, UI::Material::Icon::ArrowDown, palette.accent,
                            L"Ir al final", jump > 0.5f, 22)) {
            if (newerBelow) {
                windowStart = -1;
                snapToBottom = true;
            }
            followLatest = true;
            scroll.target = kFarDown;
        }
        if (faded) {
            graphics.PopLayer();
        }
    }

    if (rows.empty()) {
        Kit::EmptyState(ui, ui.MakeIdFromText("chat-empty"), {area.x, area.y, area.w, area.h - kEmptyBottom},
                        UI::Material::Icon::ChatOutline, L"Empieza la historia",
                        L"Escribe tu primer mensaje abajo. Usa *asteriscos* para las acciones.", L"",
                        UI::Material::Icon::ChatOutline);
    }
}

}  // namespace Lorvex::Main
