// The composer: the band under the message list with the reply-mode strip, the input box with the
// AI button and the send/stop button, and the hint under it. It decides which Enter sends and hands
// the draft to the application state.

#include <windows.h>

#include <d2d1.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "domain/Settings.h"
#include "foundation/Text.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/dialogs/ContextMenu.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "services/state/AppState.h"
#include "ui/Material.h"
#include "ui/Motion.h"
#include "ui/TextEditor.h"

namespace Lorvex::Main {

namespace {

using UI::Material::Icon;

constexpr float kFontSize = 14.5f;
constexpr float kMaxLines = 7;
constexpr float kSideMargin = 48;
constexpr float kMaxColumn = 900;
constexpr float kAboveBox = 58;
constexpr float kBelowBox = 30;
constexpr float kBoxPadding = 28;
constexpr float kFade = 24;
constexpr float kBoxRadius = 24;
constexpr float kModeBarTop = 14;
constexpr float kModeBarHeight = 34;
constexpr double kFocusSeconds = 0.18;
constexpr double kActiveSeconds = 0.2;
constexpr uint64_t kFocusSalt = 0xF0C5;
constexpr uint64_t kActiveSalt = 0xAC71;
// Messages in the list's window: a window that no longer reaches the newest ones is left on Send.
constexpr int64_t kMessageWindow = 60;

TextStyle DraftStyle() {
    return Kit::KitStyle(kFontSize, 400);
}

// The send keys of this frame: Enter alone with the setting on, Ctrl+Enter with it off, each by
// the modifiers held as that Enter went down. They are consumed, and the typed carriage returns go
// with them, so the editor breaks no line for them.
bool TakeSendKeys(UI::Input& input, bool enterToSend) {
    bool send = false;
    for (UI::KeyEvent& key : input.keys) {
        if (key.vk != VK_RETURN || !key.down || key.handled) {
            continue;
        }
        if (enterToSend ? (!key.shift && !key.ctrl) : key.CtrlShortcut()) {
            key.handled = true;
            send = true;
        }
    }
    if (send) {
        input.EraseTyped(L'\r');
    }
    return send;
}

// The draft's editor inside the box.
UI::Material::TextFieldStyle EditorStyle() {
    const UI::Material::Theme& palette = Kit::KitPalette();
    UI::Material::TextFieldStyle style;
    style.textStyle = DraftStyle();
    style.multiLine = true;
    style.textColor = palette.onBackground;
    style.backgroundColor = {};
    style.borderColor = {};
    // Barely visible, so the editor draws no outline of its own inside the box.
    style.focusBorderColor = {0, 0, 0, 1 / 255.0f};
    style.caretColor = palette.primary;
    style.selectionColor = Kit::Faded(palette.accent, 0.3f);
    // The text starts where the placeholder stands, 9 DIPs under the editor's top; the bottom keeps
    // the box's single line whole.
    style.paddingLeft = 4;
    style.paddingRight = 4;
    style.paddingTop = 8;
    style.paddingBottom = 6;
    return style;
}

ContextMenu::Item MenuItem(std::wstring label, Icon icon, std::wstring hint, bool enabled,
                           std::function<void()> action) {
    ContextMenu::Item item;
    item.label = std::move(label);
    item.icon = icon;
    item.hint = std::move(hint);
    item.enabled = enabled;
    item.action = std::move(action);
    return item;
}

}  // namespace

float ChatScreen::ComposerHeight(UI::Ui& ui, float width) {
    Graphics& graphics = *ui.graphics;
    TextStyle style = DraftStyle();
    const float line = std::ceil(graphics.MeasureText(L"Ag", style, 100000).height);
    style.wrap = true;
    // Measured at the width the editor wraps at, so that no line breaks under the box's edge. That
    // width follows the box's height (the button slots grow with it up to two lines' worth), so
    // the draft is measured for a one-line box first and, when it needs more, for the box it needs.
    float textHeight = line;
    for (int pass = 0; pass < 2; ++pass) {
        const ComposerLayout layout = LayOutComposer({0, 0, width, textHeight + kAboveBox + kBoxPadding + kBelowBox});
        const float wrapWidth = UI::TextEditing::WrapWidth(layout.editor.w, EditorStyle());
        const float measured = graphics.MeasureText(composerText + L" ", style, wrapWidth).height;
        const float needed = std::clamp(std::ceil(measured), line, kMaxLines * line);
        if (needed == textHeight) {
            break;
        }
        textHeight = needed;
    }
    return textHeight + kAboveBox + kBoxPadding + kBelowBox;
}

ChatScreen::ComposerLayout ChatScreen::LayOutComposer(const Rect& band) {
    ComposerLayout layout;
    layout.column = std::min(band.w - kSideMargin, kMaxColumn);
    const float x0 = band.x + band.w / 2 - layout.column / 2;
    layout.modeBar = {x0, band.y + kModeBarTop, layout.column, kModeBarHeight};
    const Rect box = {x0, band.y + kAboveBox, layout.column, band.h - kAboveBox - kBelowBox};
    layout.box = box;
    // The two buttons sit in square slots at the box's bottom corners.
    const float slot = std::min(box.h, 52.0f);
    const float slotCentre = box.y + box.h - slot / 2;
    const float aiSide = std::min(slot - 8, 40.0f);
    layout.aiButton = {box.x + 2 + (slot - aiSide) / 2, slotCentre - aiSide / 2, aiSide, aiSide};
    const float sendSide = std::min(slot - 6, 44.0f);
    layout.sendButton = {box.x + box.w - (slot - sendSide) / 2 - 2 - sendSide, slotCentre - sendSide / 2, sendSide,
                         sendSide};
    const float aiRight = layout.aiButton.x + layout.aiButton.w;
    layout.editor = {aiRight + 6, box.y + 6, layout.sendButton.x - aiRight - 14, box.h - 12};
    layout.hint = {x0, box.y + box.h + 6, layout.column, 18};
    return layout;
}

void ChatScreen::DrawComposer(UI::Ui& ui, const Rect& rect) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Settings& settings = Settings::Instance();
    if (aiBusy) {
        AiJobOwnsComposer(aiGeneration);
    }

