// The update dialog on the real window against the fake release channel: what opening asks the
// channel, what the footer offers after each check, a download that cannot be dismissed and is
// cancelled, a failed download tried again until it installs and quits, the automatic-check
// switch, and the dialog's texts as functions of the update state.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Text.h"
#include "main/MainWindow.h"
#include "main/updates/UpdateDialog.h"
#include "main/updates/UpdateTexts.h"
#include "services/updates/Updates.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FakeReleaseChannel.h"
#include "tests/support/FrameDriver.h"
#include "tests/support/TestFiles.h"

namespace Lorvex::Testing {
namespace {

namespace Updates = Services::Updates;
namespace Texts = Main::UpdateTexts;
using Main::UpdateDialog;
using Updates::Status;

constexpr double kStep = 0.05;

const std::vector<std::wstring> kLabels = {L"Actualizar ahora", L"Más tarde", L"Cancelar", L"Listo",
                                           L"Buscar de nuevo",  L"Reintentar"};

// A Windows program as far as the download checks: "MZ" and at least a kilobyte.
std::string Program(size_t size) {
    std::string bytes(size, 'p');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    return bytes;
}

// A release message of this version, with its hash unless told otherwise.
FakeMessage Release(const char* version, std::vector<FakeFile> files, bool withHash = true) {
    std::string program;
    for (const FakeFile& file : files) {
        program += file.bytes;
    }
    const std::string hash = withHash ? Text::Sha256Hex(program) : std::string();
    return FakeMessage(FakeReleaseChannel::ReleaseText(std::string("Lorvex ") + version, "- Arreglos", hash),
                       std::move(files));
}

bool IsAttachment(const RecordedRequest& request) {
    return request.target.find("/attachments/") != std::string::npos;
}

class UpdateDialogTest : public testing::Test {
protected:
    void SetUp() override {
        Updates::ResetForTesting();
        driver.emplace(WindowWithPersona(true, 1000, 720));
        // Pointed at the fake only now, so the window armed no background check of its own.
        Config::SetDiscordForTesting(channel.BaseUrl(), Text::ToWide(kFakeBotToken), Text::ToWide(kFakeChannelId));
        root = MakeTempFolder(L"update-dialog");
        program = Files::JoinPath(root, L"Lorvex.exe");
        ASSERT_TRUE(Files::WriteBytes(program, std::string("el de siempre")));
        Updates::SetProgramPathForTesting(program);
        Updates::SetTempFolderForTesting(Files::JoinPath(root, L"Temp"));
        Updates::SetScriptStarterForTesting([this](const std::wstring&, const Updates::Environment&) {
            ++scriptStarts;
            return true;
        });
    }

    void TearDown() override {
        EXPECT_TRUE(RunUntil([] { return !Busy(); }));
        driver.reset();
        Config::SetDiscordForTesting(L"", L"", L"");
        Updates::SetScriptStarterForTesting({});
        Updates::SetProgramPathForTesting(L"");
        Updates::SetTempFolderForTesting(L"");
        Updates::ResetForTesting();
        Files::RemoveTree(root);
    }

    static bool Busy() {
        const Status status = Updates::Current().status;
        return status == Status::Checking || status == Status::Downloading;
    }

    static Status CurrentStatus() { return Updates::Current().status; }

    UpdateDialog& dialog() const { return *driver->Window().updateDialog; }

    bool RunUntil(const std::function<bool()>& done) { return driver && driver->RunUntil(done, 20, kStep); }

    // Opens the dialog and waits for the check that opening may start, then for its entrance.
    void OpenAndWait() {
        dialog().Open();
        ASSERT_TRUE(RunUntil([] { return !Busy(); }));
        driver->RunFor(0.6, kStep);
    }

