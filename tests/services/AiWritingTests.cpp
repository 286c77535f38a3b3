// The model writing for the user: the two messages of each operation, and one exchange of each.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "services/ai/AiWriting.h"
#include "services/ai/DeepSeekService.h"
#include "tests/services/DeepSeekTestSupport.h"
#include "tests/support/FakeHttpServer.h"

namespace Lorvex::Services {
namespace {

using ApiMessage = DeepSeekService::ApiMessage;
using Testing::Event;
using Testing::FakeHttpServer;
using Testing::FakeReply;
using Testing::kDone;
using Testing::PointAt;
using Testing::WholeAnswer;

std::string Show(const std::wstring& text) {
    return Text::ToUtf8(text);
}

Message Line(std::wstring role, std::wstring content) {
    Message message;
    message.role = std::move(role);
    message.content = std::move(content);
    return message;
}

std::vector<Message> Numbered(int count) {
    std::vector<Message> messages;
    for (int i = 0; i < count; ++i) {
        messages.push_back(Line(L"user", L"m" + std::to_wstring(i)));
    }
    return messages;
}

Persona Sam() {
    Persona sam;
    sam.name = L"Sam";
    sam.age = L"28";
    sam.gender = L"Hombre";
    sam.orientation = L"Heterosexual";
    sam.traits = L"Alto";
    sam.personality = L"Tranquilo";
    KnownCharacter tomas;
    tomas.name = L"Tomás";
    tomas.age = L"50";  // ages of known people are not part of the sheet
    tomas.relationship = L"padre";
    tomas.description = L"Pescador";
    tomas.personality = {L"serio."};
    KnownCharacter unnamed;
    unnamed.relationship = L"vecino";
    KnownCharacter nora;
    nora.name = L"Nora";
    sam.known_characters = {tomas, unnamed, nora};
    return sam;
}

Character Luna() {
    Character luna;
    luna.name = L"Luna";
    luna.age = L"25";
    luna.gender = L"Mujer";
    luna.personality = L"Curiosa";
    luna.scenario = L"El faro";
    return luna;
}

const std::wstring kOutputRulesNoNames =
    L"Reglas:\n"
    L"- Escribe SOLO el mensaje de el usuario, en primera persona. Nunca escribas lo que dice o hace el personaje.\n"
    L"- Las acciones y pensamientos van entre asteriscos (*me acerco despacio*); el diálogo va sin asteriscos.\n"
    L"- Usa el mismo idioma que la conversación.\n"
    L"- No uses rayas ni guiones largos (— o –): ni para abrir diálogos ni para separar o intercalar frases. Usa comas "
    L"o puntos.\n"
    L"- Devuelve solo el mensaje, sin comillas, sin prefijo con el nombre y sin explicaciones.";

TEST(AiWritingPrompt, PolishWithoutPersonaOrCharacter) {
    const std::vector<ApiMessage> messages = PolishDraftMessages(L"me voy", {}, std::nullopt, std::nullopt);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].role, L"system");
    EXPECT_EQ(
        Show(messages[0].content),
        Show(
            L"Eres un corrector de estilo para roleplay. Pule el borrador del mensaje de el usuario: mejor redacción, "
            L"ritmo y algún detalle sensorial o de expresión, sin cambiar lo que pasa.\n\n"
            L"El borrador manda. Lo que el usuario dice y hace lo ha decidido el usuario y es intocable:\n"
            L"- Conserva TODAS las acciones del borrador, en el mismo orden y con el mismo resultado. No las suavices, "
            L"no las cambies, no las omitas y no las conviertas en dudas, arrepentimientos o reflexiones.\n"
            L"- Conserva el sentido de cada frase de diálogo. Puedes pulir las palabras, no cambiar lo que se dice.\n"
            L"- No añadas acciones, decisiones ni monólogos interiores que no estén en el borrador.\n"
            L"- Usa la ficha de el usuario solo para la voz (género gramatical, forma de hablar), nunca para cambiar "
            L"lo que hace.\n"
            L"- Extensión: como mucho el doble que el borrador, en el mismo número de párrafos aproximadamente.\n"
            L"- Si no puedes mejorarlo respetando todo esto, devuelve el borrador con solo correcciones de ortografía "
            L"y formato.\n\n" +
            kOutputRulesNoNames));
    EXPECT_EQ(messages[1].role, L"user");
    EXPECT_EQ(Show(messages[1].content),
              Show(L"Borrador de el usuario a pulir (respeta todas sus acciones y lo que dice):\n\nme voy"));
}

