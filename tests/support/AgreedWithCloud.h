#pragma once
// For tests that hand the application state pulled rows: puts the sync in the state a round
// leaves when this PC and the cloud agree on every record it holds, with nothing queued, so that
// what changes here afterwards is this PC's own change and a pulled deletion of an untouched
// record deletes it. UI thread, like the state it reads.

#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"

namespace Lorvex::Testing {

inline void AgreeWithCloudOnEverything() {
    const Services::AppState& state = Services::AppState::Instance();
    Services::CloudSync& cloud = Services::CloudSync::Instance();
    for (const auto& persona : state.personas) {
        cloud.MarkSynced(L"persona", persona->id, Persona::ToJson(*persona));
    }
    for (const auto& character : state.characters) {
        cloud.MarkSynced(L"character", character->id, Character::ToJson(*character));
        for (const auto& chat : *character->chats) {
            cloud.MarkSynced(L"chat", Services::CloudSync::ChatItemId(character->id, chat->id), Chat::ToJson(*chat));
        }
    }
    cloud.pending.clear();
}

}  // namespace Lorvex::Testing
