// What turns a single character's prompt into a duo member's: the group context and the history
// seen from one of the two.

#include "services/ai/DuoPrompts.h"

#include <utility>

namespace Lorvex::Services {

std::wstring DuoScenario(const Character& character, const Character* partner) {
    std::wstring scenario = character.scenario;
    if (partner == nullptr) {
        return scenario;
    }
    scenario += L"\n\n=== CONTEXTO DE CONVERSACION GRUPAL ===";
    scenario += L"\n\nTu identidad: Eres " + character.name;
    scenario += L"\n\nPersonas presentes:\n1. El usuario\n2. " + partner->name + L" (personalidad: " +
                partner->personality + L")";
    scenario += L"\n\n=== REGLAS CRITICAS ===";
    scenario += L"\n1. Responde SOLAMENTE como " + character.name;
    scenario += L"\n2. NO copies ni repitas lo que dijo " + partner->name;
    scenario += L"\n3. Tu respuesta debe ser natural y propia";
    return scenario;
}

std::vector<Message> DuoHistory(const std::vector<Message>& history, const std::wstring& speakerId) {
    std::vector<Message> rewritten;
    rewritten.reserve(history.size());
    for (const Message& message : history) {
        if (!Message::IsSettled(message)) {
            continue;
        }
        if (message.role == L"assistant" && message.character_id && *message.character_id != speakerId) {
            Message report;
            report.role = L"user";
            report.content = L"[" + message.character_name.value_or(L"") + L" respondio: " + message.content + L"]";
            report.timestamp = message.timestamp;
            rewritten.push_back(std::move(report));
            continue;
        }
        rewritten.push_back(message);
    }
    return rewritten;
}

}  // namespace Lorvex::Services
