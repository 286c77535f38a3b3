#include <gtest/gtest.h>

#include <vector>

#include "domain/Choices.h"

namespace Lorvex {
namespace {

TEST(ChoicesLists, HoldTheExactTextsInOrder) {
    const std::vector<std::wstring> names = {L"Normal", L"Picante",       L"Agresivo", L"Amistoso", L"Educado",
                                             L"Vulgar", L"Jerga juvenil", L"Poetico",  L"Tecnico",  L"Misterioso"};
    const auto& styles = SpeechStyles();
    ASSERT_EQ(styles.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(styles[i].name, names[i]) << i;
        EXPECT_FALSE(styles[i].description.empty()) << i;
    }
    // Stored characters hold the unaccented names; the descriptions keep their accents.
    EXPECT_EQ(styles[0].description, L"Habla estándar sin características especiales.");
    EXPECT_EQ(styles[7].description, L"Expresa ideas con metáforas y lenguaje florido.");
    EXPECT_EQ(styles[9].description, L"Habla de manera enigmática y con frases ambiguas.");

    EXPECT_EQ(Genders(), (std::vector<std::wstring>{L"Hombre", L"Mujer", L"Otro"}));
    EXPECT_EQ(Orientations(), (std::vector<std::wstring>{L"Heterosexual", L"Homosexual", L"Bisexual", L"Otro"}));
    EXPECT_EQ(Importances(), (std::vector<std::wstring>{L"Principal", L"Secundario", L"De fondo"}));

    // Callers keep references across frames: every call hands out the same list.
    EXPECT_EQ(&SpeechStyles(), &styles);
}

}  // namespace
}  // namespace Lorvex