    // The footer buttons of the last frame, right to left as they are laid out.
    std::vector<std::wstring> Buttons() const {
        std::vector<std::pair<float, std::wstring>> found;
        for (const std::wstring& label : kLabels) {
            if (const std::optional<Rect> rect = driver->WidgetRect(dialog().LabelId(label))) {
                found.emplace_back(-rect->x, label);
            }
        }
        std::sort(found.begin(), found.end());
        std::vector<std::wstring> labels;
        for (const auto& [x, label] : found) {
            labels.push_back(label);
        }
        return labels;
    }

    void ClickButton(const std::wstring& label) { driver->ClickWidget(dialog().LabelId(label)); }

    size_t ListRequests() const {
        size_t count = 0;
        for (const RecordedRequest& request : channel.Requests()) {
            count += IsAttachment(request) ? 0 : 1;
        }
        return count;
    }

    // Everything a user does to dismiss a dialog except its own buttons: Escape, a click outside
    // the panel, a click where the close button sits.
    void TryToDismiss() {
        driver->Key(VK_ESCAPE);
        driver->Click(20, 400);
        const Rect window = driver->Window().windowRect;
        const float width = dialog().Width(window);
        const float contentHeight = dialog().ContentHeight(driver->Ui(), width - 48);
        const Rect panel = Main::Dialog::Layout(window, width, contentHeight, true).panel;
        driver->Click(panel.x + panel.w - 24 - 17, panel.y + 23 + 17);
    }

    FakeReleaseChannel channel;
    std::optional<FrameDriver> driver;
    std::wstring root;
    std::wstring program;
    int scriptStarts = 0;
};

TEST_F(UpdateDialogTest, OpeningAsksTheChannelOnlyWhenNeededAndTheFooterFollowsEachCheck) {
    channel.Post(Release("3.0.2", {FakeFile("Lorvex.exe", Program(2048))}));

    // Never checked: opening asks.
    OpenAndWait();
    EXPECT_EQ(CurrentStatus(), Status::UpToDate);
    EXPECT_EQ(ListRequests(), 1u);
    EXPECT_EQ(dialog().title, L"Actualizaciones");
    EXPECT_EQ(Buttons(), (std::vector<std::wstring>{L"Listo", L"Buscar de nuevo"}));

    // The list is rebuilt when the state changes, not in every frame.
    ASSERT_FALSE(dialog().versions.empty());
    dialog().versions.clear();
    driver->RunFor(0.3, kStep);
    EXPECT_TRUE(dialog().versions.empty());

    // Reopened right after a successful check: nothing is asked.
    ClickButton(L"Listo");
    EXPECT_FALSE(dialog().IsOpen());
    OpenAndWait();
    EXPECT_EQ(ListRequests(), 1u);
    EXPECT_FALSE(dialog().versions.empty());

    // A newer release without its hash is shown, refused and not offered.
    channel.Post(Release("3.0.3", {FakeFile("Lorvex.exe", Program(2048))}, false));
    ClickButton(L"Buscar de nuevo");
    ASSERT_TRUE(RunUntil([] { return CurrentStatus() != Status::Checking; }));
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Available);
    EXPECT_EQ(dialog().title, L"Nueva versión disponible");
    EXPECT_TRUE(dialog().versions.front().newer);
    EXPECT_EQ(Buttons(), (std::vector<std::wstring>{L"Listo", L"Buscar de nuevo"}));

    // A failed check offers to try again, and opening after it asks again.
    channel.SetChannelVisible(false);
    ClickButton(L"Buscar de nuevo");
    ASSERT_TRUE(RunUntil([] { return CurrentStatus() != Status::Checking; }));
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Failed);
    EXPECT_EQ(Buttons(), (std::vector<std::wstring>{L"Listo", L"Reintentar"}));
    driver->Key(VK_ESCAPE);
    EXPECT_FALSE(dialog().IsOpen());
    const size_t before = ListRequests();
    channel.SetChannelVisible(true);
    OpenAndWait();
    EXPECT_EQ(ListRequests(), before + 1);
    EXPECT_EQ(CurrentStatus(), Status::Available);
}

