// The chat column's top bar (who the chat is with, who is writing, the chat's actions) and the
// chat menu behind its last button.

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/chat/ChatBarTexts.h"
#include "main/chat/ChatConfigDialog.h"
#include "main/chat/ChatScreen.h"
#include "main/dialogs/ContextMenu.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "services/state/AppState.h"
#include "ui/Icons.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kButtonSize = 40;
constexpr float kButtonStep = 44;

// A chat menu entry; the destructive one stands apart below a divider.
ContextMenu::Item Entry(std::wstring label, Icon icon, bool destructive, std::function<void()> action) {
    ContextMenu::Item item;
    item.danger = destructive;
    item.separator = destructive;
    item.label = std::move(label);
    item.icon = icon;
    item.action = std::move(action);
    return item;
}

template <class Record>
bool Holds(const std::vector<std::shared_ptr<Record>>& records, const std::shared_ptr<Record>& record) {
    return std::find(records.begin(), records.end(), record) != records.end();
}

}  // namespace

void ChatScreen::DrawTopBar(UI::Ui& ui, const Rect& rect) {
    const Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const std::shared_ptr<Character> character = state.currentCharacter;
    if (!character) {
        return;
    }
    const std::shared_ptr<Character> partner = state.dualMode ? state.dualPartner : nullptr;

    graphics.FillRect(rect, Kit::Faded(palette.background, 0.92f));
    graphics.FillRect({rect.x, rect.y + rect.h - 1, rect.w, 1}, palette.outlineSubtle);
    ui.BlockHover(rect, true);

    const float l = rect.x + 22;
    const float avatarTop = rect.y + rect.h / 2 - 20;
    Kit::Avatar(ui, {l, avatarTop, 40, 40}, character->photoPath, character->name, 2, palette.primary);
    if (partner) {
        Kit::Avatar(ui, {l + 26, avatarTop, 40, 40}, partner->photoPath, partner->name, 2, palette.secondary);
    }
    const float t = partner ? l + 80 : l + 54;
    const float m = rect.x + rect.w - t - 250;

    TextStyle titleStyle = Kit::KitStyle(17, 600);
    titleStyle.valign = VerticalAlign::Center;
    titleStyle.ellipsis = true;
    const std::wstring title = partner ? character->name + L" y " + partner->name : character->name;
    graphics.DrawText(title, {t, rect.y + 13, m, 24}, palette.onBackground, titleStyle);

    const std::wstring writer = ChatBars::Writer(state.currentChat.get(), *character);
    if (!writer.empty()) {
        TextStyle style = Kit::KitStyle(12.5f, 500);
        style.valign = VerticalAlign::Center;
        const std::wstring text = writer + L" está escribiendo";
        graphics.DrawText(text, {t, rect.y + 37, m, 20}, palette.primary, style);
        const float width = graphics.MeasureText(text, style, m).width;
        Kit::TypingDots(ui, t + width + 6, rect.y + 49, palette.primary, 4);
    } else {
        graphics.FillEllipse(t + 4, rect.y + 47, 4, 4, palette.success);
        const std::wstring status = ChatBars::PersonaStatus(state.currentPersona.get(), state.manualReplies);
        TextStyle style = Kit::KitStyle(12.5f, 400);
        style.valign = VerticalAlign::Center;
        style.ellipsis = true;
        graphics.DrawText(status, {t + 14, rect.y + 37, m - 14, 20}, palette.onBackgroundMuted, style);
    }

    const float top = rect.y + rect.h / 2 - 20;
    const auto button = [&](int slot, const char* name, Icon icon, const wchar_t* tooltip, Rect* placed) {
        const Rect r = {rect.x + rect.w - 58 - kButtonStep * static_cast<float>(slot), top, kButtonSize, kButtonSize};
        if (placed) {
            *placed = r;
        }
        return Kit::IconButton(ui, ui.MakeIdFromText(name), r, icon, palette.onBackground, tooltip, true, 20);
    };
    Rect more;
    if (button(0, "top-more", Icon::DotsVertical, L"Más", &more)) {
        ShowChatMenu(ui.ToWindow(more));
    }
    if (button(1, "top-copy", Icon::Copy, L"Copiar toda la conversación", nullptr)) {
        CopyConversation();
    }
    if (button(2, "top-config", Icon::Tune, L"Configuración del chat", nullptr)) {
        owner->chatConfigDialog->Open();
    }
    if (button(3, "top-known", Icon::PersonGroup, L"Personajes conocidos", nullptr)) {
        OpenKnownPeople(character, state.currentPersona);
    }
    if (button(4, "top-edit", Icon::Pencil, L"Editar personaje", nullptr)) {
        owner->characterFormScreen->StartEdit(character);
        owner->Navigate(kCharacterFormScreen);
    }
}

void ChatScreen::OpenKnownPeople(const std::shared_ptr<Character>& character, const std::shared_ptr<Persona>& persona) {
    // The dialog edits copies; a save lands only while the chat it was opened from is still the
    // one shown, and a persona's only while that persona still exists.
    const auto saveCharacter = [character](const std::vector<KnownCharacter>& edited) {
        if (StillOpen(character)) {
            character->known_characters = edited;
            Services::AppState::Instance().SaveCharacter(character);
        }
    };
    if (!persona) {
        owner->knownCharactersDialog->OpenOne(character->name, character->known_characters, saveCharacter);
        return;
    }
    const auto savePersona = [character, persona](const std::vector<KnownCharacter>& edited) {
        Services::AppState& state = Services::AppState::Instance();
        if (StillOpen(character) && Holds(state.personas, persona)) {
            persona->known_characters = edited;
            state.SavePersona(persona);
        }
    };
    owner->knownCharactersDialog->Open(character->name, character->known_characters, saveCharacter, persona->name,
                                       persona->known_characters, savePersona);
}

void ChatScreen::ShowChatMenu(const Rect& anchor) {
    const Services::AppState& state = Services::AppState::Instance();
    const std::shared_ptr<Character> character = state.currentCharacter;
    if (!character) {
        return;
    }
    const std::shared_ptr<Chat> chat = state.currentChat;
    const std::shared_ptr<Character> partner = state.dualMode ? state.dualPartner : nullptr;

    // Each action holds what it was offered for and does nothing once that is no longer open.
    std::vector<ContextMenu::Item> items;
    if (partner) {
        items.push_back(Entry(L"Editar a " + partner->name, Icon::PersonEdit, false, [this, character, partner] {
            if (StillOpen(character) && Holds(Services::AppState::Instance().characters, partner)) {
                owner->characterFormScreen->StartEdit(partner);
                owner->Navigate(kCharacterFormScreen);
            }
        }));
    }
    items.push_back(Entry(L"Copiar la conversación", Icon::Copy, false, [this, character] {
        if (StillOpen(character)) {
            CopyConversation();
        }
    }));
    items.push_back(Entry(L"Eliminar este chat", Icon::Delete, true, [this, character, chat] {
        if (StillOpen(character) && chat) {
            AskDeleteChat(character, chat);
        }
    }));
    items.push_back(Entry(L"Volver al inicio", Icon::Home, false, [this, character] {
        if (StillOpen(character)) {
            Services::AppState::Instance().CloseChat();
            owner->Navigate(kHomeScreen);
        }
    }));
    owner->contextMenu->Open(anchor, std::move(items), true, false);
}

}  // namespace Lorvex::Main
