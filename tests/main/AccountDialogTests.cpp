// The account dialog on the real window against the fake backend: signing in with each failure
// and with success, signing up with and without e-mail confirmation, the submit guard and Enter,
// the mode chips and the notices they clear, a form that takes no input while its request runs
// (and a request that outlives the dialog), and what an opening keeps.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "App/Config/Config.h"
#include "foundation/Async.h"
#include "foundation/Text.h"
#include "foundation/json/Value.h"
#include "main/MainWindow.h"
#include "main/account/AccountDialog.h"
#include "main/account/ProfileDialog.h"
#include "services/sync/CloudSync.h"
#include "tests/main/WindowWithPersona.h"
#include "tests/support/FakeSupabase.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {
namespace {

using Main::AccountDialog;
using Services::CloudSync;

constexpr double kStep = 0.05;
const std::string kEmail = "ana@example.com";
const std::string kPassword = "secreto1";
const char* const kSignInTarget = "/auth/v1/token?grant_type=password";
const char* const kSignUpTarget = "/auth/v1/signup";

CloudSync& Cloud() {
    return CloudSync::Instance();
}

class AccountDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedUrl_ = Config::SupabaseUrl();
        savedKey_ = Config::SupabaseKey();
        StartBackend();
        driver_ = std::make_unique<FrameDriver>(WindowWithPersona(true, 1000, 760));
        // The round a sign-in starts ends at once: what a round does is tested on its own, and its
        // requests would mix with the dialog's.
        Cloud().roundWorker = [](const CloudSync::Job& job) {
            CloudSync::Result result;
            result.account = job.account;
            return result;
        };
        ASSERT_TRUE(driver_->Settle(10, kStep));
    }

    void TearDown() override {
        release_ = true;
        driver_.reset();
        backend_.reset();
        Config::SetSupabaseForTesting(savedUrl_, savedKey_);
    }

    // A new, empty backend in place of the old one.
    void StartBackend() {
        backend_.reset();
        backend_ = std::make_unique<FakeSupabase>();
        ASSERT_TRUE(backend_->IsListening());
        Config::SetSupabaseForTesting(backend_->BaseUrl(), Text::ToWide(backend_->ApiKey()));
    }

    FrameDriver& driver() { return *driver_; }
    FakeSupabase& backend() { return *backend_; }
    Main::MainWindow& window() { return driver_->Window(); }
    AccountDialog& dialog() { return *window().accountDialog; }
    uint64_t EmailId() { return dialog().WidgetId(AccountDialog::kEmailSalt); }
    uint64_t PasswordId() { return dialog().WidgetId(AccountDialog::kPasswordSalt); }

    // Past the panel's and the body's entrances; a focused field's caret never lets it rest.
    void Rest() { driver_->RunFor(0.6, kStep); }

    // As the user opens it: the title bar's account button.
    void OpenFromTitleBar() {
        driver_->ClickWidget("hdr-account");
        Rest();
        ASSERT_EQ(driver_->TopOverlay(), &dialog());
    }

    // A click on a control of the dialog, and a frame after it: a notice that comes or goes
    // resizes the panel one frame later, and the next click must find the controls where they
    // then are.
    void Tap(uint64_t id) {
        driver_->ClickWidget(id);
        driver_->Frame();
    }

    // Both fields typed anew, each after a click into it.
    void Fill(const std::wstring& email, const std::wstring& password) {
        dialog().email.clear();
        dialog().password.clear();
        Tap(EmailId());
        driver_->Type(email);
        driver_->Frame();
        Tap(PasswordId());
        driver_->Type(password);
        driver_->Frame();
    }

    bool WaitFor(const std::function<bool()>& done) { return driver_->RunUntil(done, 20, kStep); }
    bool WaitForAnswer() {
        return WaitFor([] { return !Cloud().authBusy; });
    }

    size_t Sent(const std::string& target) const {
        const std::vector<std::string> targets = backend_->Targets();
        return static_cast<size_t>(std::count(targets.begin(), targets.end(), target));
    }

    bool Toasted(const std::wstring& text) const {
        const std::vector<std::wstring> toasts = driver_->Toasts();
        return std::find(toasts.begin(), toasts.end(), text) != toasts.end();
    }

    // Holds the next request for target before the backend answers it, until release_ is set.
    void HoldNext(const std::string& target) {
        backend_->SetRequestHook([this, target](const RecordedRequest& request) {
            if (request.target != target || held_.exchange(true)) {
                return;
            }
            while (!release_) {
                Sleep(5);
            }
        });
    }

    std::unique_ptr<FakeSupabase> backend_;
    std::unique_ptr<FrameDriver> driver_;
    std::atomic<bool> held_{false};
    std::atomic<bool> release_{false};

