// A new user's first session, from an empty data folder, driven only through the window: the
// welcome asks who they are, a first character gets a photo and a known person made from a pasted
// list, a duo is made in two steps, a second persona is added; the files hold what was typed.

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/json/Value.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/overlays/Dialog.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/editors/KnownCharacterEditor.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "services/state/AppState.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

constexpr double kStep = 0.05;
constexpr int kWidth = 980;
constexpr int kHeight = 900;
// Rows of a form closer than this to the window's bottom lie under its footer.
constexpr float kFooterBand = 90;

void Arrive(FrameDriver& driver) {
    driver.RunFor(0.8, kStep);
}

// The widget brought into the form's view (the wheel moves the form), then clicked. A widget the
// wheel no longer moves is as far in as it comes.
void ClickInForm(FrameDriver& driver, const char* name) {
    std::optional<Rect> before;
    for (int i = 0; i < 12; ++i) {
        const std::optional<Rect> rect = driver.WidgetRect(name);
        ASSERT_TRUE(rect.has_value()) << name;
        const bool still = before && before->y == rect->y;
        if (!still && rect->y + rect->h > kHeight - kFooterBand) {
            driver.Scroll(kWidth / 2.0f, kHeight / 2.0f, -2);
        } else if (!still && rect->y < 130) {
            driver.Scroll(kWidth / 2.0f, kHeight / 2.0f, 2);
        } else {
            driver.ClickWidget(name);
            return;
        }
        before = rect;
        driver.RunFor(0.3, kStep);
    }
    FAIL() << name << " never came into view";
}

void TypeInto(FrameDriver& driver, const char* name, const std::wstring& text) {
    ClickInForm(driver, name);
    driver.Type(text);
}

std::wstring LastToast(FrameDriver& driver) {
    const std::vector<std::wstring> toasts = driver.Toasts();
    return toasts.empty() ? L"" : toasts.back();
}

Json::Value StoredCharacter(const Character& character) {
    return Json::Value::Parse(Content(Files::JoinPath(character.folder, L"character.json")));
}

std::vector<std::wstring> Strings(const Json::Value& array) {
    std::vector<std::wstring> out;
    for (const Json::Value& item : array.Items()) {
        out.push_back(item.AsWString());
    }
    return out;
}

void ClickIn(FrameDriver& driver, const Rect& r) {
    driver.Click(r.x + r.w / 2, r.y + r.h / 2);
}

// The known person's editor, as a user fills it: a photo, a name and the traits pasted as a list;
// Ctrl+Enter hands the person to the form.
void AddKnownPersonFromAPastedList(FrameDriver& driver, const std::wstring& picture) {
    Main::KnownCharacterEditor& editor = *driver.Window().knownCharacterEditor;
    ClickInForm(driver, "cf-known-add");
    ASSERT_EQ(driver.TopOverlay(), &editor);
    driver.RunFor(0.5, kStep);
    const Rect window = driver.Window().windowRect;
    const float width = editor.Width(window);
    const Main::Dialog::Geometry g =
        Main::Dialog::Layout(window, width, editor.ContentHeight(driver.Ui(), width - 48), true);
    ASSERT_FALSE(g.scrolls);
    const Rect body = g.bodyContent;
    const float a = Main::Kit::FieldHeight(driver.Ui(), false, 1);
    const float m = Main::Kit::FieldHeight(driver.Ui(), true, 3);

    driver.pickedFile = picture;
    const float chooseWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Elegir foto", Main::Kit::kButtonFontSize);
    ClickIn(driver, {body.x + 96, body.y + 8 + 46, chooseWidth, 32});
    ClickIn(driver, {body.x, body.y + 106, (body.w - 14) / 2, a});
    driver.Type(L"Marta");
    driver.clipboard = L"Rasgos:\r\n- Leal\r\n\u2022 Curiosa\r\n\r\n\u2014 Testaruda\r\n";
    const float traitsTop = body.y + 106 + 2 * (a + 14) + m + 18 + 28 + Main::Kit::kChoiceChipHeight + 18 + 28;
    const float lineWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Agregar línea", Main::Kit::kButtonFontSize);
    const float pasteWidth = Main::Kit::ButtonWidth(driver.Ui(), L"Pegar lista", Main::Kit::kButtonFontSize);
    ClickIn(driver, {body.x + lineWidth + 8, traitsTop, pasteWidth, 34});
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_FALSE(editor.IsOpen());
    driver.RunFor(0.5, kStep);
}