TEST_F(UpdateDialogTest, TheAutomaticCheckSwitchWritesTheSettingAtOnce) {
    OpenAndWait();
    const uint64_t id = dialog().ControlId(UpdateDialog::kAutoCheckSalt);
    ASSERT_TRUE(driver->StoredSettings().check_updates);
    driver->ClickWidget(id);
    EXPECT_FALSE(driver->StoredSettings().check_updates);
    driver->ClickWidget(id);
    EXPECT_TRUE(driver->StoredSettings().check_updates);
}

TEST_F(UpdateDialogTest, ADownloadCannotBeDismissedGlidesOverJumpsAndCancelsBackToAvailable) {
    const std::string bytes = Program(3 * 20000);
    std::vector<FakeFile> parts;
    for (int i = 0; i < 3; ++i) {
        parts.emplace_back("Lorvex.00" + std::to_string(i + 1), bytes.substr(i * 20000, 20000));
    }
    channel.Post(Release("3.0.3", parts));
    // The first part arrives at once, so progress jumps by a third; the second sends a piece and
    // holds the rest until the test lets it go.
    channel.SetAttachmentHook([](const FakeServedFile& file, const RecordedRequest&) -> std::optional<FakeReply> {
        if (file.fileName != "Lorvex.002") {
            return std::nullopt;
        }
        FakeReply reply(200);
        reply.Pause(150).Body(file.bytes.substr(0, 5000)).AwaitRelease().Body(file.bytes.substr(5000));
        return reply;
    });

    OpenAndWait();
    ASSERT_EQ(CurrentStatus(), Status::Available);
    EXPECT_EQ(dialog().subtitle, L"Lorvex 3.0.2  →  3.0.3  ·  58.6 KB");
    EXPECT_EQ(Buttons(), (std::vector<std::wstring>{L"Actualizar ahora", L"Más tarde", L"Buscar de nuevo"}));

    ClickButton(L"Actualizar ahora");
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Downloading);
    EXPECT_TRUE(dialog().IsOpen());
    EXPECT_FALSE(dialog().dismissable);

    // The reports jump by more than the bar may move in a frame; the bar glides, at most 4 per
    // second, until it reaches them.
    float last = dialog().shownProgress;
    float lastTarget = 0;
    float largestStep = 0;
    float largestJump = 0;
    ASSERT_TRUE(RunUntil([&] {
        const Updates::Progress& progress = Updates::Current().progress;
        const float target = static_cast<float>(progress.bytesDone) / bytes.size();
        largestStep = std::max(largestStep, dialog().shownProgress - last);
        largestJump = std::max(largestJump, target - lastTarget);
        last = dialog().shownProgress;
        lastTarget = target;
        return progress.part == 2 && progress.bytesDone > 20000 && last > 0.99f * target;
    }));
    ASSERT_GT(largestJump, 4 * kStep);
    EXPECT_LE(largestStep, 4 * kStep + 1e-4);
    EXPECT_GT(last, 0.34f);

    TryToDismiss();
    EXPECT_TRUE(dialog().IsOpen());
    EXPECT_EQ(Buttons(), std::vector<std::wstring>{L"Cancelar"});

    ClickButton(L"Cancelar");
    ASSERT_TRUE(RunUntil([] { return CurrentStatus() != Status::Downloading; }));
    channel.Server().Release();
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Available);
    EXPECT_EQ(Updates::Current().error, L"");
    EXPECT_TRUE(dialog().dismissable);
    EXPECT_EQ(Buttons(), (std::vector<std::wstring>{L"Actualizar ahora", L"Más tarde", L"Buscar de nuevo"}));
    EXPECT_EQ(scriptStarts, 0);

    ClickButton(L"Más tarde");
    EXPECT_FALSE(dialog().IsOpen());
    EXPECT_EQ(CurrentStatus(), Status::Available);
}

