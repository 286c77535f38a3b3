// The frame driver on the real main window and on plain test windows: start-up on fixture data,
// a screen change that slides in and comes to rest, the top-most overlay, a toast's life, input
// as a user gives it, the fakes of the system, the layer balance check and the pictures.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/FileDialog.h"
#include "foundation/Files.h"
#include "foundation/Shell.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "main/MainWindow.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/dialogs/SettingsDialog.h"
#include "main/editors/PersonasScreen.h"
#include "services/state/AppState.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/GfxOffscreen.h"
#include "tests/support/TestFiles.h"
#include "ui/Theme.h"

namespace Lorvex::Testing {
namespace {

using Main::MainWindow;

// A persona keeps the first screen home whatever start-up decides for a first run.
FrameDriver::Options WithPersona() {
    FrameDriver::Options options;
    auto persona = std::make_shared<Persona>();
    persona->id = L"persona-1";
    persona->name = L"Lucía";
    options.personas.push_back(persona);
    return options;
}

TEST(FrameDriver, OpensTheRealWindowOnHomeWithTheFixtureRecordsRestsAndCloses) {
    FrameDriver::Options options = WithPersona();
    options.settings.dark_theme = false;
    auto character = Character::Create();
    character->name = L"Ana";
    auto chat = Chat::Create();
    chat->messages.push_back(Message::Create(L"assistant", L"Hola"));
    character->chats->push_back(chat);
    options.characters.push_back(character);

    FrameDriver driver(options);
    ASSERT_TRUE(driver.Opened());
    EXPECT_TRUE(IsWindowVisible(driver.Window().hwnd));
    EXPECT_EQ(MainWindow::Current(), &driver.Window());
    EXPECT_TRUE(driver.Settle());
    EXPECT_EQ(driver.CurrentScreen(), Main::kHomeScreen);
    EXPECT_EQ(driver.TopOverlay(), nullptr);

    // The records came from the data folder the driver wrote.
    ASSERT_EQ(driver.State().characters.size(), 1u);
    EXPECT_EQ(driver.State().characters[0]->name, L"Ana");
    ASSERT_EQ(driver.State().characters[0]->chats->size(), 1u);
    ASSERT_EQ(driver.State().personas.size(), 1u);
    EXPECT_TRUE(Exists(Files::JoinPath(driver.State().characters[0]->folder, L"character.json")));
    EXPECT_TRUE(Exists(driver.DataPath(L"personas")));

    // At rest nothing asks for frames, however many are run.
    driver.Frames(3);
    EXPECT_TRUE(driver.Idle());

    // Closed as the user closes it, the window writes its size and theme to the file and is gone.
    Settings::Instance().window_height = 700;
    Settings::Instance().last_version = L"9.9.9";
    driver.Close();
    EXPECT_FALSE(driver.Opened());
    const Settings stored = driver.StoredSettings();
    EXPECT_EQ(stored.last_version, L"9.9.9");
    EXPECT_NE(stored.window_height, 700);
    EXPECT_FALSE(stored.dark_theme);
    driver.Frame();
}

TEST(FrameDriver, NavigateSlidesTheScreenInAndStopsWhenItArrives) {
    FrameDriver driver(WithPersona());
    // Between two screens that light the same rail row, so that only the slide moves. The persona
    // form never rests (its header keeps moving), so the slide goes back from it to the list,
    // whose own entrance is made long over.
    driver.Window().Navigate(Main::kPersonaFormScreen);
    driver.RunFor(1);

    driver.Window().Navigate(Main::kPersonasScreen);
    driver.Window().personasScreen->shownAt = driver.Now() - 100;
    const double start = driver.Now();
    driver.Frame();
    EXPECT_EQ(driver.CurrentScreen(), Main::kPersonasScreen);
    EXPECT_FALSE(driver.Idle());
    EXPECT_EQ(driver.Window().slideDirection, -1.0f);

    // The slide takes 0.34 s of the driver's clock; a frame later the window rests.
    EXPECT_TRUE(driver.Settle());
    EXPECT_NEAR(driver.Now() - start, 0.34, 2 * FrameDriver::kFrameDt);
}

TEST(FrameDriver, TheTopMostOpenOverlayIsTheHighestInTheStack) {
    FrameDriver driver(WithPersona());
    MainWindow& window = driver.Window();
    ASSERT_TRUE(driver.Settle());

    window.settingsDialog->Open();
    driver.Frame();
    EXPECT_EQ(driver.TopOverlay(), window.settingsDialog.get());
    EXPECT_TRUE(window.modal);

    // A confirmation lies above every dialog, whatever was opened first.
    window.confirmDialog->Open(
        L"¿Borrar?", L"No se puede deshacer.", L"Borrar", true, [] {}, UI::Material::Icon::Person);
    driver.Frame();
    EXPECT_EQ(driver.TopOverlay(), window.confirmDialog.get());

    window.confirmDialog->Close();
    driver.Frame();
    EXPECT_EQ(driver.TopOverlay(), window.settingsDialog.get());
    window.settingsDialog->Close();
    driver.Frame();
    EXPECT_EQ(driver.TopOverlay(), nullptr);
    EXPECT_FALSE(window.modal);
}

TEST(FrameDriver, AToastShowsForItsTimeThenGoesAndTheWindowRests) {
    FrameDriver driver(WithPersona());
    ASSERT_TRUE(driver.Settle());
    const std::vector<uint32_t> before = driver.Pixels();

    driver.Window().toasts.Push(L"Guardado", Main::Kit::ToastKind::Success);
    driver.Frame();
    EXPECT_EQ(driver.Toasts(), std::vector<std::wstring>{L"Guardado"});
    EXPECT_FALSE(driver.Idle());
    driver.RunFor(0.5);
    EXPECT_NE(driver.Pixels(), before);

    driver.RunFor(Main::Kit::ToastDisplayTime(Main::Kit::ToastKind::Success) - 0.6, 0.25);
    EXPECT_EQ(driver.Toasts().size(), 1u);
    EXPECT_TRUE(driver.Settle());
    EXPECT_TRUE(driver.Toasts().empty());
    EXPECT_EQ(driver.Pixels(), before);
}

// A plain window whose draw function records what its Ui saw.
struct Seen {
    int clicks = 0;
    std::vector<bool> hovered;  // per frame
    std::vector<UI::KeyEvent> keys;
    bool ctrlWithReturn = false;
    std::wstring text;
    float wheel = 0;
};

FrameDriver::Options Recording(Seen& seen) {
    FrameDriver::Options options;
    options.settings.window_width = 400;
    options.settings.window_height = 300;
    options.draw = [&seen](UI::Ui& ui) {
        const UI::Interaction button = ui.Interact(ui.MakeIdFromText("button"), {100, 100, 80, 40});
        seen.hovered.push_back(button.hovered);
        seen.clicks += button.clicked ? 1 : 0;
        for (const UI::KeyEvent& key : ui.input->keys) {
            seen.keys.push_back(key);
            if (key.vk == VK_RETURN && key.down && key.ctrl) {
                seen.ctrlWithReturn = true;
            }
        }
        seen.text += ui.input->text;
        seen.wheel += ui.input->wheel;
    };
    return options;
}

TEST(FrameDriver, InputArrivesAsAUserGivesIt) {
    Seen seen;
    FrameDriver driver(Recording(seen));
    ASSERT_TRUE(driver.Opened());

    // Hover is decided a frame late: the move frame does not hover yet, the press frame does.
    driver.Click(120, 120);
    ASSERT_EQ(seen.hovered.size(), 3u);
    EXPECT_FALSE(seen.hovered[0]);
    EXPECT_TRUE(seen.hovered[1]);
    EXPECT_EQ(seen.clicks, 1);
    driver.Click(20, 20);
    EXPECT_EQ(seen.clicks, 1);

    // Ctrl+Enter: the modifier is held while the key goes down, and types nothing.
    driver.Key(VK_RETURN, FrameDriver::kCtrl);
    EXPECT_TRUE(seen.ctrlWithReturn);
    EXPECT_EQ(seen.text, L"");
    EXPECT_FALSE(driver.Ui().input->ctrl);
    // Enter alone types a carriage return; Escape and Ctrl+A type nothing.
    driver.Key(VK_RETURN);
    driver.Key(VK_ESCAPE);
    driver.Key('A', FrameDriver::kCtrl);
    driver.Type(L"hola ñ");
    EXPECT_EQ(seen.text, L"\rhola ñ");
    std::vector<int> downs;
    for (const UI::KeyEvent& key : seen.keys) {
        if (key.down) {
            downs.push_back(key.vk);
        }
    }
    EXPECT_EQ(downs, (std::vector<int>{VK_CONTROL, VK_RETURN, VK_RETURN, VK_ESCAPE, VK_CONTROL, 'A'}));

    driver.Scroll(120, 120, -2);
    EXPECT_EQ(seen.wheel, -240.0f);
}

TEST(FrameDriver, TheSystemsDialogsShellClipboardAndClockAreFakes) {
    FrameDriver driver;
    driver.pickedFile = L"C:\\fotos\\ana.png";
    EXPECT_EQ(Files::PickOpenFile(driver.Surface().hwnd, L"Foto", {{L"Imágenes", L"*.png"}}, L""),
              L"C:\\fotos\\ana.png");
    EXPECT_EQ(driver.filePicks, 1);

    EXPECT_TRUE(Shell::Open(driver.DataPath()));
    EXPECT_EQ(driver.shellOpened, std::vector<std::wstring>{driver.DataPath()});

    EXPECT_TRUE(Text::CopyToClipboard(L"copiado"));
    EXPECT_EQ(driver.clipboard, L"copiado");
    driver.clipboard = L"pegado";
    EXPECT_EQ(Text::ReadClipboard(), L"pegado");

    EXPECT_EQ(Time::NowIso(), L"2025-03-07T18:04:09.0000000+01:00");
    EXPECT_EQ(Time::DayLabel(L"2025-03-06T10:00:00"), L"Ayer");
    driver.localTime.time.wDay = 8;
    EXPECT_EQ(Time::RelativeTime(L"2025-03-07T18:00:00"), L"ayer");
}

// What a draw function does to the layer and clip stack, and what the strict check says of it.
struct LayerCase {
    const char* name;
    std::function<void(UI::Ui&)> draw;
    const char* fault;  // empty: balanced
};

TEST(FrameDriver, EveryFrameWhoseLayersAndClipsDoNotBalanceIsAFault) {
    const LayerCase cases[] = {
        {"balanced",
         [](UI::Ui& ui) {
             ui.graphics->PushLayer(0.5f, nullptr);
             ui.PushClip({0, 0, 50, 50});
             ui.PopClip();
             ui.graphics->PopLayer();
         },
         ""},
        {"layer left open", [](UI::Ui& ui) { ui.graphics->PushLayer(0.5f, nullptr); },
         "1 layer left open at the end of the frame"},
        {"round clip and clips left open",
         [](UI::Ui& ui) {
             ui.graphics->PushRoundClip({0, 0, 50, 50}, 8);
             ui.PushClip({0, 0, 50, 50});
             ui.PushClip({0, 0, 20, 20});
         },
         "1 layer and 2 clips left open at the end of the frame"},
        {"layer popped inside a clip",
         [](UI::Ui& ui) {
             ui.graphics->PushLayer(0.5f, nullptr);
             ui.PushClip({0, 0, 50, 50});
             ui.graphics->PopLayer();
             ui.PopClip();
         },
         "a layer was popped while a clip pushed after it was still open"},
        {"pop without push", [](UI::Ui& ui) { ui.graphics->PopLayer(); }, "a layer was popped with nothing open"},
    };
    for (const LayerCase& layerCase : cases) {
        SCOPED_TRACE(layerCase.name);
        FrameDriver::Options options;
        options.settings.window_width = 200;
        options.settings.window_height = 120;
        options.draw = layerCase.draw;
        FrameDriver driver(options);
        std::vector<std::string> faults;
        driver.onFault = [&faults](const std::string& fault) { faults.push_back(fault); };
        driver.Frames(2);
        if (*layerCase.fault == '\0') {
            EXPECT_TRUE(faults.empty()) << faults.front();
        } else {
            // Reported once per frame, the same in each.
            ASSERT_EQ(faults.size(), 2u);
            EXPECT_NE(faults[0].find(layerCase.fault), std::string::npos) << faults[0];
        }
    }
}

FrameDriver* unbalanced = nullptr;

TEST(FrameDriver, AnUnbalancedFrameFailsTheRunningTest) {
    FrameDriver::Options options;
    options.settings.window_width = 200;
    options.settings.window_height = 120;
    options.draw = [](UI::Ui& ui) { ui.PushClip({0, 0, 10, 10}); };
    FrameDriver driver(options);
    unbalanced = &driver;
    EXPECT_NONFATAL_FAILURE(unbalanced->Frame(), "1 clip left open");
    unbalanced = nullptr;
}

TEST(FrameDriver, ReadsAndSavesTheFrameItDrew) {
    const Color red = {1, 0, 0, 1};
    FrameDriver::Options options;
    options.settings.window_width = 200;
    options.settings.window_height = 120;
    options.draw = [red](UI::Ui& ui) { ui.graphics->FillRect({20, 10, 30, 40}, red); };
    FrameDriver driver(options);
    driver.Frame();

    const std::vector<uint32_t> pixels = driver.Pixels();
    ASSERT_EQ(pixels.size(), 200u * 120u);
    const auto at = [&pixels](int x, int y) { return pixels[static_cast<size_t>(y) * 200 + x]; };
    EXPECT_TRUE(SameColor(at(20, 10), red));
    EXPECT_TRUE(SameColor(at(49, 49), red));
    EXPECT_TRUE(SameColor(at(50, 49), UI::Material::ReadyPalette().background));
    EXPECT_TRUE(SameColor(at(20, 50), UI::Material::ReadyPalette().background));
    EXPECT_EQ(at(0, 0) >> 24, 0xFFu);

    const std::wstring folder = MakeTempFolder(L"driver-png");
    const std::wstring path = Files::JoinPath(folder, L"frame.png");
    ASSERT_TRUE(driver.SavePng(path));
    EXPECT_EQ(Content(path).substr(1, 3), "PNG");
    Files::RemoveTree(folder);
}

}  // namespace
}  // namespace Lorvex::Testing
