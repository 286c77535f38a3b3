// The system prompt and the message list that the model reads before a character's reply.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/Text.h"
#include "services/ai/DeepSeekService.h"
#include "services/ai/DuoPrompts.h"

namespace Lorvex::Services {
namespace {

using ApiMessage = DeepSeekService::ApiMessage;

const std::wstring kNormal = L"Habla estándar sin características especiales.";

// The end every prompt shares.
const std::wstring kClosing = L"Responde como este personaje en primera persona, mantén la coherencia siempre.\n";
const std::wstring kWritingRules =
    L"Escribe respuestas detalladas y expresivas: describe acciones, emociones y ambiente. Mínimo 2-3 oraciones salvo "
    L"que el contexto exija brevedad. No uses rayas ni guiones largos (— o –) en ningún caso: ni para abrir diálogos "
    L"ni para separar o intercalar frases. Usa comas, puntos o asteriscos para las acciones.";

KnownCharacter Person(std::wstring name, std::wstring importance = L"De fondo") {
    KnownCharacter person;
    person.name = std::move(name);
    person.importance = std::move(importance);
    return person;
}

// Luna knows, in stored order: Bruno (Secundario, a personality of only punctuation), Clara
// (Principal), someone without a name (Principal), Dario (no importance) and Elena (Principal).
Character Luna() {
    Character luna;
    luna.id = L"luna";
    luna.name = L"Luna";
    luna.age = L"25";
    luna.gender = L"Mujer";
    luna.orientation = L"Bisexual";
    luna.personality = L"Curiosa y valiente";
    luna.background = L"Creció en un faro";
    luna.speech_style = L"Poetico";
    luna.scenario = L"Una tormenta en el puerto";
    luna.memory = L"Ayer discutieron";
    luna.nsfw_allowed = true;
    KnownCharacter bruno = Person(L"Bruno", L"Secundario");
    bruno.relationship = L"hermano";
    bruno.personality = {L".", L";;"};
    KnownCharacter clara = Person(L"Clara", L"Principal");
    clara.age = L"30";
    clara.relationship = L"amiga";
    clara.description = L"Vive en el puerto";
    clara.personality = {L"amable.", L";", L"leal;;"};
    KnownCharacter elena = Person(L"Elena", L"Principal");
    elena.age = L"40";
    luna.known_characters = {bruno, clara, Person(L"", L"Principal"), Person(L"Dario", L""), elena};
    return luna;
}

Persona Sam() {
    Persona sam;
    sam.name = L"Sam";
    sam.age = L"28";
    sam.gender = L"Hombre";
    sam.traits = L"Alto";
    sam.personality = L"Tranquilo";
    KnownCharacter tomas = Person(L"Tomás", L"Principal");
    tomas.age = L"50";
    tomas.relationship = L"padre";
    tomas.description = L"Pescador";
    tomas.personality = {L"serio"};
    KnownCharacter nora = Person(L"Nora", L"Secundario");
    nora.personality = {L"."};
    sam.known_characters = {tomas, Person(L"", L"Principal"), nora};
    return sam;
}

std::string Show(const std::wstring& text) {
    return Text::ToUtf8(text);
}

TEST(PromptSystem, WithoutPersonaEveryFixedLineStays) {
    Character kai;
    kai.name = L"Kai";
    const std::wstring expected =
        L"Eres Kai, un personaje de roleplay:\n"
        L"- Edad: \n"
        L"- Genero: \n"
        L"- Orientacion sexual: \n"
        L"- Personalidad: \n"
        L"- Historia: .\n"
        L"- Estilo de habla: Normal (Habla estándar sin características especiales.)\n"
        L"\n"  // scenario
        L"\n"  // known people
        L"\n"  // memory
        L"\n"  // adult content
        L"\n"  // persona traits and personality
        L"Estas hablando con  (Edad: , Genero: ).\n" +
        kClosing + kWritingRules;
    EXPECT_EQ(Show(DeepSeekService::SystemPrompt(kai, nullptr, L"Normal", kNormal, L"", L"")), Show(expected));
}

TEST(PromptSystem, PersonaWithKnownPeople) {
    const Character luna = Luna();
    const Persona sam = Sam();
    const std::wstring expected =
        L"Eres Luna, un personaje de roleplay:\n"
        L"- Edad: 25\n"
        L"- Genero: Mujer\n"
        L"- Orientacion sexual: Bisexual\n"
        L"- Personalidad: Curiosa y valiente\n"
        L"- Historia: Creció en un faro.\n"
        L"- Estilo de habla: Poetico (Metáforas.)\n"
        L" Escenario actual: Una tormenta en el puerto.\n"
        L"\n\nPersonajes que conoces:\n"
        L"- Clara, 30 años (amiga): Vive en el puerto. Personalidad: amable; leal [Personaje importante] "
        L"[Recuerda siempre su edad exacta]\n"
        L"- Elena, 40 años [Personaje importante] [Recuerda siempre su edad exacta]\n"
        // A personality list of only punctuation still writes its piece, with nothing in it.
        L"- Bruno (hermano). Personalidad:  [Recuerda siempre su edad exacta]\n"
        L"- Dario [Recuerda siempre su edad exacta]\n"
        L"\n"
        L" Contexto previo: Ayer discutieron.\n"
        L"Mantén la coherencia del personaje incluso en situaciones intensas.\n"
        L" Rasgos tuyos: Alto. Tu personalidad: Tranquilo.\n"
        L"Estas hablando con Sam (Edad: 28, Genero: Hombre).\n"
        L"Gente de la vida de Sam (si los menciona o aparecen, sabes quiénes son; trátalos según su relación con "
        L"Sam):\n"
        L"- Tomás, 50 años (padre de Sam): Pescador. Personalidad: serio [Persona importante para Sam]\n"
        L"- Nora. Personalidad: \n" +
        kClosing +
        L"Si en tu respuesta quien habla o actúa no es Luna sino otro personaje (por ejemplo Bruno), empieza la "
        L"respuesta con su nombre seguido de dos puntos, así: \"Bruno: *texto*\". Si es Luna, no pongas ningún nombre "
        L"delante.\n" +
        kWritingRules;
    EXPECT_EQ(Show(DeepSeekService::SystemPrompt(luna, &sam, L"Poetico", L"Metáforas.", luna.scenario, luna.memory)),
              Show(expected));
    // The sort worked on a copy.
    EXPECT_EQ(luna.known_characters[0].name, L"Bruno");
}

TEST(PromptSystem, DuoCarriesTheGroupContext) {
    Character ana;
    ana.id = L"ana";
    ana.name = L"Ana";
    ana.scenario = L"En la playa";
    Character leo;
    leo.name = L"Leo";
    leo.personality = L"Bromista";
    const std::wstring expected =
        L"Eres Ana, un personaje de roleplay:\n"
        L"- Edad: \n"
        L"- Genero: \n"
        L"- Orientacion sexual: \n"
        L"- Personalidad: \n"
        L"- Historia: .\n"
        L"- Estilo de habla: Normal (Habla estándar sin características especiales.)\n"
        L" Escenario actual: En la playa\n\n=== CONTEXTO DE CONVERSACION GRUPAL ===\n\nTu identidad: Eres Ana\n\n"
        L"Personas presentes:\n1. El usuario\n2. Leo (personalidad: Bromista)\n\n=== REGLAS CRITICAS ===\n"
        L"1. Responde SOLAMENTE como Ana\n2. NO copies ni repitas lo que dijo Leo\n"
        L"3. Tu respuesta debe ser natural y propia.\n"
        L"\n"
        L"\n"
        L"\n"
        L"\n"
        L"Estas hablando con  (Edad: , Genero: ).\n" +
        kClosing + kWritingRules;
    EXPECT_EQ(Show(DeepSeekService::SystemPrompt(ana, nullptr, L"Normal", kNormal, DuoScenario(ana, &leo), L"")),
              Show(expected));
    // Without a partner the scenario is the character's own, also when empty.
    EXPECT_EQ(DuoScenario(ana, nullptr), L"En la playa");
    EXPECT_EQ(DuoScenario(Character(), nullptr), L"");
}

TEST(PromptSystem, SpeakerRuleExampleAndPeopleBlocks) {
    const std::wstring rulePrefix =
        L"Si en tu respuesta quien habla o actúa no es Kai sino otro personaje (por ejemplo ";
    struct Case {
        const char* what;
        std::vector<KnownCharacter> characterKnows;
        std::optional<std::vector<KnownCharacter>> personaKnows;  // none: no persona
        std::wstring example;                                     // empty: no rule
        bool characterHeader;
        bool headerWithoutLines = false;
    };
    const Case cases[] = {
        {"no one known", {}, std::nullopt, L"", false},
        {"only unnamed people: header without lines", {Person(L"")}, std::nullopt, L"", true, true},
        {"first stored name, not the first ranked",
         {Person(L""), Person(L"Iris"), Person(L"Olga", L"Principal")},
         std::nullopt,
         L"Iris",
         true},
        {"the persona's people when the character has no name",
         {Person(L"")},
         std::vector<KnownCharacter>{Person(L""), Person(L"Nora")},
         L"Nora",
         true,
         true},
        {"the character's people come first",
         {Person(L"Iris")},
         std::vector<KnownCharacter>{Person(L"Nora")},
         L"Iris",
         true},
    };
    for (const Case& c : cases) {
        Character kai;
        kai.name = L"Kai";
        kai.known_characters = c.characterKnows;
        Persona persona;
        persona.name = L"Sam";
        if (c.personaKnows) {
            persona.known_characters = *c.personaKnows;
        }
        const std::wstring prompt =
            DeepSeekService::SystemPrompt(kai, c.personaKnows ? &persona : nullptr, L"Normal", kNormal, L"", L"");
        const size_t rule = prompt.find(rulePrefix);
        if (c.example.empty()) {
            EXPECT_EQ(rule, std::wstring::npos) << c.what;
        } else {
            ASSERT_NE(rule, std::wstring::npos) << c.what;
            EXPECT_EQ(prompt.substr(rule + rulePrefix.size(), c.example.size() + 1), c.example + L")") << c.what;
        }
        EXPECT_EQ(prompt.find(L"\n\nPersonajes que conoces:\n\n") != std::wstring::npos, c.headerWithoutLines)
            << c.what;
        EXPECT_EQ(prompt.find(L"Personajes que conoces") != std::wstring::npos, c.characterHeader) << c.what;
    }
}

TEST(PromptSystem, OnlyAnExactPrincipalIsMarked) {
    Character kai;
    kai.name = L"Kai";
    kai.known_characters = {Person(L"Uno", L"principal"), Person(L"Dos", L"Principal")};
    const std::wstring prompt = DeepSeekService::SystemPrompt(kai, nullptr, L"Normal", kNormal, L"", L"");
    EXPECT_NE(prompt.find(L"- Dos [Personaje importante] [Recuerda siempre su edad exacta]\n"
                          L"- Uno [Recuerda siempre su edad exacta]\n"),
              std::wstring::npos)
        << Show(prompt);
}

TEST(PromptRank, OrdersPrincipalThenSecundarioThenTheRest) {
    const std::pair<std::wstring, int> cases[] = {
        {L"Principal", 0}, {L"Secundario", 1}, {L"De fondo", 2}, {L"", 2}, {L"principal", 2}, {L"Principal ", 2},
    };
    for (const auto& [importance, rank] : cases) {
        EXPECT_EQ(DeepSeekService::ImportanceRank(importance), rank) << Show(importance);
    }
}

TEST(PromptJoin, JoinsTraitsWithoutTheirTrailingPunctuation) {
    const std::pair<std::vector<std::wstring>, std::wstring> cases[] = {
        {{}, L""},
        {{L".", L";;", L"."}, L""},
        {{L"amable.", L";", L"leal;;"}, L"amable; leal"},
        {{L"a.;.", L"b"}, L"a; b"},
        {{L"sabe. ", L"x"}, L"sabe. ; x"},  // a blank after the dot ends the stripping
        {{L"", L"solo"}, L"solo"},
        {{L"Dr. Pérez"}, L"Dr. Pérez"},
    };
    for (const auto& [items, joined] : cases) {
        EXPECT_EQ(Show(DeepSeekService::JoinPersonality(items)), Show(joined));
    }
}

Message Line(std::wstring role, std::wstring content) {
    Message message;
    message.role = std::move(role);
    message.content = std::move(content);
    return message;
}

TEST(PromptMessages, HistoryWithoutPendingFailedOrExcludedLines) {
    Message pending = Line(L"assistant", L"escribiendo");
    pending.is_typing = true;
    Message failed = Line(L"assistant", L"");
    failed.error = L"Error de DeepSeek (500): ";
    Message ofGroup = Line(L"assistant", L"versión vieja");
    ofGroup.regeneration_id = L"g";
    Message otherGroup = Line(L"assistant", L"otra versión");
    otherGroup.regeneration_id = L"h";
    Message userOfGroup = Line(L"user", L"hola");
    userOfGroup.regeneration_id = L"g";
    const std::vector<Message> history = {
        Line(L"assistant", L"Bienvenido"), userOfGroup, pending, failed, ofGroup, otherGroup,
        Line(L"narrator", L"raro")};

    const std::vector<ApiMessage> excluded = DeepSeekService::BuildApiMessages(L"P", history, L"g");
    const std::vector<std::pair<std::wstring, std::wstring>> expectedExcluded = {{L"system", L"P"},
                                                                                 {L"assistant", L"Bienvenido"},
                                                                                 {L"user", L"hola"},
                                                                                 {L"assistant", L"otra versión"},
                                                                                 {L"narrator", L"raro"}};
    ASSERT_EQ(excluded.size(), expectedExcluded.size());
    for (size_t i = 0; i < excluded.size(); ++i) {
        EXPECT_EQ(excluded[i].role, expectedExcluded[i].first) << i;
        EXPECT_EQ(excluded[i].content, expectedExcluded[i].second) << i;
    }

    // Without a group every finished line goes, but never a pending or failed one.
    const std::vector<ApiMessage> all = DeepSeekService::BuildApiMessages(L"P", history, std::nullopt);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[3].content, L"versión vieja");
}

TEST(PromptMessages, DuoHistoryReportsTheOtherCharactersLines) {
    Message own = Line(L"assistant", L"Soy Ana");
    own.character_id = L"ana";
    Message partner = Line(L"assistant", L"Soy Leo");
    partner.character_id = L"leo";
    partner.character_name = L"Leo";
    partner.timestamp = L"2025-03-07T18:04:09.5120000+01:00";
    partner.regeneration_id = L"g";
    partner.regeneration_index = 0;
    Message unnamed = Line(L"assistant", L"Sin nombre");
    unnamed.character_id = L"leo";
    Message pending = Line(L"assistant", L"");
    pending.character_id = L"leo";
    pending.is_typing = true;
    Message failed = Line(L"assistant", L"");
    failed.character_id = L"leo";
    failed.error = L"x";
    const std::vector<Message> history = {
        Line(L"assistant", L"Bienvenidos"), Line(L"user", L"Hola a los dos"), own, partner, unnamed, pending, failed};

    const std::vector<Message> rewritten = DuoHistory(history, L"ana");
    ASSERT_EQ(rewritten.size(), 5u);
    EXPECT_EQ(rewritten[0].content, L"Bienvenidos");
    EXPECT_EQ(rewritten[1].content, L"Hola a los dos");
    EXPECT_EQ(rewritten[2].role, L"assistant");
    EXPECT_EQ(rewritten[2].content, L"Soy Ana");
    EXPECT_EQ(rewritten[3].role, L"user");
    EXPECT_EQ(rewritten[3].content, L"[Leo respondio: Soy Leo]");
    EXPECT_EQ(rewritten[3].timestamp, partner.timestamp);
    EXPECT_FALSE(rewritten[3].character_id);
    EXPECT_FALSE(rewritten[3].character_name);
    EXPECT_FALSE(rewritten[3].regeneration_id);
    EXPECT_FALSE(rewritten[3].regeneration_index);
    EXPECT_EQ(rewritten[4].content, L"[ respondio: Sin nombre]");
}

}  // namespace
}  // namespace Lorvex::Services