TEST_F(UpdateDialogTest, AFailedDownloadIsOfferedAgainAndASecondTryInstallsAndClosesTheWindow) {
    // No sizes announced: the bar stays empty until the installation fills it.
    channel.Post(Release("3.0.3", {FakeFile("Lorvex.exe", Program(4096), 0)}));
    std::atomic<int> served{0};
    channel.SetAttachmentHook([&served](const FakeServedFile&, const RecordedRequest&) -> std::optional<FakeReply> {
        if (served++ > 0) {
            return std::nullopt;
        }
        FakeReply reply(403, "Forbidden");
        reply.Body("This content is no longer available.");
        return reply;
    });

    OpenAndWait();
    ClickButton(L"Actualizar ahora");
    ASSERT_TRUE(RunUntil([] { return CurrentStatus() != Status::Downloading; }));
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Available);
    EXPECT_EQ(Updates::Current().error, L"La descarga falló (El servidor no permitió el acceso (error 403))");
    EXPECT_TRUE(dialog().dismissable);
    EXPECT_EQ(Buttons(), (std::vector<std::wstring>{L"Actualizar ahora", L"Más tarde", L"Buscar de nuevo"}));

    ClickButton(L"Actualizar ahora");
    float shownWhileDownloading = 0;
    ASSERT_TRUE(RunUntil([&] {
        if (CurrentStatus() == Status::Downloading) {
            shownWhileDownloading = std::max(shownWhileDownloading, dialog().shownProgress);
        }
        return CurrentStatus() == Status::Installing;
    }));
    EXPECT_EQ(shownWhileDownloading, 0);
    EXPECT_EQ(scriptStarts, 1);
    EXPECT_FALSE(dialog().dismissable);
    // The program quits 600 ms after the script started: on a slow machine that may come within
    // these frames, so the dialog is only looked at while the window still stands.
    driver->Frames(2);
    if (driver->Opened()) {
        EXPECT_GT(dialog().shownProgress, 0);
        EXPECT_TRUE(Buttons().empty());
        driver->Key(VK_ESCAPE);
        EXPECT_TRUE(dialog().IsOpen());
    }
    EXPECT_TRUE(RunUntil([this] { return !driver->Opened(); }));
}

// A newer release posted after the dialog showed one does not sneak in: the version named is the
// version installed, and "Buscar de nuevo" is how the newer one gets shown.
TEST_F(UpdateDialogTest, TheVersionShownIsTheOneInstalledAndSearchingAgainShowsANewerOne) {
    const std::string shownProgram = Program(4096);
    channel.Post(Release("3.0.3", {FakeFile("Lorvex.exe", shownProgram, 4096)}));
    OpenAndWait();
    ASSERT_EQ(CurrentStatus(), Status::Available);
    ASSERT_EQ(Updates::NewestRelease()->version, L"3.0.3");

    channel.Post(Release("3.0.4", {FakeFile("Lorvex.exe", Program(5000), 5000)}));
    std::string installed;
    Updates::SetScriptStarterForTesting([&](const std::wstring&, const Updates::Environment& environment) {
        for (const auto& [name, value] : environment) {
            if (name == L"LORVEX_UPDATE_NEW") {
                installed = Files::ReadBytes(value).value_or("");
            }
        }
        ++scriptStarts;
        return false;  // the test's program stays; the dialog goes back to the offer
    });
    ClickButton(L"Actualizar ahora");
    ASSERT_TRUE(RunUntil([] { return CurrentStatus() != Status::Downloading; }));
    EXPECT_EQ(scriptStarts, 1);
    EXPECT_EQ(installed, shownProgram);

    // Still offered as 3.0.3 until the user looks again.
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Available);
    EXPECT_EQ(dialog().subtitle, L"Lorvex 3.0.2  →  3.0.3  ·  4.0 KB");
    ClickButton(L"Buscar de nuevo");
    ASSERT_TRUE(RunUntil([] { return !Busy(); }));
    driver->Frame(kStep);
    EXPECT_EQ(CurrentStatus(), Status::Available);
    EXPECT_EQ(dialog().subtitle, L"Lorvex 3.0.2  →  3.0.4  ·  4.9 KB");
}