TEST(NewUser, WelcomeFirstCharacterWithPhotoAndKnownPersonDuoAndSecondPersonaAllReachTheFiles) {
    FrameDriver::Options options;
    options.settings.window_width = kWidth;
    options.settings.window_height = kHeight;
    FrameDriver driver(options);
    Main::MainWindow& window = driver.Window();
    Arrive(driver);

    // The welcome asks who the user is before anything else.
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    TypeInto(driver, "pf-name", L"Marta");
    TypeInto(driver, "pf-age", L"31");
    TypeInto(driver, "pf-personality", L"Curiosa");
    ClickInForm(driver, "pf-save");
    ASSERT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"¡Hola, Marta! Ahora crea tu primer personaje");
    Arrive(driver);

    // A first character, with a photo and a known person pasted as a list.
    const std::wstring photo = driver.DataPath(L"ana.png");
    const std::wstring knownPhoto = driver.DataPath(L"marta.png");
    ASSERT_TRUE(Files::WriteBytes(photo, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f)));
    ASSERT_TRUE(Files::WriteBytes(knownPhoto, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFFCC6633), true, 0.9f)));
    driver.ClickWidget("hero-new");
    ASSERT_EQ(driver.CurrentScreen(), Main::kCharacterFormScreen);
    Arrive(driver);
    driver.pickedFile = photo;
    ClickInForm(driver, "cf-photo-pick");
    TypeInto(driver, "cf-name", L"Ana");
    TypeInto(driver, "cf-age", L"27");
    TypeInto(driver, "cf-personality", L"Curiosa y terca");
    TypeInto(driver, "cf-background", L"Creció en Vigo");
    TypeInto(driver, "cf-scenario", L"Un faro en invierno");
    AddKnownPersonFromAPastedList(driver, knownPhoto);
    driver.ClickWidget("cf-save");
    ASSERT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"Ana está lista para chatear");
    Arrive(driver);

    // A duo, in two steps.
    driver.ClickWidget("hero-new");
    Arrive(driver);
    TypeInto(driver, "cf-name", L"Bruno");
    TypeInto(driver, "cf-age", L"33");
    TypeInto(driver, "cf-personality", L"Callado");
    TypeInto(driver, "cf-background", L"Pescador");
    driver.ClickWidget("cf-dual");
    EXPECT_EQ(window.characterFormScreen->step, Main::CharacterFormScreen::DuoSecond);
    Arrive(driver);
    TypeInto(driver, "cf-name", L"Clara");
    TypeInto(driver, "cf-age", L"29");
    TypeInto(driver, "cf-personality", L"Risueña");
    TypeInto(driver, "cf-background", L"Maestra");
    driver.ClickWidget("cf-save");
    ASSERT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(LastToast(driver), L"Dúo creado: Bruno y Clara");
    Arrive(driver);

    // A second persona from the personas screen.
    driver.ClickWidget("hero-users");
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
    Arrive(driver);
    driver.ClickWidget("persona-new");
    ASSERT_EQ(driver.CurrentScreen(), Main::kPersonaFormScreen);
    Arrive(driver);
    TypeInto(driver, "pf-name", L"Leo");
    TypeInto(driver, "pf-age", L"40");
    TypeInto(driver, "pf-personality", L"Serio");
    ClickInForm(driver, "pf-save");
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);

    // What the files hold, read back from the data folder.
    const std::vector<std::shared_ptr<Persona>> personas = Storage::LoadPersonas();
    ASSERT_EQ(personas.size(), 2u);
    EXPECT_EQ(personas[0]->name, L"Leo");
    EXPECT_EQ(personas[1]->name, L"Marta");
    EXPECT_EQ(personas[1]->age, L"31");
    EXPECT_EQ(personas[1]->personality, L"Curiosa");

    const auto& characters = driver.State().characters;
    ASSERT_EQ(characters.size(), 3u);
    std::shared_ptr<Character> ana;
    std::shared_ptr<Character> bruno;
    std::shared_ptr<Character> clara;
    for (const auto& character : characters) {
        (character->name == L"Ana" ? ana : character->name == L"Bruno" ? bruno : clara) = character;
    }
    ASSERT_TRUE(ana && bruno && clara);
    const Json::Value anaFile = StoredCharacter(*ana);
    EXPECT_EQ(anaFile.Find("age").AsWString(), L"27");
    EXPECT_EQ(anaFile.Find("personality").AsWString(), L"Curiosa y terca");
    EXPECT_EQ(anaFile.Find("background").AsWString(), L"Creció en Vigo");
    EXPECT_EQ(anaFile.Find("scenario").AsWString(), L"Un faro en invierno");
    const std::wstring anaPhoto = anaFile.Find("photoPath").AsWString();
    EXPECT_EQ(Files::ParentPath(anaPhoto), driver.DataPath(L"images"));
    EXPECT_TRUE(Files::IsFile(anaPhoto));
    const Json::Value& known = anaFile.Find("known_characters");
    ASSERT_EQ(known.Items().size(), 1u);
    EXPECT_EQ(known.Items()[0].Find("name").AsWString(), L"Marta");
    EXPECT_EQ(Strings(known.Items()[0].Find("personality")),
              (std::vector<std::wstring>{L"Leal", L"Curiosa", L"Testaruda"}));
    const std::wstring marta = known.Items()[0].Find("photoPath").AsWString();
    EXPECT_EQ(Files::ParentPath(marta), driver.DataPath(L"images"));
    EXPECT_TRUE(Files::IsFile(marta));

    EXPECT_EQ(StoredCharacter(*bruno).Find("dual_partner_id").AsWString(), clara->id);
    EXPECT_EQ(StoredCharacter(*clara).Find("dual_partner_id").AsWString(), bruno->id);
    EXPECT_EQ(StoredCharacter(*clara).Find("personality").AsWString(), L"Risueña");
    EXPECT_EQ(bruno->chats, clara->chats);
}

}  // namespace
}  // namespace Lorvex::Testing
