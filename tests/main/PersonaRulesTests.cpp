// The persona form's rules (required fields, trimming, the photo on save) and the personas list's
// placement and texts, as tables.

#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <string>
#include <utility>

#include "main/editors/PersonaDraft.h"
#include "main/editors/PersonasScreen.h"

namespace Lorvex::Main {
namespace {

PersonaDraft Filled() {
    PersonaDraft draft;
    draft.name = L"Marta";
    draft.age = L"31";
    draft.personality = L"Curiosa";
    return draft;
}

TEST(PersonaDraft, RequiresNameAgePersonalityAndBothChoicesWhateverBlanksTheyHold) {
    struct Case {
        const wchar_t* what;
        void (*change)(PersonaDraft&);
        bool complete;
    };
    const Case cases[] = {
        {L"all filled, no traits", [](PersonaDraft&) {}, true},
        {L"name of spaces", [](PersonaDraft& d) { d.name = L"   "; }, false},
        {L"name of a no-break space", [](PersonaDraft& d) { d.name = L"\u00A0"; }, false},
        {L"name of a byte-order mark", [](PersonaDraft& d) { d.name = L"\uFEFF"; }, false},
        {L"age of tabs and line breaks", [](PersonaDraft& d) { d.age = L"\t\r\n"; }, false},
        {L"empty age", [](PersonaDraft& d) { d.age.clear(); }, false},
        {L"personality of mixed blanks", [](PersonaDraft& d) { d.personality = L" \u00A0\uFEFF\n"; }, false},
        {L"no gender chosen", [](PersonaDraft& d) { d.gender.clear(); }, false},
        {L"no orientation chosen", [](PersonaDraft& d) { d.orientation.clear(); }, false},
        {L"blanks around a name", [](PersonaDraft& d) { d.name = L"\u00A0 Marta \uFEFF"; }, true},
        {L"blank traits", [](PersonaDraft& d) { d.traits = L"  "; }, true},
    };
    for (const Case& c : cases) {
        PersonaDraft draft = Filled();
        c.change(draft);
        EXPECT_EQ(IsComplete(draft), c.complete) << std::string(c.what, c.what + wcslen(c.what));
    }
}

TEST(PersonaDraft, SavedTextsAreTrimmedAndChoicesKeptAsChosen) {
    PersonaDraft draft;
    draft.name = L"\uFEFF Marta\u00A0";
    draft.age = L" 31\n";
    draft.gender = L"Otro";
    draft.orientation = L"Bisexual";
    draft.traits = L"\talta, risueña ";
    draft.personality = L"\r\nCuriosa y paciente.\r\n";
    Persona persona;
    persona.photoPath = L"C:\\kept.png";
    ApplyTexts(draft, persona);
    EXPECT_EQ(persona.name, L"Marta");
    EXPECT_EQ(persona.age, L"31");
    EXPECT_EQ(persona.gender, L"Otro");
    EXPECT_EQ(persona.orientation, L"Bisexual");
    EXPECT_EQ(persona.traits, L"alta, risueña");
    EXPECT_EQ(persona.personality, L"Curiosa y paciente.");
    EXPECT_EQ(persona.photoPath, L"C:\\kept.png");
}

TEST(PersonaDraft, LoadedFromAPersonaFillsTheDefaultsOfMissingChoices) {
    Persona persona;
    persona.name = L"Bruno";
    PersonaDraft draft = PersonaDraft::From(persona);
    EXPECT_EQ(draft.name, L"Bruno");
    EXPECT_EQ(draft.gender, L"Mujer");
    EXPECT_EQ(draft.orientation, L"Heterosexual");
    EXPECT_EQ(draft.photoPath, L"");

    persona.gender = L"Hombre";
    persona.orientation = L"Homosexual";
    persona.photoPath = L"C:\\images\\persona_1.png";
    draft = PersonaDraft::From(persona);
    EXPECT_EQ(draft.gender, L"Hombre");
    EXPECT_EQ(draft.orientation, L"Homosexual");
    EXPECT_EQ(draft.photoPath, L"C:\\images\\persona_1.png");
}

TEST(PersonaDraft, ThePhotoIsClearedKeptOnlyWhenExactlyTheSameOrImported) {
    struct Case {
        std::wstring form;
        std::optional<std::wstring> persona;
        PhotoStep step;
    };
    const Case cases[] = {
        {L"", std::nullopt, PhotoStep::Clear},
        {L"", L"C:\\images\\persona_1.png", PhotoStep::Clear},
        {L"C:\\images\\persona_1.png", L"C:\\images\\persona_1.png", PhotoStep::Keep},
        {L"C:\\images\\PERSONA_1.png", L"C:\\images\\persona_1.png", PhotoStep::Import},
        {L"C:\\fotos\\yo.jpg", std::nullopt, PhotoStep::Import},
        {L"C:\\fotos\\yo.jpg", L"", PhotoStep::Import},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PhotoStepFor(c.form, c.persona), c.step) << std::string(c.form.begin(), c.form.end());
    }
}

TEST(PersonasGrid, ColumnsOfAtLeast280WithTheirGaps) {
    const std::pair<float, int> cases[] = {{0, 1}, {280, 1}, {577, 1}, {578, 2}, {875, 2}, {876, 3}, {1800, 6}};
    for (const auto& [width, columns] : cases) {
        EXPECT_EQ(PersonasScreen::Columns(width), columns) << width;
    }
}

TEST(PersonasGrid, CardsFillRowsLeftToRightAndTheListCountsWholeRows) {
    // Content 894 wide: 838 inside the margins, two cards of 410.
    const PersonasScreen::Grid grid = PersonasScreen::GridFor({86, 58, 894, 582});
    EXPECT_EQ(grid.columns, 2);
    EXPECT_FLOAT_EQ(grid.cardWidth, 410);
    const Rect first = grid.Card(0);
    const Rect third = grid.Card(2);
    EXPECT_FLOAT_EQ(first.x, 114);
    EXPECT_FLOAT_EQ(first.y, 58 + 28 + 92);
    EXPECT_FLOAT_EQ(grid.Card(1).x, 114 + 410 + 18);
    EXPECT_FLOAT_EQ(third.x, 114);
    EXPECT_FLOAT_EQ(third.y, first.y + 214);
    EXPECT_FLOAT_EQ(grid.ListHeight(3), 2 * 214);
    EXPECT_FLOAT_EQ(grid.ListHeight(4), 2 * 214);

    const Rect edit = PersonasScreen::EditButton(first);
    const Rect remove = PersonasScreen::DeleteButton(first);
    EXPECT_FLOAT_EQ(edit.w, 186);
    EXPECT_FLOAT_EQ(remove.x, edit.x + 196);
    EXPECT_FLOAT_EQ(remove.x + remove.w, first.x + first.w - 14);
    EXPECT_FLOAT_EQ(edit.y + edit.h, first.y + first.h - 12);
}

TEST(PersonasGrid, TheSecondLineShowsTheAgeOnlyWhenThereIsOne) {
    Persona persona;
    persona.gender = L"Mujer";
    EXPECT_EQ(PersonasScreen::Details(persona), L"Mujer");
    persona.age = L"31";
    EXPECT_EQ(PersonasScreen::Details(persona), L"31 años · Mujer");
}

}  // namespace
}  // namespace Lorvex::Main