TEST(UpdateTexts, TheDownloadLineNamesTheSpeedAndThePartOnlyWhenKnown) {
    constexpr uint64_t kMB = 1024 * 1024;
    struct Case {
        Updates::Progress progress;
        std::wstring line;
    };
    const Case cases[] = {
        {{13002342, 48 * kMB, 1, 3, 2.1 * kMB}, L"12.4 MB de 48.0 MB  ·  2.1 MB/s  ·  parte 1 de 3"},
        {{30 * kMB, 48 * kMB, 2, 3, 0}, L"30.0 MB de 48.0 MB  ·  parte 2 de 3"},
        {{1536, 3072, 1, 1, 800.7}, L"1.5 KB de 3.0 KB  ·  800 B/s"},
        {{0, 0, 1, 1, 0}, L"0 B de 0 B"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Texts::DownloadLine(c.progress), c.line);
    }
    EXPECT_EQ(Texts::PercentText(0.256f), L"26 %");
    EXPECT_EQ(Texts::PercentText(1), L"100 %");
    EXPECT_EQ(Texts::VersionCount(1), L"1 versión");
    EXPECT_EQ(Texts::VersionCount(4), L"4 versiones");
}

TEST(UpdateTexts, AnAvailableReleaseTellsItsSizeAndAgeUnlessAFailureOrAMissingHashOutweighsThem) {
    constexpr int64_t kNow = 1800000000;
    Updates::Release release;
    release.version = L"3.0.3";
    release.sha256 = std::wstring(64, L'a');
    release.date = kNow - 300;
    release.parts = {{L"Lorvex.001", L"", 2 * 1024 * 1024}, {L"Lorvex.002", L"", 1024 * 1024}};
    Updates::State state;
    state.status = Status::Available;
    state.releases = {release};
    state.newest = 0;

    Texts::Card card = Texts::CardFor(Status::Available, state, true, kNow);
    EXPECT_EQ(card.title, L"Versión 3.0.3 disponible");
    EXPECT_EQ(card.subtitle, L"Tienes la 3.0.2  ·  3.0 MB  ·  publicada hace 5 min");
    EXPECT_FALSE(card.warning);
    Texts::Header header = Texts::HeaderFor(Status::Available, state, true);
    EXPECT_EQ(header.title, L"Nueva versión disponible");
    EXPECT_EQ(header.subtitle, L"Lorvex 3.0.2  →  3.0.3  ·  3.0 MB");

    // A date that could not be read has no age, parts without sizes no size.
    state.releases[0].date = 0;
    state.releases[0].parts = {{L"Lorvex.exe", L"", 0}};
    EXPECT_EQ(Texts::CardFor(Status::Available, state, true, kNow).subtitle, L"Tienes la 3.0.2");
    EXPECT_EQ(Texts::HeaderFor(Status::Downloading, state, true).subtitle, L"Lorvex 3.0.2  →  3.0.3");

    state.error = L"La descarga falló (El servidor no permitió el acceso (error 403))";
    card = Texts::CardFor(Status::Available, state, true, kNow);
    EXPECT_EQ(card.subtitle, state.error);
    EXPECT_TRUE(card.warning);
    EXPECT_TRUE(Texts::CanInstall(state, true));

    state.releases[0].sha256.clear();
    card = Texts::CardFor(Status::Available, state, true, kNow);
    EXPECT_EQ(card.subtitle, Updates::kNoHashText);
    EXPECT_TRUE(card.warning);
    EXPECT_FALSE(Texts::CanInstall(state, true));

    // Nothing newer: the plain header.
    header = Texts::HeaderFor(Status::UpToDate, state, false);
    EXPECT_EQ(header.title, L"Actualizaciones");
    EXPECT_EQ(header.subtitle, L"Tienes Lorvex 3.0.2");
}

}  // namespace
}  // namespace Lorvex::Testing
