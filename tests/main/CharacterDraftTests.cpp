// The character form's draft: which drafts count as complete, and what a draft writes into a
// character, photo included.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "graphics/Images.h"
#include "main/editors/CharacterDraft.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

using Main::BuildCharacter;
using Main::CharacterDraft;
using Main::ReadyToChatText;

CharacterDraft Complete() {
    CharacterDraft draft;
    draft.name = L"Ana";
    draft.age = L"27";
    draft.personality = L"Curiosa";
    draft.background = L"Creció junto al mar";
    return draft;
}

// Texts that hold nothing but the blanks a form trims away.
const std::vector<std::wstring> kBlanks = {L"", L" ", L"\t\r\n", L"\u00A0", L"\uFEFF", L" \u00A0\uFEFF\t"};

TEST(CharacterDraft, EveryRequiredFieldMustHoldMoreThanBlanks) {
    EXPECT_TRUE(Main::HasRequiredFields(Complete()));
    std::wstring CharacterDraft::*const required[] = {&CharacterDraft::name,        &CharacterDraft::age,
                                                      &CharacterDraft::gender,      &CharacterDraft::orientation,
                                                      &CharacterDraft::personality, &CharacterDraft::background};
    for (std::wstring CharacterDraft::*field : required) {
        for (const std::wstring& blank : kBlanks) {
            CharacterDraft draft = Complete();
            draft.*field = blank;
            EXPECT_FALSE(Main::HasRequiredFields(draft)) << "blank \"" << Text::ToUtf8(blank) << "\"";
        }
    }
    // The optional texts may stay empty; a name with blanks around it is a name.
    CharacterDraft optional = Complete();
    optional.name = L"\u00A0 Ana\uFEFF";
    optional.traits = L" ";
    optional.scenario.clear();
    optional.speechStyle.clear();
    EXPECT_TRUE(Main::HasRequiredFields(optional));
}

TEST(CharacterDraft, TheReadyToastAgreesWithTheGender) {
    struct Case {
        const wchar_t* gender;
        const wchar_t* toast;
    };
    const Case cases[] = {
        {L"Mujer", L"Ana está lista para chatear"},
        {L"Hombre", L"Ana está listo para chatear"},
        {L"Otro", L"Ana está listo para chatear"},
        {L"", L"Ana está listo para chatear"},
    };
    for (const Case& c : cases) {
        Character character;
        character.name = L"Ana";
        character.gender = c.gender;
        EXPECT_EQ(ReadyToChatText(character), c.toast) << c.gender;
    }
}

TEST(CharacterDraft, EditingStartsFromTheCharacterWithDefaultsForEmptyChoices) {
    Character stored;
    stored.name = L"Bruno";
    stored.gender.clear();
    stored.orientation.clear();
    stored.speech_style.clear();
    stored.nsfw_allowed = true;
    stored.photoPath = L"C:\\data\\images\\bruno.png";
    stored.known_characters.resize(2);
    const CharacterDraft draft = CharacterDraft::From(stored);
    EXPECT_EQ(draft.gender, L"Mujer");
    EXPECT_EQ(draft.orientation, L"Heterosexual");
    EXPECT_EQ(draft.speechStyle, L"Normal");
    EXPECT_TRUE(draft.adult);
    EXPECT_EQ(draft.photoPath, L"C:\\data\\images\\bruno.png");
    EXPECT_EQ(draft.knownCharacters.size(), 2u);
    EXPECT_TRUE(CharacterDraft::From(Character{}).photoPath.empty());
}

