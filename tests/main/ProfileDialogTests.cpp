// The profile dialog on the real window against the fake backend: creating and saving the profile
// (only a real change is offered), picking, refusing and removing the photo, changing the password,
// failures in the notice, the inputs held while an update runs, and signing out after the
// confirmation, also while a sync round runs.

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"
#include "main/account/ProfileDialog.h"
#include "main/dialogs/ConfirmDialog.h"
#include "services/sync/CloudSync.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FakeSupabase.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::ProfileDialog;
using Services::CloudSync;

const std::string kEmail = "ana@example.com";
const std::string kPassword = "secreto1";
const std::string kUserTarget = "/auth/v1/user";

// A gate a worker waits at until the test opens it (or the test ends).
struct Gate {
    std::atomic<bool> open{false};
    std::atomic<bool> reached{false};
    void Wait() {
        reached = true;
        while (!open) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

class ProfileWindow : public testing::Test {
protected:
    void SetUp() override {
        savedUrl_ = Config::SupabaseUrl();
        savedKey_ = Config::SupabaseKey();
        backend_ = std::make_unique<FakeSupabase>();
        ASSERT_TRUE(backend_->IsListening());
        Config::SetSupabaseForTesting(backend_->BaseUrl(), Text::ToWide(backend_->ApiKey()));
        driver_ = std::make_unique<FrameDriver>(WindowWithPersona(true, 1000, 760));
        // Rounds end at once without a request unless a test holds them at the gate: their
        // requests are not what this dialog is about.
        cloud().roundStarted = [this](bool full) { rounds_.push_back(full); };
        cloud().roundWorker = [gate = roundGate_](const CloudSync::Job& job) {
            if (!gate->open) {
                gate->Wait();
            }
            CloudSync::Result result;
            result.account = job.account;
            return result;
        };
        roundGate_->open = true;
        driver_->Settle(10, 0.05);
    }

    void TearDown() override {
        roundGate_->open = true;
        requestGate_->open = true;
        if (loggedOutExpected_) {
            // The logout runs on its own thread and reads the configuration.
            EXPECT_TRUE(RunUntil([&] { return Received("/auth/v1/logout"); }));
        }
        driver_.reset();
        backend_.reset();
        Config::SetSupabaseForTesting(savedUrl_, savedKey_);
    }

    static CloudSync& cloud() { return CloudSync::Instance(); }
    FrameDriver& driver() { return *driver_; }
    FakeSupabase& backend() { return *backend_; }
    ProfileDialog& dialog() { return *driver_->Window().profileDialog; }

    // Ana with a live session, as after a sign-in; the backend knows her display name.
    void SignIn(const std::wstring& displayName) {
        Json::Value metadata;
        if (!displayName.empty()) {
            metadata["display_name"] = Json::Value(Text::ToUtf8(displayName));
        }
        backend().AddUser(kEmail, kPassword, true, metadata);
        Resume(kEmail, displayName);
    }

    // A new session of a known user, adopted without a request.
    void Resume(const std::string& email, const std::wstring& displayName) {
        const std::optional<FakeSession> session = backend().IssueSession(email);
        ASSERT_TRUE(session.has_value());
        cloud().account = {.accessToken = session->accessToken,
                           .refreshToken = session->refreshToken,
                           .expiresAt = session->expiresAt,
                           .userId = Text::ToWide(session->userId),
                           .email = Text::ToWide(email),
                           .displayName = displayName};
        cloud().stateUserId = cloud().account.userId;
    }

    // Opened and past its entrance; a focused field's caret never lets the window rest.
    void Open(bool createMode) {
        dialog().Open(createMode);
        driver().RunFor(0.6, 0.05);
    }

    void ClickControl(uint64_t salt) {
        SCOPED_TRACE(testing::Message() << "control 0x" << std::hex << salt);
        driver().ClickWidget(dialog().WidgetId(salt));
    }
    void ClickLabel(const std::wstring& label) {
        SCOPED_TRACE(Text::ToUtf8(label));
        driver().ClickWidget(dialog().LabelId(label));
    }
    void TypeInto(uint64_t salt, const std::wstring& text) {
        ClickControl(salt);
        driver().Type(text);
    }

    bool RunUntil(const std::function<bool()>& done) { return driver().RunUntil(done, 20, 0.05); }

    // Requests to the path, whatever their query ("?scope=local" on a logout).
    size_t Received(const std::string& path) const {
        size_t count = 0;
        for (const std::string& seen : backend_->Targets()) {
            count += seen.substr(0, seen.find('?')) == path ? 1 : 0;
        }
        return count;
    }

    // Lets the dialog's update run to its end.
    void FinishUpdate() {
        ASSERT_TRUE(RunUntil([] { return !cloud().userUpdateBusy; }));
        driver().Frames(2);
    }

    std::wstring StoredName() const { return backend_->UserMetadata(kEmail).Find("display_name").AsWString(); }

    // A small picture in the data folder, as the file dialog hands it over.
    std::wstring Picture(const std::wstring& name) {
        const std::wstring path = driver().DataPath(name);
        EXPECT_TRUE(Files::WriteBytes(path, Images::Encode(2, 2, std::vector<uint32_t>(4, 0xFF3366CC), true, 0.9f)));
        return path;
    }

    // Holds every user update at the backend until the gate opens.
    void HoldUserUpdates() {
        requestGate_->open = false;
        backend().SetRequestHook([gate = requestGate_](const RecordedRequest& request) {
            if (request.target == kUserTarget && request.method == "PUT") {
                gate->Wait();
            }
        });
    }

    std::shared_ptr<Gate> roundGate_ = std::make_shared<Gate>();
    std::shared_ptr<Gate> requestGate_ = std::make_shared<Gate>();
    std::vector<bool> rounds_;
    bool loggedOutExpected_ = false;

private:
    std::wstring savedUrl_;
    std::wstring savedKey_;
    std::unique_ptr<FakeSupabase> backend_;
    std::unique_ptr<FrameDriver> driver_;
};

TEST_F(ProfileWindow, CreateModeFocusesTheNameAndCreatesTheProfile) {
    SignIn(L"");
    Open(true);
    EXPECT_EQ(dialog().title, L"Crea tu perfil");
    EXPECT_EQ(dialog().subtitle, L"ana@example.com");
    EXPECT_FALSE(dialog().note.empty());

    // Nothing to create without a name, even in create mode.
    ClickLabel(L"Crear perfil");
    EXPECT_EQ(Received(kUserTarget), 0u);

    // The name field has the keyboard from the start.
    driver().Type(L"  Ana  ");
    EXPECT_EQ(dialog().name, L"  Ana  ");
    ClickLabel(L"Crear perfil");
    FinishUpdate();
    EXPECT_EQ(StoredName(), L"Ana");
    EXPECT_EQ(cloud().account.displayName, L"Ana");
    EXPECT_FALSE(dialog().IsOpen());
    EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"Perfil creado"});
}

