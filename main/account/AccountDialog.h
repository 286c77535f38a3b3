#pragma once
// The cloud account dialog: a signed-out user signs in with e-mail and password, or creates an
// account. Opened by the title bar's account button while no account is signed in; Enter in
// either field submits. On success it closes, shows a toast and may open the profile dialog to
// give the new account a name. The e-mail stays between openings, the password never does.
// UI thread only. Failures are the account service's Spanish texts, shown in the dialog's error
// notice; a request still running when the dialog closes finishes into the closed dialog.

#include <cstdint>
#include <memory>
#include <string>

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class AccountDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 480;

    // Ids of the controls without a label of their own.
    static constexpr uint64_t kSignInChipSalt = 0xac01;
    static constexpr uint64_t kSignUpChipSalt = 0xac02;
    static constexpr uint64_t kEmailSalt = 0xe3a1;
    static constexpr uint64_t kPasswordSalt = 0x0a55;
    static constexpr uint64_t kShowPasswordSalt = 0x0e7e;

    // What the success notice says after a sign-up that waits for the e-mail to be confirmed.
    static constexpr const wchar_t* kConfirmationInfo =
        L"Cuenta creada. Te hemos enviado un email de confirmación: ábrelo y después inicia sesión aquí.";

    explicit AccountDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // Opens in sign-in mode with the password and both notices cleared; the e-mail typed before
    // stays and takes the keyboard.
    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Signs in or up with the trimmed e-mail and the password as typed; nothing unless CanSubmit.
    void OnSubmit() override;

    // No request runs, the trimmed e-mail has an "@" and a "." and the password 6 units or more.
    bool CanSubmit() const;
    // The height the error (or else the information) notice takes with the gap under it; 0 without one.
    float NoticeHeight(UI::Ui& ui, float width) const;

    bool signUp = false;  // creating an account rather than signing in
    bool showPassword = false;
    bool focusEmail = false;  // the e-mail field takes the keyboard at the next draw
    std::wstring email;
    std::wstring password;
    std::wstring error;
    std::wstring info;

private:
    void ModeChips(UI::Ui& ui, float x, float y, float w);
    void PasswordRow(UI::Ui& ui, float x, float y, float w, float fieldHeight);
    // Draws the notice from ny; returns where the next row begins.
    float Notice(UI::Ui& ui, float x, float ny, float w);
    void Note(UI::Ui& ui, float x, float ry, float w);

    void SignUpDone(const std::wstring& failure, bool needsConfirmation);
    void SignInDone(const std::wstring& failure);

    // Completions of a request reach the dialog only while it exists.
    std::shared_ptr<AccountDialog*> self_ = std::make_shared<AccountDialog*>(this);
};

}  // namespace Lorvex::Main