TEST(AiWritingPrompt, WriteWithPersonaAndCharacter) {
    Message welcome = Line(L"assistant", L"Bienvenido");
    Message partner = Line(L"assistant", L"Hey");
    partner.character_name = L"Leo";
    Message nameless = Line(L"assistant", L"Nada");
    nameless.character_name = L"";
    Message pending = Line(L"assistant", L"");
    pending.is_typing = true;
    Message failed = Line(L"assistant", L"");
    failed.error = L"Error de DeepSeek (500): ";
    const std::vector<Message> history = {welcome, Line(L"user", L"Hola"), partner, nameless, pending, failed};

    const std::vector<ApiMessage> messages = WriteMessageMessages(L"abrazarla", history, Luna(), Sam());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(
        Show(messages[0].content),
        Show(L"Eres un escritor de roleplay. Escribe la siguiente respuesta de Sam a Luna, continuando la escena de "
             L"forma natural y coherente con lo último que ha pasado. Combina alguna acción con diálogo y deja espacio "
             L"para que Luna reaccione. Extensión parecida a los mensajes anteriores de Sam.\n\n"
             L"Ficha de Sam (el personaje que interpretas):\n"
             L"- Nombre: Sam\n"
             L"- Edad: 28 años\n"
             L"- Género: Hombre\n"
             L"- Orientación: Heterosexual\n"
             L"- Rasgos: Alto\n"
             L"- Personalidad: Tranquilo\n"
             L"- Gente que conoce:\n"
             L"  - Tomás (padre): Pescador. Personalidad: serio\n"
             L"  - Nora\n\n"
             L"Escribe como Sam es de verdad:\n"
             L"- Su personalidad y rasgos deciden qué dice, cómo reacciona y qué hace (alguien tímido duda y se "
             L"sonroja, alguien seguro toma la iniciativa, alguien sarcástico bromea...).\n"
             L"- Su forma de hablar debe encajar con su edad y carácter.\n"
             L"- Usa el género gramatical de Sam cuando hable de sí mismo (cansado/cansada, nervioso/nerviosa).\n"
             L"- Mantén la coherencia con cómo se ha comportado Sam en la conversación.\n\n"
             L"Con quién habla: Luna, 25 años, Mujer. Personalidad: Curiosa. Escenario: El faro.\n\n"
             L"Reglas:\n"
             L"- Escribe SOLO el mensaje de Sam, en primera persona. Nunca escribas lo que dice o hace Luna.\n"
             L"- Las acciones y pensamientos van entre asteriscos (*me acerco despacio*); el diálogo va sin "
             L"asteriscos.\n"
             L"- Usa el mismo idioma que la conversación.\n"
             L"- No uses rayas ni guiones largos (— o –): ni para abrir diálogos ni para separar o intercalar frases. "
             L"Usa comas o puntos.\n"
             L"- Devuelve solo el mensaje, sin comillas, sin prefijo con el nombre y sin explicaciones."));
    // Each line under its speaker: a named duo partner, even an empty name, wins over the character.
    EXPECT_EQ(Show(messages[1].content),
              Show(L"Conversación reciente:\n\n"
                   L"Luna: Bienvenido\n\n"
                   L"Sam: Hola\n\n"
                   L"Leo: Hey\n\n"
                   L": Nada\n\n"
                   L"Escribe el siguiente mensaje de Sam siguiendo esta idea. La idea es del usuario: inclúyela "
                   L"completa y no cambies lo que pasa en ella: abrazarla"));
}

TEST(AiWritingPrompt, WithoutPersonaNoSheetNoVoiceAndTheIdeaAsGiven) {
    struct Case {
        std::wstring idea;
        std::wstring userText;
    };
    const Case cases[] = {
        {L"", L"Escribe el siguiente mensaje de el usuario."},
        {L"   ",
         L"Escribe el siguiente mensaje de el usuario siguiendo esta idea. La idea es del usuario: inclúyela "
         L"completa y no cambies lo que pasa en ella:    "},
    };
    for (const Case& c : cases) {
        // Only pending and failed lines: as if there were no conversation.
        Message pending = Line(L"assistant", L"");
        pending.is_typing = true;
        Message failed = Line(L"user", L"x");
        failed.error = L"e";
        const std::vector<ApiMessage> messages = WriteMessageMessages(c.idea, {pending, failed}, Luna(), std::nullopt);
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(Show(messages[1].content), Show(c.userText));
        const std::wstring& system = messages[0].content;
        EXPECT_EQ(system.find(L"Escribe como"), std::wstring::npos);
        EXPECT_EQ(system.find(L"Ficha de"), std::wstring::npos);
        EXPECT_NE(system.find(L"respuesta de el usuario a Luna"), std::wstring::npos);
        EXPECT_NE(system.find(L"Extensión parecida a los mensajes anteriores de el usuario.\n\nCon quién habla: Luna"),
                  std::wstring::npos);
    }
}

