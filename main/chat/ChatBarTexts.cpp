#include "main/chat/ChatBarTexts.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include "foundation/Time.h"

namespace Lorvex::Main::ChatBars {

std::wstring DateLine(const std::wstring& stamp) {
    std::wstring line = Time::DayLabel(stamp) + L" · ";
    if (const std::optional<SYSTEMTIME> time = Time::ParseIso(stamp)) {
        wchar_t clock[16];
        std::swprintf(clock, 16, L"%02u:%02u", static_cast<unsigned>(time->wHour),
                      static_cast<unsigned>(time->wMinute));
        line += clock;
    }
    return line;
}

std::wstring CountLine(const Chat& chat) {
    const auto settled = std::count_if(chat.messages.begin(), chat.messages.end(),
                                       [](const std::shared_ptr<Message>& m) { return !m->is_typing; });
    return std::to_wstring(settled) + L" msj";
}

std::wstring CardCaption(const Character& character, const Persona* persona) {
    if (!persona) {
        return L"Sin usuario";
    }
    const auto found = character.persona_overrides.find(persona->id);
    const bool adjusted = found != character.persona_overrides.end() &&
                          (found->second.traits.has_value() || found->second.personality.has_value());
    return adjusted ? L"Juegas como (personalizada)" : L"Juegas como";
}

std::wstring Writer(const Chat* chat, const Character& character) {
    if (!chat) {
        return {};
    }
    for (const std::shared_ptr<Message>& message : chat->messages) {
        if (message->is_typing) {
            return message->character_name ? *message->character_name : character.name;
        }
    }
    return {};
}

std::wstring PersonaStatus(const Persona* persona, bool manualReplies) {
    std::wstring status = persona ? L"Juegas como " + persona->name : L"Sin usuario seleccionado";
    if (manualReplies) {
        status += L" · modo manual";
    }
    return status;
}

}  // namespace Lorvex::Main::ChatBars
