#include "services/ai/AiWriting.h"

#include <cstddef>

#include "foundation/Text.h"
#include "services/ai/ReplyCleaning.h"

namespace Lorvex::Services {

namespace {

constexpr const wchar_t* kBlankLine = L"\n\n";
constexpr size_t kRecentLimit = 20;
constexpr size_t kPolishContextLimit = 6;

constexpr const wchar_t* kPolishTask =
    L"Eres un corrector de estilo para roleplay. Pule el borrador del mensaje de {user}: mejor redacción, ritmo y "
    L"algún detalle sensorial o de expresión, sin cambiar lo que pasa.";

constexpr const wchar_t* kDraftRules =
    L"El borrador manda. Lo que {user} dice y hace lo ha decidido el usuario y es intocable:\n"
    L"- Conserva TODAS las acciones del borrador, en el mismo orden y con el mismo resultado. No las suavices, no las "
    L"cambies, no las omitas y no las conviertas en dudas, arrepentimientos o reflexiones.\n"
    L"- Conserva el sentido de cada frase de diálogo. Puedes pulir las palabras, no cambiar lo que se dice.\n"
    L"- No añadas acciones, decisiones ni monólogos interiores que no estén en el borrador.\n"
    L"- Usa la ficha de {user} solo para la voz (género gramatical, forma de hablar), nunca para cambiar lo que "
    L"hace.\n"
    L"- Extensión: como mucho el doble que el borrador, en el mismo número de párrafos aproximadamente.\n"
    L"- Si no puedes mejorarlo respetando todo esto, devuelve el borrador con solo correcciones de ortografía y "
    L"formato.\n\n";

constexpr const wchar_t* kWritingTask =
    L"Eres un escritor de roleplay. Escribe la siguiente respuesta de {user} a {char}, continuando la escena de forma "
    L"natural y coherente con lo último que ha pasado. Combina alguna acción con diálogo y deja espacio para que "
    L"{char} reaccione. Extensión parecida a los mensajes anteriores de {user}.";

constexpr const wchar_t* kVoiceRules =
    L"Escribe como {user} es de verdad:\n"
    L"- Su personalidad y rasgos deciden qué dice, cómo reacciona y qué hace (alguien tímido duda y se sonroja, "
    L"alguien seguro toma la iniciativa, alguien sarcástico bromea...).\n"
    L"- Su forma de hablar debe encajar con su edad y carácter.\n"
    L"- Usa el género gramatical de {user} cuando hable de sí mismo (cansado/cansada, nervioso/nerviosa).\n"
    L"- Mantén la coherencia con cómo se ha comportado {user} en la conversación.\n\n";

constexpr const wchar_t* kOutputRules =
    L"Reglas:\n"
    L"- Escribe SOLO el mensaje de {user}, en primera persona. Nunca escribas lo que dice o hace {char}.\n"
    L"- Las acciones y pensamientos van entre asteriscos (*me acerco despacio*); el diálogo va sin asteriscos.\n"
    L"- Usa el mismo idioma que la conversación.\n"
    L"- No uses rayas ni guiones largos (— o –): ni para abrir diálogos ni para separar o intercalar frases. Usa "
    L"comas o puntos.\n"
    L"- Devuelve solo el mensaje, sin comillas, sin prefijo con el nombre y sin explicaciones.";

constexpr const wchar_t* kPolishContextHeader = L"Conversación reciente (solo como contexto):";
constexpr const wchar_t* kDraftHeader = L"Borrador de {user} a pulir (respeta todas sus acciones y lo que dice):";
constexpr const wchar_t* kWriteContextHeader = L"Conversación reciente:";
constexpr const wchar_t* kIdeaInstruction =
    L"Escribe el siguiente mensaje de {user} siguiendo esta idea. La idea es del usuario: inclúyela completa y no "
    L"cambies lo que pasa en ella: ";
constexpr const wchar_t* kPlainInstruction = L"Escribe el siguiente mensaje de {user}.";

std::wstring UserName(const std::optional<Persona>& persona) {
    return persona ? persona->name : L"el usuario";
}

std::wstring CharacterName(const std::optional<Character>& character) {
    return character ? character->name : L"el personaje";
}

std::vector<DeepSeekService::ApiMessage> TwoMessages(const std::wstring& system, const std::wstring& user,
                                                     const std::optional<Character>& character,
                                                     const std::optional<Persona>& persona) {
    const std::wstring userName = UserName(persona);
    const std::wstring characterName = CharacterName(character);
    return {{L"system", FillPlaceholders(system, userName, characterName)},
            {L"user", FillPlaceholders(user, userName, characterName)}};
}

}  // namespace

std::vector<Message> UsableHistory(const std::vector<Message>& messages) {
    std::vector<Message> usable;
    usable.reserve(messages.size());
    for (const Message& message : messages) {
        if (Message::IsSettled(message)) {
            usable.push_back(message);
        }
    }
    return usable;
}

std::wstring RecentConversation(const std::vector<Message>& messages, const std::wstring& userName,
                                const std::wstring& characterName) {
    const size_t first = messages.size() > kRecentLimit ? messages.size() - kRecentLimit : 0;
    std::wstring text;
    for (size_t i = first; i < messages.size(); ++i) {
        const Message& message = messages[i];
        // A duo's second character speaks under its own name, even an empty one.
        const std::wstring& speaker =
            message.role == L"user" ? userName : (message.character_name ? *message.character_name : characterName);
        text += speaker + L": " + message.content + kBlankLine;
    }
    return text;
}

std::wstring PersonaSheet(const std::optional<Persona>& persona) {
    if (!persona) {
        return {};
    }
    const Persona& p = *persona;
    std::wstring sheet = L"Ficha de " + p.name + L" (el personaje que interpretas):";
    sheet += L"\n- Nombre: " + p.name;
    if (!p.age.empty()) {
        sheet += L"\n- Edad: " + p.age + L" años";
    }
    if (!p.gender.empty()) {
        sheet += L"\n- Género: " + p.gender;
    }
    if (!p.orientation.empty()) {
        sheet += L"\n- Orientación: " + p.orientation;
    }
    if (!p.traits.empty()) {
        sheet += L"\n- Rasgos: " + p.traits;
    }
    if (!p.personality.empty()) {
        sheet += L"\n- Personalidad: " + p.personality;
    }
    if (!p.known_characters.empty()) {
        sheet += L"\n- Gente que conoce:";
        for (const KnownCharacter& person : p.known_characters) {
            if (person.name.empty()) {
                continue;
            }
            sheet += L"\n  - " + person.name;
            if (!person.relationship.empty()) {
                sheet += L" (" + person.relationship + L")";
            }
            if (!person.description.empty()) {
                sheet += L": " + person.description;
            }
            const std::wstring personality = DeepSeekService::JoinPersonality(person.personality);
            if (!personality.empty()) {
                sheet += L". Personalidad: " + personality;
            }
        }
    }
    return sheet + kBlankLine;
}

std::wstring CharacterBrief(const std::optional<Character>& character) {
    if (!character) {
        return {};
    }
    const Character& c = *character;
    std::wstring brief = L"Con quién habla: " + c.name;
    if (!c.age.empty()) {
        brief += L", " + c.age + L" años";
    }
    if (!c.gender.empty()) {
        brief += L", " + c.gender;
    }
    brief += L".";
    if (!c.personality.empty()) {
        brief += L" Personalidad: " + c.personality + L".";
    }
    if (!c.scenario.empty()) {
        brief += L" Escenario: " + c.scenario + L".";
    }
    return brief + kBlankLine;
}

std::wstring FillPlaceholders(const std::wstring& text, const std::wstring& userName,
                              const std::wstring& characterName) {
    // ReplaceAll scans left to right and never searches what it inserted.
    return Text::ReplaceAll(Text::ReplaceAll(text, L"{user}", userName), L"{char}", characterName);
}

std::vector<DeepSeekService::ApiMessage> PolishDraftMessages(const std::wstring& draft,
                                                             const std::vector<Message>& messages,
                                                             const std::optional<Character>& character,
                                                             const std::optional<Persona>& persona) {
    const std::wstring system = std::wstring(kPolishTask) + kBlankLine + kDraftRules + PersonaSheet(persona) +
                                CharacterBrief(character) + kOutputRules;
    std::vector<Message> usable = UsableHistory(messages);
    if (usable.size() > kPolishContextLimit) {
        usable.erase(usable.begin(), usable.end() - static_cast<std::ptrdiff_t>(kPolishContextLimit));
    }
    std::wstring user;
    if (!usable.empty()) {
        user += std::wstring(kPolishContextHeader) + kBlankLine +
                RecentConversation(usable, UserName(persona), CharacterName(character));
    }
    user += std::wstring(kDraftHeader) + kBlankLine + draft;
    return TwoMessages(system, user, character, persona);
}

std::vector<DeepSeekService::ApiMessage> WriteMessageMessages(const std::wstring& idea,
                                                              const std::vector<Message>& messages,
                                                              const std::optional<Character>& character,
                                                              const std::optional<Persona>& persona) {
    const std::wstring system = std::wstring(kWritingTask) + kBlankLine + PersonaSheet(persona) +
                                (persona ? kVoiceRules : L"") + CharacterBrief(character) + kOutputRules;
    const std::vector<Message> usable = UsableHistory(messages);
    std::wstring user;
    if (!usable.empty()) {
        user += std::wstring(kWriteContextHeader) + kBlankLine +
                RecentConversation(usable, UserName(persona), CharacterName(character));
    }
    // An idea of blanks is still the user's idea.
    user += idea.empty() ? std::wstring(kPlainInstruction) : kIdeaInstruction + idea;
    return TwoMessages(system, user, character, persona);
}

AiReply DeepSeekService::PolishUserDraft(const std::wstring& draft, std::vector<Message> messages,
                                         const std::optional<Character>& character,
                                         const std::optional<Persona>& persona, const ProgressCallback& progress,
                                         const Async::Cancel& cancel) {
    const std::vector<ApiMessage> request = PolishDraftMessages(draft, messages, character, persona);
    AiReply reply = Request(request, 800, 0.4, true, CleanedProgress(progress), cancel);
    // An empty answer stays a success here: the composer names that failure itself.
    reply.text = CleanReply(reply.text);
    return reply;
}

AiReply DeepSeekService::WriteUserMessage(const std::wstring& idea, const std::vector<Message>& messages,
                                          const std::optional<Character>& character,
                                          const std::optional<Persona>& persona, const ProgressCallback& progress,
                                          const Async::Cancel& cancel) {
    const std::vector<ApiMessage> request = WriteMessageMessages(idea, messages, character, persona);
    AiReply reply = Request(request, 800, 0.7, true, CleanedProgress(progress), cancel);
    reply.text = CleanReply(reply.text);
    return reply;
}

}  // namespace Lorvex::Services