TEST_F(ProfileWindow, CreateModeOffersCreatingWithTheNameTheAccountAlreadyHas) {
    SignIn(L"Ana");
    Open(true);
    ClickLabel(L"Crear perfil");
    FinishUpdate();
    EXPECT_EQ(Received(kUserTarget), 1u);
    EXPECT_FALSE(dialog().IsOpen());
    EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"Perfil creado"});
}

TEST_F(ProfileWindow, SavingIsOfferedOnlyForARealChange) {
    SignIn(L"Ana");
    struct Case {
        const wchar_t* name;
        bool removePhoto;
        bool ctrlEnter;  // submitted by Ctrl+Enter instead of the button
        bool saved;
    };
    const Case cases[] = {
        {L"Ana", false, false, false},
        {L" Ana\u00A0", false, false, false},  // spaces around a name are no change
        {L" Ana\u00A0", false, true, false},
        {L"   ", true, false, false},  // a blank name is never saved
        {L"Ana María ", false, false, true},
        {L"Ana María ", false, true, true},
        {L"Ana", true, false, true},  // removing the photo is a change
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << Text::ToUtf8(c.name) << c.removePhoto << c.ctrlEnter);
        cloud().account.displayName = L"Ana";
        driver().Window().toasts = Main::Kit::Toasts{};
        const size_t before = Received(kUserTarget);
        Open(false);
        dialog().name = c.name;
        if (c.removePhoto) {
            dialog().photoChange = std::wstring();
        }
        if (c.ctrlEnter) {
            driver().Key(VK_RETURN, FrameDriver::kCtrl);
        } else {
            ClickLabel(L"Guardar");
        }
        FinishUpdate();
        EXPECT_EQ(Received(kUserTarget), before + (c.saved ? 1 : 0));
        EXPECT_EQ(dialog().IsOpen(), !c.saved);
        if (c.saved) {
            EXPECT_EQ(StoredName(), Text::Trim(c.name));
            EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"Perfil guardado"});
        }
    }
    // Enter alone is the field's, never a save.
    Open(false);
    TypeInto(ProfileDialog::kNameSalt, L"x");
    driver().Key(VK_RETURN);
    driver().Frames(2);
    EXPECT_FALSE(cloud().userUpdateBusy);
    EXPECT_TRUE(dialog().IsOpen());
}