TEST(AiWritingPrompt, RecentMessagesAreCut) {
    const auto contains = [](const std::wstring& text, const std::wstring& part) {
        return text.find(part) != std::wstring::npos;
    };
    // Polishing sees the last six usable lines; a pending line after them does not count.
    std::vector<Message> ten = Numbered(10);
    Message pending = Line(L"assistant", L"");
    pending.is_typing = true;
    ten.push_back(pending);
    const std::wstring polish = PolishDraftMessages(L"borrador", ten, std::nullopt, std::nullopt)[1].content;
    EXPECT_TRUE(polish.starts_with(L"Conversación reciente (solo como contexto):\n\nel usuario: m4\n\n"))
        << Show(polish);
    EXPECT_FALSE(contains(polish, L": m3\n"));
    EXPECT_TRUE(contains(polish, L"el usuario: m9\n\nBorrador de el usuario a pulir"));

    // Writing sees the last twenty.
    const std::wstring write = WriteMessageMessages(L"", Numbered(30), std::nullopt, std::nullopt)[1].content;
    EXPECT_TRUE(write.starts_with(L"Conversación reciente:\n\nel usuario: m10\n\n")) << Show(write);
    EXPECT_FALSE(contains(write, L": m9\n"));
    EXPECT_TRUE(contains(write, L"el usuario: m29\n\nEscribe el siguiente mensaje de el usuario."));
}

TEST(AiWritingPrompt, SheetAndBriefWriteOnlyTheFieldsThatAreSet) {
    EXPECT_EQ(PersonaSheet(std::nullopt), L"");
    EXPECT_EQ(CharacterBrief(std::nullopt), L"");

    Persona bare;
    bare.name = L"Sam";
    KnownCharacter unnamed;
    unnamed.relationship = L"vecino";
    Persona onlyUnnamed = bare;
    onlyUnnamed.gender = L"Hombre";
    onlyUnnamed.known_characters = {unnamed};
    const std::pair<Persona, std::wstring> sheets[] = {
        {bare, L"Ficha de Sam (el personaje que interpretas):\n- Nombre: Sam\n\n"},
        {onlyUnnamed,
         L"Ficha de Sam (el personaje que interpretas):\n- Nombre: Sam\n- Género: Hombre\n- Gente que conoce:\n\n"},
    };
    for (const auto& [persona, expected] : sheets) {
        EXPECT_EQ(Show(PersonaSheet(persona)), Show(expected));
    }

    Character kai;
    kai.name = L"Kai";
    Character withAge = kai;
    withAge.age = L"30";
    Character withGender = kai;
    withGender.gender = L"Hombre";
    Character withScenario = kai;
    withScenario.scenario = L"Un bar";
    const std::pair<Character, std::wstring> briefs[] = {
        {kai, L"Con quién habla: Kai.\n\n"},
        {withAge, L"Con quién habla: Kai, 30 años.\n\n"},
        {withGender, L"Con quién habla: Kai, Hombre.\n\n"},
        {withScenario, L"Con quién habla: Kai. Escenario: Un bar.\n\n"},
    };
    for (const auto& [character, expected] : briefs) {
        EXPECT_EQ(Show(CharacterBrief(character)), Show(expected));
    }
}

TEST(AiWritingPlaceholders, NamesAreInsertedOnce) {
    struct Case {
        std::wstring text;
        std::wstring user;
        std::wstring character;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"{user} mira a {char}; {char} a {user}", L"Sam", L"Luna", L"Sam mira a Luna; Luna a Sam"},
        {L"{user}{user}", L"A{user}", L"x", L"A{user}A{user}"},
        {L"{char}", L"x", L"B{char}", L"B{char}"},
        {L"{User} {chars} {user", L"Sam", L"Luna", L"{User} {chars} {user"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(FillPlaceholders(c.text, c.user, c.character)), Show(c.expected)) << Show(c.text);
    }
    // The draft and the names are filled like the prompt texts.
    Persona odd;
    odd.name = L"Sam{user}";
    const std::vector<ApiMessage> messages = PolishDraftMessages(L"Miro a {char}", {}, Luna(), odd);
    EXPECT_EQ(Show(messages[1].content),
              Show(L"Borrador de Sam{user} a pulir (respeta todas sus acciones y lo que dice):\n\nMiro a Luna"));
}