    // Messages scroll away under the band.
    graphics.FillLinearGradient({rect.x, rect.y - kFade, rect.w, kFade}, 0,
                                {{0, Kit::Faded(palette.background, 0)}, {1, palette.background}}, {0, 0}, {0, 1});
    graphics.FillRect(rect, palette.background);
    ui.BlockHover(rect, true);

    const ComposerLayout layout = LayOutComposer(rect);
    DrawModeBar(ui, layout.modeBar);

    const Rect& box = layout.box;
    const uint64_t inputId = ui.MakeIdFromText("chat-input");
    const float focus = ui.Approach(UI::SaltedId(inputId, kFocusSalt), ui.focus == inputId ? 1.0f : 0.0f,
                                    static_cast<float>(kFocusSeconds));
    if (aiBusy) {
        ui.redraw = true;
        graphics.GlowRound(box, kBoxRadius, palette.secondary, 18,
                           0.35f + 0.2f * static_cast<float>(std::sin(4 * ui.time)));
    } else if (focus > 0) {
        graphics.GlowRound(box, kBoxRadius, palette.accent, 18, 0.3f * focus);
    }
    UI::Material::Shadow(graphics, box, kBoxRadius, 2);
    graphics.FillRoundRect(box, kBoxRadius, palette.surface);
    const Color outline = aiBusy ? palette.secondary : Kit::Mix(palette.surfaceOverlay, palette.accent, focus);
    graphics.StrokeRoundRect({box.x + 0.5f, box.y + 0.5f, box.w - 1, box.h - 1}, kBoxRadius - 0.5f, outline,
                             1 + 0.5f * focus);

    DrawAiControl(ui, layout.aiButton);
    DrawSendButton(ui, layout.sendButton);

    // The editor, with the Enter rule ahead of it.
    const Rect& editor = layout.editor;
    bool send = false;
    if (ui.input && ui.focus == inputId && !aiBusy) {
        send = TakeSendKeys(*ui.input, settings.enter_to_send);
    }
    const UI::Material::TextFieldStyle style = EditorStyle();
    if (aiBusy) {
        // The text the AI is writing is not the user's to change meanwhile.
        std::wstring shown = composerText;
        ui.TextEdit(inputId, editor, shown, style);
    } else {
        ui.TextEdit(inputId, editor, composerText, style);
    }
    if (composerText.empty()) {
        TextStyle placeholder = DraftStyle();
        placeholder.ellipsis = true;
        graphics.DrawText(state.manualReplies ? L"Escribe tu mensaje... (modo manual)"
                                              : L"Escribe un mensaje... usa *asteriscos* para las acciones",
                          {editor.x + 5, editor.y + 9, editor.w - 10, 24}, palette.onBackgroundMuted, placeholder);
    }
    if (send) {
        Send();
    }