TEST_F(ProfileWindow, PickingRefusingAndRemovingThePhotoOnlyChangesTheDialog) {
    SignIn(L"Ana");
    cloud().account.avatarFile = L"avatar_old.png";
    const std::wstring current = cloud().AvatarPath();
    const std::wstring picked = Picture(L"picked.png");
    const std::wstring notAPicture = driver().DataPath(L"notes.png");
    ASSERT_TRUE(Files::WriteBytes(notAPicture, "not a picture, whatever its name says"));
    Open(false);
    EXPECT_EQ(dialog().shownPhoto, current);

    // Cancelled, then refused: nothing changes, the refusal says why.
    driver().pickedFile.clear();
    ClickControl(ProfileDialog::kPhotoSalt);
    driver().pickedFile = notAPicture;
    ClickControl(ProfileDialog::kPhotoSalt);
    EXPECT_EQ(driver().filePicks, 2);
    EXPECT_EQ(dialog().shownPhoto, current);
    EXPECT_FALSE(dialog().photoChange.has_value());
    EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"El archivo elegido no es una imagen válida."});

    driver().pickedFile = picked;
    ClickControl(ProfileDialog::kPhotoSalt);
    EXPECT_EQ(dialog().shownPhoto, picked);
    EXPECT_EQ(dialog().photoChange, picked);

    // "Quitar" after a pick removes the account's photo, and a cancelled pick keeps that.
    ClickControl(ProfileDialog::kRemoveSalt);
    driver().Frame();
    EXPECT_EQ(dialog().shownPhoto, L"");
    EXPECT_EQ(dialog().photoChange, std::optional<std::wstring>(L""));
    EXPECT_FALSE(driver().WidgetRect(dialog().WidgetId(ProfileDialog::kRemoveSalt)).has_value());
    driver().pickedFile.clear();
    ClickControl(ProfileDialog::kPhotoSalt);
    EXPECT_EQ(dialog().photoChange, std::optional<std::wstring>(L""));

    // Nothing reached the account or the backend.
    EXPECT_EQ(cloud().account.avatarFile, L"avatar_old.png");
    EXPECT_EQ(Received(kUserTarget), 0u);
}