TEST(CharacterDraft, BuildTrimsTheTextsAndKeepsTheChoicesAsTheyStand) {
    CharacterDraft draft = Complete();
    draft.name = L"\uFEFF Ana \u00A0";
    draft.age = L"\t27\n";
    draft.gender = L"Otro";
    draft.orientation = L" Bisexual ";
    draft.traits = L"  curiosa, terca ";
    draft.scenario = L"\r\nUn faro\r\n";
    draft.initialMessage = L" *saluda* ";
    draft.speechStyle.clear();
    draft.adult = true;
    draft.knownCharacters.resize(1);
    draft.knownCharacters[0].name = L"Marta";

    const auto built = BuildCharacter(draft, nullptr);
    ASSERT_NE(built.character, nullptr);
    const Character& c = *built.character;
    EXPECT_FALSE(c.id.empty());
    EXPECT_EQ(c.name, L"Ana");
    EXPECT_EQ(c.age, L"27");
    EXPECT_EQ(c.gender, L"Otro");
    EXPECT_EQ(c.orientation, L" Bisexual ");
    EXPECT_EQ(c.traits, L"curiosa, terca");
    EXPECT_EQ(c.scenario, L"Un faro");
    EXPECT_EQ(c.initial_message, L"*saluda*");
    EXPECT_EQ(c.speech_style, L"Normal");
    EXPECT_TRUE(c.nsfw_allowed);
    ASSERT_EQ(c.known_characters.size(), 1u);
    EXPECT_EQ(c.known_characters[0].name, L"Marta");
    EXPECT_FALSE(c.photoPath.has_value());
    EXPECT_FALSE(built.photoFailed);

    // An edit changes the record in place and keeps what the form does not show.
    auto base = Character::Create();
    base->memory = L"Recuerda el faro";
    base->is_dual_mode = true;
    const auto edited = BuildCharacter(draft, base);
    EXPECT_EQ(edited.character, base);
    EXPECT_EQ(base->name, L"Ana");
    EXPECT_EQ(base->memory, L"Recuerda el faro");
    EXPECT_TRUE(base->is_dual_mode);
}

class CharacterDraftPhoto : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = MakeTempFolder(L"lorvex-draft");
        data_ = Files::JoinPath(root_, L"data");
        ASSERT_TRUE(Files::EnsureDir(Files::JoinPath(data_, L"images")));
        Paths::SetDataDirForTesting(data_);
        outside_ = Files::JoinPath(root_, L"picked.png");
        inside_ = Files::JoinPath(data_, L"images\\kept.png");
        const std::string png = Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f);
        ASSERT_TRUE(Files::WriteBytes(outside_, png));
        ASSERT_TRUE(Files::WriteBytes(inside_, png));
    }
    void TearDown() override { Files::RemoveTree(root_); }

    size_t StoredPictures() const { return Files::ListFiles(Files::JoinPath(data_, L"images"), L"*", false).size(); }

    std::wstring root_;
    std::wstring data_;
    std::wstring outside_;
    std::wstring inside_;
};

TEST_F(CharacterDraftPhoto, KeptClearedCopiedOrRefused) {
    struct Case {
        const char* what;
        std::optional<std::wstring> before;  // the record's photo
        std::wstring drafted;                // the draft's photo
        bool copied;                         // a new file in "images" becomes the photo
        std::optional<std::wstring> after;   // otherwise the record's photo afterwards
        bool failed;
    };
    const std::wstring missing = Files::JoinPath(root_, L"gone.png");
    const std::vector<Case> cases = {
        {"untouched", inside_, inside_, false, inside_, false},
        // A record whose photo lies elsewhere (written by hand) keeps it: only a new pick is copied.
        {"untouched outside images", outside_, outside_, false, outside_, false},
        {"cleared", inside_, L"", false, std::nullopt, false},
        {"picked outside", inside_, outside_, true, std::nullopt, false},
        {"picked inside images", std::nullopt, inside_, false, inside_, false},
        {"picked file vanished", inside_, missing, false, inside_, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const size_t before = StoredPictures();
        auto base = Character::Create();
        base->photoPath = c.before;
        CharacterDraft draft = Complete();
        draft.photoPath = c.drafted;
        const auto built = BuildCharacter(draft, base);
        EXPECT_EQ(built.photoFailed, c.failed);
        if (c.copied) {
            ASSERT_TRUE(base->photoPath.has_value());
            EXPECT_EQ(Files::ParentPath(*base->photoPath), Files::JoinPath(data_, L"images"));
            EXPECT_NE(*base->photoPath, inside_);
            EXPECT_TRUE(Files::IsFile(*base->photoPath));
            EXPECT_EQ(StoredPictures(), before + 1);
        } else {
            EXPECT_EQ(base->photoPath, c.after);
            EXPECT_EQ(StoredPictures(), before);
        }
    }
}

}  // namespace
}  // namespace Lorvex::Testing
