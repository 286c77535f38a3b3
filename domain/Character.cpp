#include "domain/Records.h"

#include <utility>

#include "foundation/Time.h"

namespace Lorvex {

Character::Character(Character&& other) noexcept
    : id(std::move(other.id)),
      name(std::move(other.name)),
      age(std::move(other.age)),
      gender(std::move(other.gender)),
      orientation(std::move(other.orientation)),
      traits(std::move(other.traits)),
      personality(std::move(other.personality)),
      background(std::move(other.background)),
      scenario(std::move(other.scenario)),
      initial_message(std::move(other.initial_message)),
      speech_style(std::move(other.speech_style)),
      nsfw_allowed(other.nsfw_allowed),
      photoPath(std::move(other.photoPath)),
      known_characters(std::move(other.known_characters)),
      is_dual_mode(other.is_dual_mode),
      dual_partner_id(std::move(other.dual_partner_id)),
      memory(std::move(other.memory)),
      persona_overrides(std::move(other.persona_overrides)),
      folder(std::move(other.folder)),
      chats(std::move(other.chats)) {
    other.chats = std::make_shared<ChatList>();
}

Character& Character::operator=(Character&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    id = std::move(other.id);
    name = std::move(other.name);
    age = std::move(other.age);
    gender = std::move(other.gender);
    orientation = std::move(other.orientation);
    traits = std::move(other.traits);
    personality = std::move(other.personality);
    background = std::move(other.background);
    scenario = std::move(other.scenario);
    initial_message = std::move(other.initial_message);
    speech_style = std::move(other.speech_style);
    nsfw_allowed = other.nsfw_allowed;
    photoPath = std::move(other.photoPath);
    known_characters = std::move(other.known_characters);
    is_dual_mode = other.is_dual_mode;
    dual_partner_id = std::move(other.dual_partner_id);
    memory = std::move(other.memory);
    persona_overrides = std::move(other.persona_overrides);
    folder = std::move(other.folder);
    chats = std::move(other.chats);
    other.chats = std::make_shared<ChatList>();
    return *this;
}

std::shared_ptr<Character> Character::Create() {
    auto character = std::make_shared<Character>();
    character->id = Time::NewUuid();
    return character;
}

std::shared_ptr<Persona> Character::ApplyPersonaOverride(std::shared_ptr<Persona> persona, const Character* character) {
    if (!persona || !character) {
        return persona;
    }
    auto entry = character->persona_overrides.find(persona->id);
    if (entry == character->persona_overrides.end()) {
        return persona;
    }
    const PersonaOverride& seen = entry->second;
    if (!seen.traits && !seen.personality) {
        return persona;
    }
    auto copy = std::make_shared<Persona>(*persona);
    if (seen.traits) {
        copy->traits = *seen.traits;
    }
    if (seen.personality) {
        copy->personality = *seen.personality;
    }
    return copy;
}

std::shared_ptr<Persona> Character::ApplyPersonaOverride(const std::shared_ptr<Persona>& persona,
                                                         const Character& character) {
    return ApplyPersonaOverride(persona, &character);
}

std::wstring Character::LatestActivity(const Character& character) {
    // Only the greatest stamp is copied: the home screen sorts a heavy user's thousand characters
    // by it in every frame.
    static const std::wstring none;
    const std::wstring* latest = &none;
    if (!character.chats) {
        return *latest;
    }
    for (const auto& chat : *character.chats) {
        if (!chat) {
            continue;
        }
        if (chat->timestamp > *latest) {
            latest = &chat->timestamp;
        }
        for (auto it = chat->messages.rbegin(); it != chat->messages.rend(); ++it) {
            const auto& message = *it;
            if (!message || message->is_typing) {
                continue;
            }
            if (message->timestamp > *latest) {
                latest = &message->timestamp;
            }
            break;
        }
    }
    return *latest;
}

}  // namespace Lorvex