TEST_F(ProfileWindow, ASavedPhotoIsUploadedAndARemovedOneCleared) {
    SignIn(L"Ana");
    Open(false);
    driver().pickedFile = Picture(L"picked.png");
    ClickControl(ProfileDialog::kPhotoSalt);
    ClickLabel(L"Guardar");
    FinishUpdate();
    const std::wstring avatar = cloud().account.avatarFile;
    ASSERT_FALSE(avatar.empty());
    EXPECT_TRUE(Files::IsFile(cloud().AvatarPath()));
    EXPECT_EQ(backend().UserMetadata(kEmail).Find("avatar").AsWString(), avatar);
    const std::string userId = Text::ToUtf8(cloud().account.userId);
    EXPECT_TRUE(backend().Object(userId + "/" + Text::ToUtf8(avatar)).has_value());

    Open(false);
    EXPECT_EQ(dialog().shownPhoto, cloud().AvatarPath());
    ClickControl(ProfileDialog::kRemoveSalt);
    ClickLabel(L"Guardar");
    FinishUpdate();
    EXPECT_EQ(cloud().account.avatarFile, L"");
    EXPECT_EQ(backend().UserMetadata(kEmail).Find("avatar").AsWString(), L"");
    EXPECT_FALSE(dialog().IsOpen());
}

TEST_F(ProfileWindow, APasswordChangeNeedsSixCharactersAndKeepsTheDialogOpen) {
    SignIn(L"Ana");
    Open(false);
    TypeInto(ProfileDialog::kPasswordSalt, L"nueva");
    ClickControl(ProfileDialog::kChangeSalt);
    EXPECT_EQ(Received(kUserTarget), 0u);

    ClickControl(ProfileDialog::kShowSalt);
    EXPECT_TRUE(dialog().showPassword);
    ClickControl(ProfileDialog::kShowSalt);
    EXPECT_FALSE(dialog().showPassword);

    TypeInto(ProfileDialog::kPasswordSalt, L"1");
    ClickControl(ProfileDialog::kChangeSalt);
    FinishUpdate();
    EXPECT_EQ(backend().Password(kEmail), "nueva1");
    EXPECT_EQ(dialog().newPassword, L"");
    EXPECT_TRUE(dialog().IsOpen());
    EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"Contraseña cambiada"});

    // The backend's refusal stays in the notice, with the typed password, until the next edit.
    TypeInto(ProfileDialog::kPasswordSalt, L"nueva1");
    ClickControl(ProfileDialog::kChangeSalt);
    FinishUpdate();
    EXPECT_EQ(dialog().error, L"La nueva contraseña es igual a la actual");
    EXPECT_EQ(dialog().newPassword, L"nueva1");
    TypeInto(ProfileDialog::kPasswordSalt, L"2");
    EXPECT_EQ(dialog().error, L"");
}

TEST_F(ProfileWindow, FailuresStayInTheNoticeUntilTheFieldIsEdited) {
    struct Case {
        bool password;        // a password change, else a profile save
        bool sessionExpired;  // the refresh token is refused, else the server fails
        std::wstring error;
    };
    const Case cases[] = {
        {false, false, L"El servidor tuvo un fallo (error 500)"},
        {false, true, L"La sesión ha caducado; vuelve a iniciar sesión"},
        {true, true, L"La sesión ha caducado; vuelve a iniciar sesión"},
    };
    SignIn(L"Ana");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.password << c.sessionExpired);
        Resume(kEmail, L"Ana");
        if (c.sessionExpired) {
            cloud().account.refreshToken = "revoked";
            cloud().account.expiresAt = 0;
        } else {
            backend().QueueFault(FakeFault::Answer(500, "{}").OnTarget(kUserTarget));
        }
        Open(false);
        const uint64_t field = c.password ? ProfileDialog::kPasswordSalt : ProfileDialog::kNameSalt;
        TypeInto(field, L"secreto2");
        if (c.password) {
            ClickControl(ProfileDialog::kChangeSalt);
        } else {
            ClickLabel(L"Guardar");
        }
        driver().Window().toasts = Main::Kit::Toasts{};
        FinishUpdate();
        EXPECT_EQ(dialog().error, c.error);
        EXPECT_EQ(cloud().SignedIn(), !c.sessionExpired);
        if (c.sessionExpired) {
            // Signed out: the dialog has nothing left to edit, and the reason stays in sight.
            driver().Frame(0.05);
            EXPECT_FALSE(dialog().IsOpen());
            EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{c.error});
            continue;
        }
        EXPECT_TRUE(dialog().IsOpen());
        TypeInto(field, L"x");
        EXPECT_EQ(dialog().error, L"");
    }
}