private:
    std::wstring savedUrl_;
    std::wstring savedKey_;
};

TEST_F(AccountDialogTest, EachSignInFailureShowsItsTextUntilAFieldIsEdited) {
    struct Case {
        const char* name;
        std::function<void(FakeSupabase&)> arrange;
        std::string password;
        std::wstring error;
        bool editEmail;  // else the password is edited
    };
    const Case cases[] = {
        {"wrong password", [](FakeSupabase& b) { b.AddUser(kEmail, kPassword); }, "secreto2",
         L"Email o contraseña incorrectos", false},
        {"not confirmed", [](FakeSupabase& b) { b.AddUser(kEmail, kPassword, false); }, kPassword,
         L"Confirma tu email antes de entrar (revisa tu correo, también el spam)", true},
        {"rate limited",
         [](FakeSupabase& b) {
             b.AddUser(kEmail, kPassword);
             b.SetAuthRateLimited(true);
         },
         kPassword, L"Demasiados intentos; espera un momento", false},
        {"no connection",
         [](FakeSupabase& b) {
             b.AddUser(kEmail, kPassword);
             b.QueueFault(FakeFault::Reset().OnTarget(kSignInTarget));
         },
         kPassword, L"Sin conexión con el servidor", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartBackend();
        c.arrange(backend());
        OpenFromTitleBar();
        Fill(Text::ToWide(kEmail), Text::ToWide(c.password));
        driver().Key(VK_RETURN);
        ASSERT_TRUE(WaitForAnswer());
        Rest();

        EXPECT_EQ(Sent(kSignInTarget), 1u);
        EXPECT_EQ(dialog().error, c.error);
        EXPECT_TRUE(dialog().IsOpen());
        EXPECT_FALSE(dialog().signUp);
        EXPECT_FALSE(Cloud().SignedIn());
        EXPECT_GT(dialog().NoticeHeight(window().ui, 432), 14);
        EXPECT_TRUE(driver().Toasts().empty());

        Tap(c.editEmail ? EmailId() : PasswordId());
        driver().Type(L"x");
        EXPECT_TRUE(dialog().error.empty());
        EXPECT_EQ(dialog().NoticeHeight(window().ui, 432), 0);

        driver().Key(VK_ESCAPE);
        Rest();
    }
}

TEST_F(AccountDialogTest, ASignInClosesWithItsToastAndAsksANamelessAccountForItsProfile) {
    struct Case {
        const char* name;
        Json::Value metadata;
        bool profileOpens;
    };
    Json::Value named;
    named["display_name"] = Json::Value("Ana");
    const Case cases[] = {
        {"without a name", Json::Value(), true},
        {"with a name", named, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartBackend();
        backend().AddUser(kEmail, kPassword, true, c.metadata);
        OpenFromTitleBar();
        Fill(Text::ToWide(kEmail), Text::ToWide(kPassword));
        driver().Key(VK_RETURN);
        ASSERT_TRUE(WaitForAnswer());

        EXPECT_TRUE(Cloud().SignedIn());
        EXPECT_EQ(Cloud().account.email, Text::ToWide(kEmail));
        EXPECT_FALSE(dialog().IsOpen());
        EXPECT_TRUE(dialog().password.empty());
        EXPECT_TRUE(Toasted(L"Sesión iniciada · sincronizando tus datos"));
        EXPECT_EQ(window().profileDialog->IsOpen(), c.profileOpens);
        if (c.profileOpens) {
            EXPECT_TRUE(window().profileDialog->createMode);
            window().profileDialog->Close();
        }
        Cloud().SignOutLocal();
        // The toast hides before the next case looks for its own.
        ASSERT_TRUE(driver().Settle(10, kStep));
        ASSERT_TRUE(driver().Toasts().empty());
    }
}

TEST_F(AccountDialogTest, ASignUpEitherWaitsForTheConfirmationOrClosesAndOpensTheNewProfile) {
    struct Case {
        const char* name;
        bool confirmation;
        bool registered;  // the address has an account already
        // What follows: the dialog's notices and mode, or the dialog closed and signed in.
        std::wstring error;
        std::wstring info;
        bool signedIn;
    };
    const Case cases[] = {
        {"confirmation required", true, false, L"", AccountDialog::kConfirmationInfo, false},
        {"confirmed at once", false, false, L"", L"", true},
        {"address taken", true, true, L"Ya existe una cuenta con ese email", L"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartBackend();
        backend().SetConfirmationRequired(c.confirmation);
        if (c.registered) {
            backend().AddUser(kEmail, "otra-clave");
        }
        OpenFromTitleBar();
        Tap(dialog().WidgetId(AccountDialog::kSignUpChipSalt));
        ASSERT_TRUE(dialog().signUp);
        Fill(Text::ToWide(kEmail), Text::ToWide(kPassword));
        Tap(dialog().LabelId(L"Crear cuenta"));
        ASSERT_TRUE(WaitForAnswer());

        EXPECT_EQ(Sent(kSignUpTarget), 1u);
        EXPECT_EQ(Cloud().SignedIn(), c.signedIn);
        if (c.signedIn) {
            EXPECT_FALSE(dialog().IsOpen());
            EXPECT_TRUE(Toasted(L"Cuenta creada · subiendo tus datos a la nube"));
            EXPECT_EQ(driver().TopOverlay(), window().profileDialog.get());
            EXPECT_TRUE(window().profileDialog->createMode);
            window().profileDialog->Close();
            Cloud().SignOutLocal();
        } else {
            EXPECT_TRUE(dialog().IsOpen());
            EXPECT_EQ(dialog().error, c.error);
            EXPECT_EQ(dialog().info, c.info);
            EXPECT_TRUE(driver().Toasts().empty());
            // Waiting for the confirmation, the form is ready for the sign-in that follows it.
            EXPECT_EQ(dialog().signUp, c.info.empty());
            EXPECT_EQ(dialog().password.empty(), !c.info.empty());
            EXPECT_EQ(dialog().email, Text::ToWide(kEmail));
            dialog().Close();
        }
        ASSERT_TRUE(driver().Settle(10, kStep));
    }
}

TEST_F(AccountDialogTest, TheModeChipsClearTheErrorAndOnlyCreatingAnAccountClearsTheConfirmation) {
    backend().AddUser("taken@example.com", kPassword);
    OpenFromTitleBar();
    const uint64_t signInChip = dialog().WidgetId(AccountDialog::kSignInChipSalt);
    const uint64_t signUpChip = dialog().WidgetId(AccountDialog::kSignUpChipSalt);

    // An error of the sign-up goes when the user turns to signing in.
    Tap(signUpChip);
    Fill(L"taken@example.com", Text::ToWide(kPassword));
    driver().Key(VK_RETURN);
    ASSERT_TRUE(WaitForAnswer());
    ASSERT_EQ(dialog().error, L"Ya existe una cuenta con ese email");
    Tap(signInChip);
    EXPECT_FALSE(dialog().signUp);
    EXPECT_TRUE(dialog().error.empty());

    // The confirmation notice stays in sign-in mode, where it says what to do next.
    Tap(signUpChip);
    Fill(Text::ToWide(kEmail), Text::ToWide(kPassword));
    driver().Key(VK_RETURN);
    ASSERT_TRUE(WaitForAnswer());
    ASSERT_EQ(dialog().info, AccountDialog::kConfirmationInfo);
    Tap(signInChip);
    EXPECT_EQ(dialog().info, AccountDialog::kConfirmationInfo);
    Tap(signUpChip);
    EXPECT_TRUE(dialog().signUp);
    EXPECT_TRUE(dialog().info.empty());
}

TEST_F(AccountDialogTest, AnIncompleteFormSendsNothingAndEachWayOfSubmittingSendsOnce) {
    backend().AddUser(kEmail, kPassword);
    OpenFromTitleBar();
    const uint64_t enter = dialog().LabelId(L"Entrar");

    struct Incomplete {
        std::wstring email;
        std::wstring password;
    };
    const Incomplete incomplete[] = {
        {L"   ", L"secreto1"},
        {L"ana.example.com", L"secreto1"},
        {L"ana@example", L"secreto1"},
        {L"ana@example.com", L"12345"},
    };
    for (const Incomplete& c : incomplete) {
        SCOPED_TRACE(Text::ToUtf8(c.email + L" / " + c.password));
        Fill(c.email, c.password);
        EXPECT_FALSE(dialog().CanSubmit());
        // A submit would start the request at once and mark it running until its answer.
        Tap(enter);
        EXPECT_FALSE(Cloud().authBusy);
        driver().Key(VK_RETURN);
        EXPECT_FALSE(Cloud().authBusy);
        driver().Key(VK_RETURN, FrameDriver::kCtrl);
        EXPECT_FALSE(Cloud().authBusy);
    }
    EXPECT_EQ(Sent(kSignInTarget), 0u);

    // The e-mail goes trimmed, the password as typed; a wrong one keeps the dialog open for the next way.
    struct Way {
        const char* name;
        std::function<void()> submit;
    };
    const Way ways[] = {
        {"Enter in the password field", [&] { driver().Key(VK_RETURN); }},
        {"Enter in the e-mail field",
         [&] {
             Tap(EmailId());
             driver().Key(VK_RETURN);
         }},
        {"Ctrl+Enter", [&] { driver().Key(VK_RETURN, FrameDriver::kCtrl); }},
        {"the button", [&] { Tap(enter); }},
    };
    size_t sent = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Fill(L"  ana@example.com\t", L" clave ");
        way.submit();
        ASSERT_TRUE(WaitForAnswer());
        driver().RunFor(0.2, kStep);
        EXPECT_EQ(Sent(kSignInTarget), ++sent);
        EXPECT_EQ(dialog().error, L"Email o contraseña incorrectos");
    }
    const Json::Value body = Json::Value::Parse(backend().Requests().back().body);
    EXPECT_EQ(body.Find("email").text, kEmail);
    EXPECT_EQ(body.Find("password").text, " clave ");
}

TEST_F(AccountDialogTest, WhileTheRequestRunsTheFormIsInertAndClosingItDoesNotStopTheSignIn) {
    backend().AddUser(kEmail, kPassword);
    OpenFromTitleBar();
    Fill(Text::ToWide(kEmail), Text::ToWide(kPassword));
    // Where the controls are while they still take input.
    const std::optional<Rect> email = driver().WidgetRect(EmailId());
    const std::optional<Rect> chip = driver().WidgetRect(dialog().WidgetId(AccountDialog::kSignUpChipSalt));
    const std::optional<Rect> cancel = driver().WidgetRect(dialog().LabelId(L"Cancelar"));
    ASSERT_TRUE(email && chip && cancel);

    HoldNext(kSignInTarget);
    driver().Key(VK_RETURN);
    ASSERT_TRUE(WaitFor([this] { return held_.load(); }));
    ASSERT_TRUE(Cloud().authBusy);
    EXPECT_FALSE(dialog().CanSubmit());

    driver().Type(L"zz");
    driver().Click(email->x + email->w / 2, email->y + email->h / 2);
    driver().Type(L"zz");
    driver().Click(chip->x + chip->w / 2, chip->y + chip->h / 2);
    driver().Click(cancel->x + cancel->w / 2, cancel->y + cancel->h / 2);
    driver().Key(VK_RETURN);
    driver().RunFor(0.3, kStep);
    EXPECT_EQ(dialog().email, Text::ToWide(kEmail));
    EXPECT_EQ(dialog().password, Text::ToWide(kPassword));
    EXPECT_FALSE(dialog().signUp);
    EXPECT_TRUE(dialog().IsOpen());
    // The spinner turns in the footer: the window keeps asking for frames.
    EXPECT_FALSE(driver().Idle());

    // Escape still closes it; the answer then signs in all the same.
    driver().Key(VK_ESCAPE);
    EXPECT_FALSE(dialog().IsOpen());
    release_ = true;
    ASSERT_TRUE(WaitForAnswer());
    EXPECT_EQ(Sent(kSignInTarget), 1u);
    EXPECT_TRUE(Cloud().SignedIn());
    EXPECT_TRUE(Toasted(L"Sesión iniciada · sincronizando tus datos"));
    EXPECT_EQ(driver().TopOverlay(), window().profileDialog.get());
    EXPECT_TRUE(dialog().password.empty());
}

TEST_F(AccountDialogTest, AnOpeningKeepsTheEmailAndResetsEverythingElse) {
    backend().AddUser(kEmail, kPassword);
    OpenFromTitleBar();
    EXPECT_EQ(window().ui.focus, EmailId());
    Tap(dialog().WidgetId(AccountDialog::kSignUpChipSalt));
    Fill(Text::ToWide(kEmail), L"otra-clave");
    driver().Key(VK_RETURN);
    ASSERT_TRUE(WaitForAnswer());
    ASSERT_FALSE(dialog().error.empty());
    Tap(dialog().WidgetId(AccountDialog::kShowPasswordSalt));
    EXPECT_TRUE(dialog().showPassword);
    driver().Key(VK_ESCAPE);
    Rest();

    OpenFromTitleBar();
    EXPECT_EQ(dialog().email, Text::ToWide(kEmail));
    EXPECT_TRUE(dialog().password.empty());
    EXPECT_TRUE(dialog().error.empty());
    EXPECT_TRUE(dialog().info.empty());
    EXPECT_FALSE(dialog().signUp);
    EXPECT_FALSE(dialog().showPassword);
    EXPECT_EQ(window().ui.focus, EmailId());
}

}  // namespace
}  // namespace Lorvex::Testing
