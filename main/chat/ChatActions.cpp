// What the user can do to one message: the hover bar beside its bubble, the "more" menu, the
// speaker menu of a reply, editing through the text edit dialog and cutting the conversation from
// a message on. Every action holds the message's record and looks for it in the open chat again
// when it runs: the list may have changed, or another chat opened, while a menu or dialog was up.

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Markup.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/chat/ChatScreen.h"
#include "main/chat/TextEditDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kSlot = 32;
constexpr float kBarRadius = 12;

bool InOpenChat(const std::shared_ptr<Message>& message) {
    const Services::AppState& state = Services::AppState::Instance();
    return state.currentChat && message &&
           std::find(state.currentChat->messages.begin(), state.currentChat->messages.end(), message) !=
               state.currentChat->messages.end();
}

// A failed copy says so: the user would otherwise paste whatever the clipboard held before.
void CopyWithToast(Kit::Toasts& toasts, const std::wstring& text, const std::wstring& copied) {
    if (Text::CopyToClipboard(text)) {
        toasts.Push(copied, Kit::ToastKind::Success);
    } else {
        toasts.Push(L"No se pudo copiar al portapapeles", Kit::ToastKind::Error);
    }
}

// The speaker's name is the name the reply is shown and grouped under; the chat file keeps it.
void SetSpeakerName(const std::shared_ptr<Message>& message, std::optional<std::wstring> name) {
    Services::AppState& state = Services::AppState::Instance();
    if (!state.currentCharacter || !InOpenChat(message)) {
        return;
    }
    message->character_name = std::move(name);
    state.SaveCurrentChat();
    ChatScreen::StateChanged();
}

// Who answers again after the message: in a duo the character who wrote it, when it still exists.
std::shared_ptr<Character> ReplyAgainSpeaker(const Message& message) {
    const Services::AppState& state = Services::AppState::Instance();
    if (state.dualMode && message.character_id) {
        for (const std::shared_ptr<Character>& character : state.characters) {
            if (character->id == *message.character_id) {
                return character;
            }
        }
    }
    return state.currentCharacter;
}

// Removes the message and everything after it from the open chat and stops the replies still
// being written there.
void CutFrom(const std::shared_ptr<Message>& message) {
    Services::AppState& state = Services::AppState::Instance();
    if (!InOpenChat(message)) {
        return;
    }
    const std::shared_ptr<Chat> chat = state.currentChat;
    auto& messages = chat->messages;
    messages.erase(std::find(messages.begin(), messages.end(), message), messages.end());
    for (Services::AppState::RunningReply& running : state.runningReplies) {
        if (running.chat == chat && std::find(messages.begin(), messages.end(), running.message) == messages.end()) {
            running.cancel.Set();
        }
    }
    state.SaveCurrentChat();
    ChatScreen::StateChanged();
}

}  // namespace

uint64_t ChatScreen::ActionId(const Message* message, UI::Material::Icon icon) {
    return UI::SaltedId(UI::MakeId("chat-actions", reinterpret_cast<uintptr_t>(message)), static_cast<uint64_t>(icon));
}

void ChatScreen::DrawMessageActions(UI::Ui& ui, const MessageRow& row, const Rect& bubble, float amount) {
    const Services::AppState& state = Services::AppState::Instance();
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const std::shared_ptr<Message> message = row.message;
    const Rect bar = ActionBarRect(graphics.Width(), row.isUser, state.dualMode, bubble);

    struct Slot {
        const wchar_t* label;
        Icon icon;
        std::function<void(const Rect& anchor)> run;
    };
    std::vector<Slot> slots;
    slots.push_back({L"Copiar", Icon::Copy, [this, message](const Rect&) {
                         if (InOpenChat(message)) {
                             CopyWithToast(owner->toasts, message->content, L"Mensaje copiado");
                         }
                     }});
    slots.push_back({L"Editar", Icon::Pencil, [this, message](const Rect&) { EditMessage(message); }});
    if (!row.isUser) {
        slots.push_back({L"Regenerar", Icon::Refresh,
                         [message](const Rect&) { Services::AppState::Instance().RegenerateReply(message); }});
        if (!state.dualMode) {
            slots.push_back({L"Cambiar quién habla", Icon::PersonEdit,
                             [this, message](const Rect& anchor) { ShowSpeakerMenu(anchor, message); }});
        }
    }
    slots.push_back({L"Eliminar", Icon::Delete, [this, message](const Rect&) {
                         if (InOpenChat(message)) {
                             Services::AppState::Instance().DeleteMessage(message);
                             owner->toasts.Push(L"Mensaje eliminado", Kit::ToastKind::Info);
                         }
                     }});
    slots.push_back(
        {L"Más", Icon::DotsHorizontal, [this, message](const Rect& anchor) { ShowMessageMenu(anchor, message); }});

    graphics.PushLayer(amount, nullptr);
    ui.PushTranslate(0, (1 - amount) * 4);
    UI::Material::Shadow(graphics, bar, kBarRadius, 4);
    graphics.FillRoundRect(bar, kBarRadius, palette.surfaceRaised);
    graphics.StrokeRoundRect({bar.x + 0.5f, bar.y + 0.5f, bar.w - 1, bar.h - 1}, kBarRadius - 0.5f,
                             palette.surfaceOverlay, 1);
    // The bar may stand over the bubble above: nothing beneath it reacts to the pointer.
    ui.BlockHover(bar, false);
    for (size_t i = 0; i < slots.size(); ++i) {
        const Slot& slot = slots[i];
        const Rect rect = {bar.x + 5 + kSlot * static_cast<float>(i), bar.y + 3, kSlot, kSlot};
        const Color color = slot.icon == Icon::Delete ? palette.danger : palette.onBackground;
        if (Kit::IconButton(ui, ActionId(message.get(), slot.icon), rect, slot.icon, color, slot.label, amount > 0.6f,
                            16)) {
            // After the frame: the action may change the list this frame is drawing.
            ui.Defer([run = slot.run, anchor = ui.ToWindow(rect)] { run(anchor); });
        }
    }
    ui.PopTransform();
    graphics.PopLayer();
}