TEST_F(ProfileWindow, WhileAnUpdateRunsTheInputsWaitAndTheFooterSaysSo) {
    SignIn(L"Ana");
    Open(false);
    HoldUserUpdates();
    TypeInto(ProfileDialog::kNameSalt, L" María");
    TypeInto(ProfileDialog::kPasswordSalt, L"secreto2");
    ClickLabel(L"Guardar");
    ASSERT_TRUE(RunUntil([&] { return requestGate_->reached.load(); }));
    driver().Frames(2);

    // Fields take no text, the buttons no clicks, and the sign-out gives way to the busy note.
    // The password field kept the keyboard; a disabled field takes no clicks to give it back.
    driver().Type(L"zzz");
    EXPECT_EQ(dialog().newPassword, L"secreto2");
    EXPECT_EQ(dialog().name, L"Ana María");
    ClickControl(ProfileDialog::kChangeSalt);
    ClickLabel(L"Guardar");
    ClickLabel(L"Cerrar");
    EXPECT_TRUE(dialog().IsOpen());
    EXPECT_FALSE(driver().WidgetRect(dialog().WidgetId(ProfileDialog::kSignOutSalt)).has_value());

    requestGate_->open = true;
    FinishUpdate();
    EXPECT_EQ(Received(kUserTarget), 1u);
    EXPECT_EQ(StoredName(), L"Ana María");
    EXPECT_EQ(backend().Password(kEmail), kPassword);
    EXPECT_FALSE(dialog().IsOpen());
}

TEST_F(ProfileWindow, SigningOutAsksFirstAndWarnsOfChangesNotUploaded) {
    const std::wstring first =
        L"Los personajes y chats de este PC no se borran; solo se deja de sincronizar con tu cuenta.";
    SignIn(L"Ana");
    for (const bool pending : {false, true}) {
        SCOPED_TRACE(pending);
        Resume(kEmail, L"Ana");
        cloud().pending.clear();
        if (pending) {
            CloudSync::QueueItem item;
            item.kind = L"persona";
            item.id = L"persona-1";
            cloud().pending[CloudSync::ItemKey(L"persona", L"persona-1")] = item;
        }
        driver().Window().toasts = Main::Kit::Toasts{};
        Open(false);
        ClickControl(ProfileDialog::kSignOutSalt);
        Main::ConfirmDialog& confirm = *driver().Window().confirmDialog;
        EXPECT_FALSE(dialog().IsOpen());
        ASSERT_EQ(driver().TopOverlay(), &confirm);
        EXPECT_EQ(confirm.title, L"¿Cerrar sesión?");
        EXPECT_EQ(confirm.message,
                  pending ? first + L"\n\nHay cambios que aún no se han subido a la nube: se quedarán solo en este PC."
                          : first);
        EXPECT_TRUE(cloud().SignedIn());

        driver().RunFor(0.6, 0.05);
        driver().ClickWidget(confirm.LabelId(L"Cerrar sesión"));
        EXPECT_FALSE(cloud().SignedIn());
        EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"Sesión cerrada"});
        loggedOutExpected_ = true;
        ASSERT_TRUE(RunUntil([&] { return Received("/auth/v1/logout") == (pending ? 2u : 1u); }));
        driver().Settle(10, 0.05);
    }
}