TEST(AiWritingRequest, PolishStreamsCleanedText) {
    FakeHttpServer server(FakeReply::EventStream()
                              .Body(Event("Sam: *Me acerco*"))
                              .AwaitRelease()
                              .Body(Event(" \xE2\x80\x94 hola"))
                              .AwaitRelease()
                              .Body(kDone));
    PointAt point(server);
    std::vector<std::wstring> seen;
    const AiReply reply =
        DeepSeekService::PolishUserDraft(L"me acerco y digo hola", {Line(L"user", L"antes")}, Luna(), Sam(),
                                         [&](const std::wstring& text) {
                                             seen.push_back(text);
                                             server.Release();
                                         },
                                         {});
    EXPECT_EQ(Show(reply.text), "*Me acerco* hola");
    EXPECT_EQ(reply.speaker, L"");
    EXPECT_EQ(reply.error, L"");
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"*Me acerco*", L"*Me acerco* hola"}));

    ASSERT_EQ(server.Requests().size(), 1u);
    const Json::Value body = Json::Value::Parse(server.Requests()[0].body);
    EXPECT_EQ(body.Find("max_tokens").AsInt64(), 800);
    EXPECT_DOUBLE_EQ(body.Find("temperature").AsDouble(), 0.4);
    EXPECT_TRUE(body.Find("stream").AsBool());
    ASSERT_EQ(body.Find("messages").Size(), 2u);
    EXPECT_EQ(body.Find("messages").Items()[1].Find("role").AsString(), "user");
}

TEST(AiWritingRequest, WriteWithoutCallbackIsOneWholeAnswer) {
    FakeHttpServer server(FakeReply::Json(200, WholeAnswer("  Hola \xE2\x80\x94 Luna  ")));
    PointAt point(server);
    const AiReply reply = DeepSeekService::WriteUserMessage(L"", {}, Luna(), std::nullopt, {}, {});
    EXPECT_EQ(Show(reply.text), "Hola, Luna");
    EXPECT_EQ(reply.error, L"");
    ASSERT_EQ(server.Requests().size(), 1u);
    const Json::Value body = Json::Value::Parse(server.Requests()[0].body);
    EXPECT_EQ(body.Find("max_tokens").AsInt64(), 800);
    EXPECT_DOUBLE_EQ(body.Find("temperature").AsDouble(), 0.7);
    EXPECT_EQ(body.Find("stream").kind, Json::Type::Null);
}

TEST(AiWritingRequest, FailuresComeBackAsTheirTexts) {
    {
        FakeHttpServer server(FakeReply::Json(401, "{\"error\":{\"message\":\"bad key\"}}"));
        PointAt point(server);
        const AiReply reply = DeepSeekService::WriteUserMessage(L"idea", {}, std::nullopt, std::nullopt, {}, {});
        EXPECT_EQ(Show(reply.error), "La clave de la API de DeepSeek no es válida. bad key");
        EXPECT_EQ(reply.text, L"");
    }
    {
        FakeHttpServer server(FakeReply::Json(200, WholeAnswer("")));
        PointAt point(server);
        // An empty answer is no error of the request: the composer reports it in its own words.
        const AiReply reply = DeepSeekService::PolishUserDraft(L"hola", {}, std::nullopt, std::nullopt, {}, {});
        EXPECT_EQ(reply.error, L"");
        EXPECT_EQ(reply.text, L"");
    }
    {
        // A draft cut before its end is no finished draft: the start comes back with the failure.
        FakeHttpServer server(Testing::ProviderStream().Body(Event("*Me acerco* y")).Cut());
        PointAt point(server);
        const AiReply reply =
            DeepSeekService::WriteUserMessage(L"idea", {}, std::nullopt, std::nullopt, [](const std::wstring&) {}, {});
        EXPECT_EQ(Show(reply.error), "La conexión con DeepSeek se cortó antes del final de la respuesta.");
        EXPECT_EQ(Show(reply.text), "*Me acerco* y");
    }
}

}  // namespace
}  // namespace Lorvex::Services