    TextStyle hintStyle = Kit::KitStyle(11.5f, 400);
    hintStyle.align = TextAlign::Center;
    hintStyle.valign = VerticalAlign::Center;
    const wchar_t* hint = aiBusy                   ? L"La IA está escribiendo en la caja..."
                          : settings.enter_to_send ? L"Enter para enviar · Shift+Enter para nueva línea"
                                                   : L"Ctrl+Enter para enviar";
    graphics.DrawText(hint, layout.hint, palette.onBackgroundMuted, hintStyle);
}

void ChatScreen::DrawAiControl(UI::Ui& ui, const Rect& rect) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const float cx = rect.x + rect.w / 2;
    const float cy = rect.y + rect.h / 2;
    if (aiBusy) {
        Kit::Spinner(ui, cx, cy, 10, palette.secondary, 2.5f);
        const uint64_t stopId = ui.MakeIdFromText("ai-stop");
        const UI::Interaction stop = ui.Interact(stopId, rect, true, true);
        ui.Tooltip(stopId, L"Cancelar");
        if (stop.clicked) {
            CancelAiWrite();
        }
        return;
    }
    const bool hasChat = Services::AppState::Instance().currentChat != nullptr;
    if (!Kit::IconButton(ui, ui.MakeIdFromText("ai-btn"), rect, Icon::SparklesAlt, palette.secondary,
                         L"Escribir con IA", hasChat, 22)) {
        return;
    }
    const bool blank = Text::Trim(composerText).empty();
    std::vector<ContextMenu::Item> items;
    items.push_back(
        MenuItem(L"Escribir mi mensaje", Icon::Sparkles,
                 composerText.empty() ? L"La IA escribe tu próxima respuesta" : L"Usa lo que has escrito como idea",
                 true, [this] { AiWrite(false); }));
    items.push_back(MenuItem(L"Mejorar mi texto", Icon::MagicWand, L"Más expresivo, sin cambiar lo que dices", !blank,
                             [this] { AiWrite(true); }));
    owner->contextMenu->Open(ui.ToWindow(rect), std::move(items), false, true);
}

void ChatScreen::DrawSendButton(UI::Ui& ui, const Rect& rect) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const bool replying = !state.runningReplies.empty();
    const bool hasText = !Text::Trim(composerText).empty() && !aiBusy;
    const bool enabled = replying || hasText;

    const uint64_t id = ui.MakeIdFromText("send-btn");
    const UI::Interaction interaction = ui.Interact(id, rect, enabled, true);
    const auto [hover, press] = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held);
    const float a =
        ui.Approach(UI::SaltedId(id, kActiveSalt), enabled ? 1.0f : 0.0f, static_cast<float>(kActiveSeconds));
    const float cx = rect.x + rect.w / 2;
    const float cy = rect.y + rect.h / 2;
    const float radius = rect.w / 2;
    ui.PushScale((1 - 0.08f * press) * (0.9f + 0.1f * a) * (1 + 0.05f * hover), cx, cy);
    if (a > 0) {
        graphics.GlowRound(rect, radius, replying ? palette.danger : palette.accent, 14, (0.3f + 0.3f * hover) * a);
    }
    if (replying) {
        graphics.FillEllipse(cx, cy, radius, radius, palette.danger);
        graphics.FillRoundRect({cx - 7, cy - 7, 14, 14}, 3, {1, 1, 1, 1});
    } else {
        graphics.FillLinearGradient(rect, radius,
                                    {{0, Kit::Mix(palette.surfaceContainer, palette.accent, a)},
                                     {1, Kit::Mix(palette.surfaceContainer, palette.secondary, a)}},
                                    {0, 0}, {1, 1});
        UI::Material::DrawIcon(graphics, Icon::Send, {cx + 2 - 10, cy - 10, 20, 20},
                               Kit::Mix(palette.onBackgroundMuted, {1, 1, 1, 1}, a));
    }
    UI::Material::Ripple(ui, id, interaction, rect, radius, {1, 1, 1, 0.5f});
    ui.PopTransform();
    ui.Tooltip(id, replying ? L"Detener la respuesta" : L"Enviar");

    if (!interaction.clicked) {
        return;
    }
    if (!replying) {
        Send();
        return;
    }
    for (Services::AppState::RunningReply& reply : state.runningReplies) {
        reply.cancel.Set();
    }
    StateChanged();
}

void ChatScreen::Send() {
    Services::AppState& state = Services::AppState::Instance();
    const std::wstring text = Text::Trim(composerText);
    if (text.empty() || !state.currentChat || aiBusy) {
        return;
    }
    composerText.clear();
    const auto count = static_cast<int64_t>(state.currentChat->messages.size());
    if (windowStart >= 0 && windowStart + kMessageWindow < count) {
        windowStart = -1;
    }
    followLatest = true;
    state.SendMessage(text);
}

}  // namespace Lorvex::Main