TEST_F(ProfileWindow, SigningOutDuringARunningRoundDropsTheRoundsResult) {
    SignIn(L"Ana");
    Open(false);
    roundGate_->open = false;
    ClickControl(ProfileDialog::kSyncSalt);
    ASSERT_TRUE(RunUntil([&] { return roundGate_->reached.load(); }));
    driver().Frames(2);
    EXPECT_EQ(rounds_, std::vector<bool>{true});
    EXPECT_TRUE(cloud().syncing);
    // The spinner stands where the button was.
    EXPECT_FALSE(driver().WidgetRect(dialog().WidgetId(ProfileDialog::kSyncSalt)).has_value());

    ClickControl(ProfileDialog::kSignOutSalt);
    driver().RunFor(0.6, 0.05);
    driver().ClickWidget(driver().Window().confirmDialog->LabelId(L"Cerrar sesión"));
    loggedOutExpected_ = true;
    EXPECT_FALSE(cloud().SignedIn());
    EXPECT_FALSE(cloud().syncing);

    // The round ends after the sign-out: what it brings belongs to no session any more.
    roundGate_->open = true;
    driver().RunFor(0.5, 0.05);
    ASSERT_TRUE(RunUntil([&] { return Received("/auth/v1/logout") == 1u; }));
    driver().RunFor(0.5, 0.05);
    EXPECT_FALSE(cloud().SignedIn());
    EXPECT_FALSE(cloud().syncing);
    EXPECT_EQ(cloud().lastSync, L"");
    EXPECT_EQ(cloud().StatusText(), L"Sin iniciar sesión");
    EXPECT_EQ(driver().Toasts(), std::vector<std::wstring>{L"Sesión cerrada"});
}

TEST_F(ProfileWindow, ARoundThatFindsTheSessionOverClosesTheDialog) {
    SignIn(L"Ana");
    Open(false);
    cloud().roundWorker = [](const CloudSync::Job& job) {
        CloudSync::Result result;
        result.account = job.account;
        result.unauthorized = true;
        return result;
    };
    ClickControl(ProfileDialog::kSyncSalt);
    ASSERT_TRUE(RunUntil([&] { return !cloud().SignedIn(); }));
    driver().RunFor(0.6, 0.05);
    EXPECT_FALSE(dialog().IsOpen());
    // Nothing of the signed-in dialog is offered any more.
    EXPECT_FALSE(driver().WidgetRect(dialog().LabelId(L"Guardar")).has_value());
    EXPECT_FALSE(driver().WidgetRect(dialog().WidgetId(ProfileDialog::kSignOutSalt)).has_value());
    EXPECT_EQ(driver().Toasts(),
              std::vector<std::wstring>{L"La sesión de la nube ha caducado; vuelve a iniciar sesión en Ajustes"});
}

TEST_F(ProfileWindow, ChangesTheCloudRefusedAreListedWithTheirReasonsWhileTheyWait) {
    SignIn(L"Ana");
    Open(false);
    // Measured from the sync button: the panel stays centred in the window as it grows.
    const auto passwordTop = [&] {
        return driver().WidgetRect(dialog().WidgetId(ProfileDialog::kPasswordSalt))->y -
               driver().WidgetRect(dialog().WidgetId(ProfileDialog::kSyncSalt))->y;
    };
    const float plain = passwordTop();

    CloudSync::QueueItem picture;
    picture.kind = L"image";
    picture.id = L"niña.png";
    picture.refusal = L"La nube no admite ese nombre de archivo (solo letras sin tilde, números y signos sencillos)";
    CloudSync::QueueItem chat;
    chat.kind = L"chat";
    chat.id = L"c1:h1";
    chat.deleted = false;
    chat.refusal = L"El texto contiene un carácter nulo, que la nube no admite";
    cloud().pending[CloudSync::ItemKey(picture.kind, picture.id)] = picture;
    cloud().pending[CloudSync::ItemKey(chat.kind, chat.id)] = chat;
    driver().RunFor(0.3, 0.05);
    EXPECT_EQ(cloud().StatusText(), L"No se pueden subir 2 cambios");
    EXPECT_EQ(cloud().SetAsideReasons(),
              (std::vector<std::wstring>{L"Un chat: " + chat.refusal, L"La imagen «niña.png»: " + picture.refusal}));
    // Both reasons stand between the status and the password, as long as the items wait.
    EXPECT_GT(passwordTop(), plain + 40);
    if (const wchar_t* folder = _wgetenv(L"LORVEX_SCREENS_OUT")) {
        driver().SavePng(std::wstring(folder) + L"\\profile-refused.png");
    }

    cloud().pending.clear();
    driver().RunFor(0.3, 0.05);
    EXPECT_EQ(passwordTop(), plain);
}

}  // namespace
}  // namespace Lorvex::Testing
