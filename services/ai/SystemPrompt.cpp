// What the language model reads before a character's reply: the system prompt and the history as
// role/content messages (the DeepSeekService members under "Prompts"). Pure functions of copies
// of the records.

#include "services/ai/DeepSeekService.h"

#include <algorithm>

namespace Lorvex::Services {

namespace {

// Stands in for a chat without persona.
const Persona& EmptyPersona() {
    static const Persona empty;
    return empty;
}

std::wstring Block(const std::wstring& value, const std::wstring& before, const std::wstring& after) {
    return value.empty() ? std::wstring() : before + value + after;
}

// Written whenever the list has items, even when none survives the join.
std::wstring PersonalityPiece(const KnownCharacter& person) {
    if (person.personality.empty()) {
        return {};
    }
    return L". Personalidad: " + DeepSeekService::JoinPersonality(person.personality);
}

std::wstring CharacterPeople(const std::vector<KnownCharacter>& known) {
    if (known.empty()) {
        return {};
    }
    std::vector<KnownCharacter> sorted = known;
    std::stable_sort(sorted.begin(), sorted.end(), [](const KnownCharacter& a, const KnownCharacter& b) {
        return DeepSeekService::ImportanceRank(a.importance) < DeepSeekService::ImportanceRank(b.importance);
    });
    std::wstring block = L"\n\nPersonajes que conoces:\n";
    for (const KnownCharacter& person : sorted) {
        if (person.name.empty()) {
            continue;
        }
        block += L"- " + person.name;
        block += Block(person.age, L", ", L" años");
        block += Block(person.relationship, L" (", L")");
        block += Block(person.description, L": ", L"");
        block += PersonalityPiece(person);
        if (person.importance == L"Principal") {
            block += L" [Personaje importante]";
        }
        block += L" [Recuerda siempre su edad exacta]\n";
    }
    return block;
}

std::wstring PersonaPeople(const Persona& persona) {
    if (persona.known_characters.empty()) {
        return {};
    }
    const std::wstring& owner = persona.name;
    std::wstring block = L"Gente de la vida de " + owner +
                         L" (si los menciona o aparecen, sabes quiénes son; trátalos según su relación con " + owner +
                         L"):\n";
    for (const KnownCharacter& person : persona.known_characters) {
        if (person.name.empty()) {
            continue;
        }
        block += L"- " + person.name;
        block += Block(person.age, L", ", L" años");
        block += Block(person.relationship, L" (", L" de " + owner + L")");
        block += Block(person.description, L": ", L"");
        block += PersonalityPiece(person);
        if (person.importance == L"Principal") {
            block += L" [Persona importante para " + owner + L"]";
        }
        block += L"\n";
    }
    return block;
}

std::wstring FirstName(const std::vector<KnownCharacter>& known) {
    for (const KnownCharacter& person : known) {
        if (!person.name.empty()) {
            return person.name;
        }
    }
    return {};
}

// How the model names another speaker, so the reply can be attributed to that person.
std::wstring SpeakerRule(const Character& character, const Persona& persona) {
    std::wstring example = FirstName(character.known_characters);
    if (example.empty()) {
        example = FirstName(persona.known_characters);
    }
    if (example.empty()) {
        return {};
    }
    return L"Si en tu respuesta quien habla o actúa no es " + character.name + L" sino otro personaje (por ejemplo " +
           example + L"), empieza la respuesta con su nombre seguido de dos puntos, así: \"" + example +
           L": *texto*\". Si es " + character.name + L", no pongas ningún nombre delante.\n";
}

}  // namespace

std::wstring DeepSeekService::SystemPrompt(const Character& character, const Persona* persona,
                                           const std::wstring& speechStyle, const std::wstring& styleDescription,
                                           const std::wstring& scenario, const std::wstring& memory) {
    const Persona& p = persona != nullptr ? *persona : EmptyPersona();
    std::wstring prompt;
    prompt += L"Eres " + character.name + L", un personaje de roleplay:\n";
    prompt += L"- Edad: " + character.age + L"\n";
    prompt += L"- Genero: " + character.gender + L"\n";
    prompt += L"- Orientacion sexual: " + character.orientation + L"\n";
    prompt += L"- Personalidad: " + character.personality + L"\n";
    prompt += L"- Historia: " + character.background + L".\n";
    prompt += L"- Estilo de habla: " + speechStyle + L" (" + styleDescription + L")\n";
    prompt += Block(scenario, L" Escenario actual: ", L".") + L"\n";
    prompt += CharacterPeople(character.known_characters) + L"\n";
    prompt += Block(memory, L" Contexto previo: ", L".") + L"\n";
    prompt += (character.nsfw_allowed ? L"Mantén la coherencia del personaje incluso en situaciones intensas." : L"");
    prompt += L"\n";
    prompt += Block(p.traits, L" Rasgos tuyos: ", L".") + Block(p.personality, L" Tu personalidad: ", L".") + L"\n";
    prompt += L"Estas hablando con " + p.name + L" " + L"(Edad: " + p.age + L", Genero: " + p.gender + L").\n";
    prompt += PersonaPeople(p);
    prompt += L"Responde como este personaje en primera persona, mantén la coherencia siempre.\n";
    prompt += SpeakerRule(character, p);
    prompt +=
        L"Escribe respuestas detalladas y expresivas: describe acciones, emociones y ambiente. Mínimo 2-3 "
        L"oraciones salvo que el contexto exija brevedad. ";
    prompt +=
        L"No uses rayas ni guiones largos (— o –) en ningún caso: ni para abrir diálogos ni para separar o "
        L"intercalar frases. Usa comas, puntos o asteriscos para las acciones.";
    return prompt;
}

std::vector<DeepSeekService::ApiMessage> DeepSeekService::BuildApiMessages(
    const std::wstring& systemPrompt, const std::vector<Message>& history,
    const std::optional<std::wstring>& excludedGroup) {
    std::vector<ApiMessage> messages;
    messages.reserve(history.size() + 1);
    messages.push_back({L"system", systemPrompt});
    for (const Message& message : history) {
        if (!Message::IsSettled(message)) {
            continue;
        }
        if (excludedGroup && message.role == L"assistant" && message.regeneration_id == *excludedGroup) {
            continue;
        }
        messages.push_back({message.role, message.content});
    }
    return messages;
}

std::wstring DeepSeekService::JoinPersonality(const std::vector<std::wstring>& personality) {
    std::wstring joined;
    bool first = true;
    for (const std::wstring& item : personality) {
        size_t length = item.size();
        while (length > 0 && (item[length - 1] == L'.' || item[length - 1] == L';')) {
            --length;
        }
        if (length == 0) {
            continue;
        }
        if (!first) {
            joined += L"; ";
        }
        joined.append(item, 0, length);
        first = false;
    }
    return joined;
}

int DeepSeekService::ImportanceRank(const std::wstring& importance) {
    if (importance == L"Principal") {
        return 0;
    }
    if (importance == L"Secundario") {
        return 1;
    }
    return 2;
}

}  // namespace Lorvex::Services
