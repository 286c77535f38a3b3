// The conversation list: the open character's chats, new and continued chats, their deletion,
// and the card of the persona played in the open chat.

#include <algorithm>
#include <cmath>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/chat/ChatBarTexts.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/ChatScreen.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Icons.h"
#include "ui/Motion.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kPad = 16;
constexpr float kButtonsTop = 54;
constexpr float kListTop = 108;
constexpr float kRowHeight = 70;
constexpr float kRowStep = 76;
constexpr float kCardHeight = 60;
constexpr float kCardBottom = 76;  // from the card's top to the sidebar's bottom
constexpr uint64_t kDeleteSalt = 0xde1;

TextStyle Line(float size, int32_t weight) {
    TextStyle style = Kit::KitStyle(size, weight);
    style.valign = VerticalAlign::Center;
    return style;
}

TextStyle CutLine(float size, int32_t weight) {
    TextStyle style = Line(size, weight);
    style.ellipsis = true;
    return style;
}

}  // namespace

void ChatScreen::DrawSidebar(UI::Ui& ui, const Rect& rect) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const std::shared_ptr<Character> character = state.currentCharacter;
    if (!character) {
        return;
    }
    const float l = rect.x + kPad;
    const float w = rect.w - 2 * kPad;

    graphics.FillRect(rect, Kit::Faded(palette.chrome, 0.6f));
    graphics.FillRect({rect.x + rect.w - 1, rect.y, 1, rect.h}, palette.outlineSubtle);

    // A copy: a row's delete or selection must not pull the list from under the loop.
    const ChatList chats = *character->chats;

    const std::wstring heading = L"Conversaciones";
    const TextStyle headingStyle = Line(16, 600);
    graphics.DrawText(heading, {l, rect.y + 18, w, 24}, palette.onBackground, headingStyle);
    const float headingWidth = graphics.MeasureText(heading, headingStyle, w).width;
    const std::wstring count = std::to_wstring(chats.size());
    Kit::Chip(ui, {l + headingWidth + 10, rect.y + 20, Kit::ChipWidth(ui, count, false), 20}, count, palette.primary,
              Icon::Chat, false);

    const float buttonWidth = (w - 8) / 2;
    if (Kit::Button(ui, ui.MakeIdFromText("chat-new"), {l, rect.y + kButtonsTop, buttonWidth, 40}, Icon::Plus, L"Nuevo",
                    palette.primary, true, true)) {
        state.NewChat();
        ResetForChat();
        owner->toasts.Push(L"Nuevo chat", Kit::ToastKind::Success);
    }
    const uint64_t continueId = ui.MakeIdFromText("chat-continue");
    if (Kit::Button(ui, continueId, {l + buttonWidth + 8, rect.y + kButtonsTop, buttonWidth, 40}, Icon::History,
                    L"Continuar", palette.secondary, false, true)) {
        state.ContinueChat();
        ResetForChat();
        owner->toasts.Push(L"Chat nuevo que recuerda el anterior", Kit::ToastKind::Success);
    }
    ui.Tooltip(continueId, L"Empieza un chat nuevo que recuerda lo último que pasó en este");

    const float cardTop = rect.y + rect.h - kCardBottom;
    const Rect listArea = {rect.x, rect.y + kListTop, rect.w, std::max(0.0f, cardTop - 12 - (rect.y + kListTop))};
    {
        UI::ScrollArea scroll(ui, ui.MakeIdFromText("chat-list"), listArea, 48);
        for (size_t i = 0; i < chats.size(); ++i) {
            const Rect row = {l, rect.y + kListTop + kRowStep * static_cast<float>(i), w, kRowHeight};
            if (ui.IsVisible(row, 20)) {
                DrawChatRow(ui, row, character, chats[i], i);
            }
        }
        scroll.content = kRowStep * static_cast<float>(chats.size());
    }

    DrawPersonaCard(ui, {l, cardTop, w, kCardHeight});
}

