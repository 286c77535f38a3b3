// The card menu of the home grid and the confirmations behind its destructive entries.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/ContextMenu.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharactersDialog.h"
#include "main/home/HomeScreen.h"
#include "services/state/AppState.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

ContextMenu::Item MenuItem(std::wstring label, Icon icon, std::function<void()> action) {
    ContextMenu::Item item;
    item.label = std::move(label);
    item.icon = icon;
    item.action = std::move(action);
    return item;
}

}  // namespace

void HomeScreen::ShowCardMenu(const Rect& anchor, const std::shared_ptr<Character>& character) {
    // Every action holds its own reference: the character outlives the menu and the confirmation
    // even when it leaves the list meanwhile, and each action checks that it is still there.
    std::vector<ContextMenu::Item> items;
    items.push_back(MenuItem(L"Abrir chat", Icon::Chat, [this, character] {
        if (StillThere(character)) {
            owner->OpenCharacter(character);
        }
    }));
    items.push_back(MenuItem(L"Editar personaje", Icon::Pencil, [this, character] {
        if (StillThere(character)) {
            owner->characterFormScreen->StartEdit(character);
            owner->Navigate(kCharacterFormScreen);
        }
    }));
    items.push_back(MenuItem(L"Personajes conocidos", Icon::PersonGroup, [this, character] {
        if (StillThere(character)) {
            EditKnownPeople(character);
        }
    }));
    ContextMenu::Item deleteChats = MenuItem(L"Borrar todos los chats", Icon::DeleteSweep, [this, character] {
        if (StillThere(character)) {
            AskToDeleteChats(character);
        }
    });
    deleteChats.danger = true;
    deleteChats.separator = true;
    items.push_back(std::move(deleteChats));
    ContextMenu::Item deleteCharacter = MenuItem(L"Borrar personaje", Icon::Delete, [this, character] {
        if (StillThere(character)) {
            AskToDeleteCharacter(character);
        }
    });
    deleteCharacter.danger = true;
    items.push_back(std::move(deleteCharacter));
    owner->contextMenu->Open(anchor, std::move(items), true, false);
}

bool HomeScreen::StillThere(const std::shared_ptr<Character>& character) {
    // A pull from the cloud may have removed the character while the menu or a dialog was open;
    // saving it then would bring its folder back and upload it again.
    const auto& characters = Services::AppState::Instance().characters;
    if (std::find(characters.begin(), characters.end(), character) != characters.end()) {
        return true;
    }
    owner->toasts.Push(L"Este personaje ya no existe.", Kit::ToastKind::Error);
    return false;
}

void HomeScreen::EditKnownPeople(const std::shared_ptr<Character>& character) {
    owner->knownCharactersDialog->OpenOne(
        character->name, character->known_characters, [this, character](const std::vector<KnownCharacter>& edited) {
            if (!StillThere(character)) {
                return;
            }
            if (&edited != &character->known_characters) {
                character->known_characters = edited;
            }
            // The dialog has closed by now: the toast is all that tells the user the list was not kept.
            if (!Services::AppState::Instance().SaveCharacter(character)) {
                owner->toasts.Push(L"No se pudieron guardar los cambios.", Kit::ToastKind::Error);
            }
        });
}

void HomeScreen::AskToDeleteChats(const std::shared_ptr<Character>& character) {
    const size_t count = character->chats->size();
    if (count == 0) {
        owner->toasts.Push(character->name + L" no tiene chats.", Kit::ToastKind::Info);
        return;
    }
    owner->confirmDialog->Open(
        L"Borrar chats",
        L"Se borrarán los " + std::to_wstring(count) + L" chats de " + character->name +
            L". Esta acción no se puede deshacer.",
        L"Borrar chats", true,
        [this, character] {
            if (!StillThere(character)) {
                return;
            }
            Services::AppState::Instance().DeleteAllChats(character);
            owner->toasts.Push(L"Chats borrados", Kit::ToastKind::Success);
        },
        Icon::AlertCircle);
}

void HomeScreen::AskToDeleteCharacter(const std::shared_ptr<Character>& character) {
    owner->confirmDialog->Open(
        L"Borrar personaje",
        L"Se borrará a " + character->name + L" con todos sus chats. Esta acción no se puede deshacer.", L"Borrar",
        true,
        [this, character] {
            if (!StillThere(character)) {
                return;
            }
            const std::wstring name = character->name;
            Services::AppState::Instance().DeleteCharacter(character);
            owner->toasts.Push(name + L" se ha borrado", Kit::ToastKind::Success);
        },
        Icon::AlertCircle);
}

}  // namespace Lorvex::Main