void ChatScreen::ShowMessageMenu(const Rect& anchor, const std::shared_ptr<Message>& message) {
    const Services::AppState& state = Services::AppState::Instance();
    std::vector<ContextMenu::Item> items;

    ContextMenu::Item plain;
    plain.label = L"Copiar texto sin formato";
    plain.icon = Icon::Copy;
    plain.action = [this, message] {
        if (InOpenChat(message)) {
            CopyWithToast(owner->toasts, Text::PlainText(message->content), L"Texto copiado");
        }
    };
    items.push_back(std::move(plain));

    if (message->role == L"assistant" && !state.manualReplies) {
        ContextMenu::Item again;
        again.label = L"Responder otra vez después";
        again.icon = Icon::Message;
        again.action = [message] {
            Services::AppState& current = Services::AppState::Instance();
            if (!InOpenChat(message)) {
                return;
            }
            if (const std::shared_ptr<Character> speaker = ReplyAgainSpeaker(*message)) {
                current.ReplyNow(speaker);
            }
        };
        items.push_back(std::move(again));
    }

    ContextMenu::Item cut;
    cut.label = L"Eliminar desde aquí";
    cut.icon = Icon::DeleteSweep;
    cut.danger = true;
    cut.separator = true;
    cut.hint = L"Rebobina la historia hasta este punto";
    cut.action = [this, message] {
        if (InOpenChat(message)) {
            owner->confirmDialog->Open(
                L"Eliminar desde aquí", L"Se borrarán este mensaje y todos los que vienen después.", L"Eliminar", true,
                [message] { CutFrom(message); }, Icon::AlertCircle);
        }
    };
    items.push_back(std::move(cut));

    owner->contextMenu->Open(anchor, std::move(items), message->role == L"user", false);
}

void ChatScreen::ShowSpeakerMenu(const Rect& anchor, const std::shared_ptr<Message>& message) {
    const Services::AppState& state = Services::AppState::Instance();
    if (!state.currentCharacter) {
        return;
    }
    const std::optional<std::wstring>& current = message->character_name;
    std::vector<ContextMenu::Item> items;
    const auto speaker = [&](std::wstring label, Icon icon, std::optional<std::wstring> name) {
        ContextMenu::Item item;
        item.label = std::move(label);
        item.icon = icon;
        item.selected = current == name;
        item.action = [message, name] { SetSpeakerName(message, name); };
        items.push_back(std::move(item));
    };
    // One entry per known person: matched by its bubble name when it has one, else by its name.
    const auto addPeople = [&](const std::vector<KnownCharacter>& people, Icon icon, const std::wstring& hint) {
        for (const KnownCharacter& person : people) {
            const bool bubbleNamed = !person.bubble_name.empty();
            speaker(bubbleNamed ? person.name + L" (" + person.bubble_name + L")" : person.name, icon,
                    bubbleNamed ? person.bubble_name : person.name);
            items.back().hint = hint;
        }
    };

    speaker(L"Detectar automáticamente", Icon::MagicWand, std::nullopt);
    speaker(state.currentCharacter->name, Icon::Person, state.currentCharacter->name);
    items.back().separator = true;
    addPeople(state.currentCharacter->known_characters, Icon::PersonGroup, L"");
    if (state.currentPersona && !state.currentPersona->known_characters.empty()) {
        const size_t first = items.size();
        addPeople(state.currentPersona->known_characters, Icon::PersonHeart,
                  L"Conocido de " + state.currentPersona->name);
        items[first].separator = true;
    }
    owner->contextMenu->Open(anchor, std::move(items), message->role == L"user", false);
}

void ChatScreen::EditMessage(const std::shared_ptr<Message>& message) {
    const Services::AppState& state = Services::AppState::Instance();
    if (!InOpenChat(message) || !state.currentCharacter) {
        return;
    }
    const bool isUser = message->role == L"user";
    TextEditDialog& dialog = *owner->textEditDialog;
    dialog.title = isUser ? L"Editar tu mensaje" : L"Editar mensaje";
    dialog.subtitle =
        isUser ? L"Tu mensaje" : L"Respuesta de " + message->character_name.value_or(state.currentCharacter->name);
    dialog.editText = message->content;
    dialog.note.clear();
    if (isUser && !state.manualReplies) {
        dialog.note = message == state.currentChat->messages.back()
                          ? L"El personaje responderá de nuevo."
                          : L"Se borrarán los mensajes posteriores y el personaje responderá de nuevo.";
    }
    dialog.headerIcon = Icon::PencilOutline;
    dialog.accent = Color{0, 0, 0, 0};
    dialog.focusPending = true;
    dialog.onSave = [message](const std::wstring& text) { Services::AppState::Instance().EditMessage(message, text); };
    dialog.Open();
}

}  // namespace Lorvex::Main