void ChatScreen::DrawChatRow(UI::Ui& ui, const Rect& row, const std::shared_ptr<Character>& character,
                             const std::shared_ptr<Chat>& chat, size_t index) {
    Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const uint64_t id = UI::NonZeroId(UI::Fnv1a64(ui.MakeIdFromText("chat-row"), chat->id));
    const uint64_t deleteId = UI::SaltedId(id, kDeleteSalt);
    const bool open = chat == state.currentChat;

    UI::Ui::ClipScope scope(ui);
    const double start = shownAt + static_cast<double>(std::min<size_t>(index, 16)) * 0.03;
    const float t = static_cast<float>(std::clamp((ui.time - start) / 0.3, 0.0, 1.0));
    if (t < 1) {
        ui.redraw = true;
    }
    const float e = 1 - std::pow(1 - t, 3.0f);
    if (e < 1) {
        graphics.PushLayer(e, nullptr);
        scope.layerPushed = true;
        ui.PushTranslate(-(1 - e) * 14, 0);
        scope.transformPushed = true;
    }

    // The row claims the pointer before its delete button, so the button drawn over it wins.
    const UI::Interaction interaction = ui.Interact(id, row);
    const bool hovered = interaction.hovered || ui.hover == deleteId;
    const float v = UI::Material::StateLayer(ui, id, hovered, interaction.held).first;
    const float s = UI::Material::Motion::EaseInOutCubic(
        ui.Approach(UI::SaltedId(UI::SaltedId(id, 5), 0x7066), open ? 1.0f : 0.0f, 0.2f));

    const Color fill = Kit::Mix(palette.onBackground, palette.primary, s);
    const float alpha =
        v * 0.04f * palette.onBackground.a + (0.14f * palette.primary.a - v * 0.04f * palette.onBackground.a) * s;
    graphics.FillRoundRect(row, 14, {fill.r, fill.g, fill.b, alpha});
    if (s > 0) {
        graphics.FillRoundRect({row.x, row.y + 16, 3, s * 38}, 1.5f, palette.primary);
    }

    graphics.DrawText(ChatBars::DateLine(chat->timestamp), {row.x + 14, row.y + 10, row.w - 70, 18},
                      open ? palette.primary : palette.onBackgroundMuted, Line(12, 500));
    std::wstring preview = Chat::LastMessagePreview(*chat);
    if (preview.empty()) {
        preview = L"(Chat vacío)";
    }
    graphics.DrawText(preview, {row.x + 14, row.y + 32, row.w - 28 - v * 30, 22},
                      Kit::Faded(palette.onBackground, 0.85f), CutLine(13.5f, 400));

    if (v < 1) {
        UI::Ui::ClipScope fade(ui);
        if (v > 0) {
            graphics.PushLayer(1 - v, nullptr);
            fade.layerPushed = true;
        }
        TextStyle countStyle = Line(11, 400);
        countStyle.align = TextAlign::Trailing;
        graphics.DrawText(ChatBars::CountLine(*chat), {row.x + row.w - 70, row.y + 10, 58, 18},
                          palette.onBackgroundMuted, countStyle);
    }

    bool removing = false;
    if (v > 0.01f) {
        UI::Ui::ClipScope fade(ui);
        graphics.PushLayer(v, nullptr);
        fade.layerPushed = true;
        removing = Kit::IconButton(ui, deleteId, {row.x + row.w - 38, row.y + 20, 30, 30}, Icon::Delete, palette.danger,
                                   L"Eliminar chat", true, 16);
    }

    if (removing) {
        AskDeleteChat(character, chat);
    } else if (interaction.clicked && !open) {
        state.SelectChat(chat);
        ResetForChat();
    }
}

void ChatScreen::DrawPersonaCard(UI::Ui& ui, const Rect& card) {
    const Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const uint64_t id = ui.MakeIdFromText("chat-persona");
    const UI::Interaction interaction = ui.Interact(id, card);
    const float v = UI::Material::StateLayer(ui, id, interaction.hovered, interaction.held).first;

    graphics.FillRoundRect(card, 16, palette.surface);
    graphics.StrokeRoundRect({card.x + 0.5f, card.y + 0.5f, card.w - 1, card.h - 1}, 15.5f,
                             Kit::Mix(palette.surfaceOverlay, palette.secondary, v), 1);

    const std::shared_ptr<Persona> persona = state.currentPersona;
    const std::wstring caption = ChatBars::CardCaption(*state.currentCharacter, persona.get());
    std::wstring name = L"Elige con quién juegas";
    if (persona) {
        Kit::Avatar(ui, {card.x + 12, card.y + 12, 36, 36}, persona->photoPath, persona->name, 0, {});
        name = persona->name;
    } else {
        graphics.FillEllipse(card.x + 30, card.y + 30, 18, 18, palette.surfaceContainer);
        UI::Material::DrawIcon(graphics, Icon::Person, {card.x + 20, card.y + 20, 20, 20}, palette.onBackgroundMuted);
    }
    graphics.DrawText(caption, {card.x + 58, card.y + 10, card.w - 100, 18}, palette.onBackgroundMuted,
                      Line(11.5f, 400));
    graphics.DrawText(name, {card.x + 58, card.y + 28, card.w - 100, 22}, palette.onBackground, CutLine(14, 600));
    UI::Material::DrawIcon(graphics, Icon::Tune, {card.x + card.w - 33, card.y + 21, 18, 18},
                           Kit::Faded(palette.onBackground, 0.6f + 0.4f * v));
    ui.Tooltip(id, L"Configurar el chat");
    if (interaction.clicked) {
        owner->chatConfigDialog->Open();
    }
}

bool ChatScreen::StillOpen(const std::shared_ptr<Character>& character) {
    const Services::AppState& state = Services::AppState::Instance();
    return character && character == state.currentCharacter &&
           std::find(state.characters.begin(), state.characters.end(), character) != state.characters.end();
}

void ChatScreen::AskDeleteChat(const std::shared_ptr<Character>& character, const std::shared_ptr<Chat>& chat) {
    owner->confirmDialog->Open(
        L"Eliminar chat", L"Se borrará este chat con todos sus mensajes. Esta acción no se puede deshacer.",
        L"Eliminar", true, [this, character, chat] { DeleteHeldChat(character, chat); }, Icon::AlertCircle);
}

void ChatScreen::DeleteHeldChat(const std::shared_ptr<Character>& character, const std::shared_ptr<Chat>& chat) {
    // The user may have opened another character while the confirmation waited (or a pull removed
    // this one): its chat is not what they were looking at any more.
    if (!StillOpen(character)) {
        return;
    }
    // A pull meanwhile may have put a newer record of this chat in the list (the open chat too), or
    // removed it: the user asked for the chat, not for that record.
    const auto held = std::find_if(character->chats->begin(), character->chats->end(),
                                   [&](const std::shared_ptr<Chat>& listed) { return listed->id == chat->id; });
    if (held == character->chats->end()) {
        return;
    }
    const std::shared_ptr<Chat> target = *held;
    Services::AppState& state = Services::AppState::Instance();
    const bool wasOpen = target == state.currentChat;
    state.DeleteChat(character, target);
    if (wasOpen) {
        if (character->chats->empty()) {
            state.NewChat();
        } else {
            state.SelectChat(character->chats->front());
        }
        ResetForChat();
    }
    owner->toasts.Push(L"Chat eliminado", Kit::ToastKind::Success);
}

}  // namespace Lorvex::Main
