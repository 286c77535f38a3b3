// Reply cleaning, one table per step, then the whole pipeline for one character and for a duo.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/Text.h"
#include "services/ai/DeepSeekService.h"
#include "services/ai/ReplyCleaning.h"

namespace Lorvex::Services {
namespace {

struct Pair {
    std::wstring input;
    std::wstring expected;
};

std::string Show(const std::wstring& text) {
    return Text::ToUtf8(text);
}

TEST(CleanDashes, EachDashBecomesAJoinerThatFitsWhereItStood) {
    const Pair cases[] = {
        {L"Hola — qué tal", L"Hola, qué tal"},
        {L"Hola—qué tal", L"Hola, qué tal"},
        {L"a – b ― c", L"a, b, c"},
        {L"a\t—\tb", L"a, b"},
        {L"a — — b", L"a, b"},
        {L"a——b", L"a, b"},
        {L"Se fue. — Luego volvió", L"Se fue. Luego volvió"},
        {L"*sonríe* — hola", L"*sonríe* hola"},
        {L"— Hola", L"Hola"},
        {L"Dijo:\n—  Hola", L"Dijo:\nHola"},
        {L"espera —", L"espera"},
        {L"espera —\nsigue", L"espera\nsigue"},
        {L"espera —\r\nsigue", L"espera\r\nsigue"},
        {L"bien —, gracias", L"bien, gracias"},
        {L"«— Hola —»", L"«Hola»"},
        {L"¿— Vienes?", L"¿Vienes?"},
        {L"(— ya)", L"(ya)"},
        {L"un guion - corto", L"un guion - corto"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(Show(RemoveDashes(c.input)), Show(c.expected)) << Show(c.input);
    }
}

TEST(CleanPhrases, RemovesWholeWordsInAnyCaseAndKeepsTheRestAsWritten) {
    const std::vector<std::wstring> self = {L"soy una ia", L"como ia", L"inteligencia artificial"};
    const Pair cases[] = {
        {L"como ia, no puedo", L", no puedo"},
        {L"Como IA, No Puedo", L", No Puedo"},
        {L"Te Digo COMO iA que SÍ", L"Te Digo  que SÍ"},
        {L"Soy una IA e Inteligencia Artificial.", L" e ."},
        {L"como ial", L"como ial"},
        {L"como ia_", L"como ia_"},
        {L"como ia2", L"como ia2"},
        {L"xcomo ia", L"xcomo ia"},
        {L"_como ia", L"_como ia"},
        {L"1como ia", L"1como ia"},
        {L"ñcomo ia", L"ñcomo ia"},  // letters beyond ASCII are word characters too
        {L"como iañ", L"como iañ"},
        {L"¿como ia?", L"¿?"},
        {L"(como ia)", L"()"},
        {L"como i", L"como i"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(Show(RemovePhrases(c.input, self)), Show(c.expected)) << Show(c.input);
    }
    const std::vector<std::wstring> roleplay = {L"en este roleplay", L"en este escenario"};
    EXPECT_EQ(RemovePhrases(L"En este Roleplay, te quiero en este escenario", roleplay), L", te quiero ");
}

TEST(CleanPrefix, ALeadingNameAndColonIsCutAndNamed) {
    struct Case {
        std::wstring input;
        std::wstring text;     // after CleanReply
        std::wstring speaker;  // PrefixSpeaker of the uncleaned input
    };
    const Case cases[] = {
        {L"Marco: Hola, ¿qué tal?", L"Hola, ¿qué tal?", L"Marco"},
        {L"La chica rubia: hola", L"hola", L"La chica rubia"},
        {L"Ana María : hola", L"hola", L"Ana María"},
        {L"Marco:\n\n \u00A0Hola", L"Hola", L"Marco"},
        {L": hola", L"hola", L""},
        {L"\n  Marco: hola", L"hola", L"Marco"},
        // Not a prefix.
        {L"Uno dos tres cuatro: hola", L"Uno dos tres cuatro: hola", L""},
        {L"*Se acerca despacio*: hola", L"*Se acerca despacio*: hola", L""},
        {L"Hola\nMarco: sí", L"Hola\nMarco: sí", L""},
        {L"Son las 10:30", L"Son las 10:30", L""},
        {L"Mira https://ejemplo.es ya", L"Mira https://ejemplo.es ya", L""},
        {L"Sin dos puntos", L"Sin dos puntos", L""},
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(DeepSeekService::CleanReply(c.input)), Show(c.text)) << Show(c.input);
        EXPECT_EQ(Show(PrefixSpeaker(c.input)), Show(c.speaker)) << Show(c.input);
    }
    EXPECT_EQ(FindNamePrefix(L"Marco: hola"), std::optional<size_t>(5));
    EXPECT_EQ(FindNamePrefix(L"a b c d: x"), std::nullopt);
    EXPECT_EQ(FindNamePrefix(L""), std::nullopt);
}

TEST(CleanReply, StepsRunInOrderOnTheWholeText) {
    const Pair cases[] = {
        // Dashes first, then phrases, then the prefix, then the trim.
        {L"Marco: Como IA — no puedo ", L", no puedo"},
        {L"  Sonrío — en este escenario todo vale.  ", L"Sonrío,  todo vale."},
        {L"Luna — mira: el mar", L"el mar"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(Show(DeepSeekService::CleanReply(c.input)), Show(c.expected)) << Show(c.input);
    }
}

TEST(CleanEchoAsides, DropsOnlyAsidesThatQuoteThePartner) {
    struct Case {
        std::wstring input;
        wchar_t open;
        wchar_t close;
        std::wstring verb;
        std::wstring expected;
    };
    const Case cases[] = {
        {L"[Leo respondio: hola] Vale", L'[', L']', L"respondio", L" Vale"},
        {L"A [LEO RESPONDIO: Hola] B", L'[', L']', L"respondio", L"A  B"},
        {L"(Leo dijo: ven) Voy", L'(', L')', L"dijo", L" Voy"},
        {L"(Leo dijo:) Voy", L'(', L')', L"dijo", L" Voy"},
        {L"(Leo sonríe) Voy", L'(', L')', L"dijo", L"(Leo sonríe) Voy"},
        {L"(Leo dijo) Voy", L'(', L')', L"dijo", L"(Leo dijo) Voy"},
        {L"(Leo dijo que sí) Voy", L'(', L')', L"dijo", L"(Leo dijo que sí) Voy"},
        {L"(dijo Leo: x) Voy", L'(', L')', L"dijo", L"(dijo Leo: x) Voy"},
        {L"[Leo respondió: hola] Vale", L'[', L']', L"respondio", L"[Leo respondió: hola] Vale"},
        {L"(Leo dijo: sin cierre", L'(', L')', L"dijo", L"(Leo dijo: sin cierre"},
        {L"Fin (", L'(', L')', L"dijo", L"Fin ("},
        {L"(Le) (Leo dijo: x) Y", L'(', L')', L"dijo", L"(Le)  Y"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(RemoveEchoAsides(c.input, c.open, c.close, L"Leo", c.verb)), Show(c.expected)) << Show(c.input);
    }
}

TEST(CleanDualReply, WithAPartnerEchoesGoAndSpaceFolds) {
    Character leo;
    leo.name = L"Leo";
    const std::optional<Character> partner = leo;
    const Pair withPartner[] = {
        {L"[Leo respondio: hola] Vale, vamos.", L"Vale, vamos."},
        {L"Pues claro que sí (leo dijo: ven)\n\nVoy   contigo\n(Leo sonríe)",
         L"Pues claro que sí Voy contigo (Leo sonríe)"},
        {L"Ana: Primero\n\nSegundo — tercero", L"Primero Segundo, tercero"},
        {L"Pues vale, dime [Leo respondió: hola] sí", L"Pues vale, dime [Leo respondió: hola] sí"},
    };
    for (const Pair& c : withPartner) {
        EXPECT_EQ(Show(DeepSeekService::CleanDualReply(partner, c.input)), Show(c.expected)) << Show(c.input);
    }
    // Without a partner it is the single-character cleaning: paragraphs and asides stay.
    EXPECT_EQ(DeepSeekService::CleanDualReply(std::nullopt, L"Muy bien, te lo digo [Leo respondio: hola]\n\nVale"),
              L"Muy bien, te lo digo [Leo respondio: hola]\n\nVale");
}

TEST(CleanProgress, WrapsACallbackWithTheCleaning) {
    EXPECT_FALSE(static_cast<bool>(CleanedProgress({})));
    std::vector<std::wstring> seen;
    const ProgressCallback wrapped = CleanedProgress([&seen](const std::wstring& text) { seen.push_back(text); });
    ASSERT_TRUE(static_cast<bool>(wrapped));
    wrapped(L"Marco");
    wrapped(L"Marco: hola — adiós");
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Marco", L"hola, adiós"}));
}

}  // namespace
}  // namespace Lorvex::Services
