#pragma once
// The profile dialog of the signed-in account: its display name and photo, the sync status with a
// sync-now button, a new password, and signing out after a confirmation. Opened by the title
// bar's account button, and in create mode after a sign-up or a sign-in of an account without a
// name. It keeps its own copies of what the user types and hands them to CloudSync only on a
// save or a password change; the sync status is read anew every frame.
// The changes the cloud refused are listed under the status, each with its reason, while they wait.
// The dialog closes when the account signs out, whatever signed it out.
// UI thread only. A failed update leaves the service's Spanish text in the error notice and the
// dialog open, or in an error toast when it ended the session; a picked file that is no picture is
// refused with an error toast and changes nothing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class ProfileDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 540;

    // Salts of the controls whose ids do not come from their labels.
    static constexpr uint64_t kNameSalt = 0x9a3e;
    static constexpr uint64_t kPhotoSalt = 0xf070;
    static constexpr uint64_t kRemoveSalt = 0xf071;
    static constexpr uint64_t kSyncSalt = 0x5c1d;
    static constexpr uint64_t kPasswordSalt = 0x0a55;
    static constexpr uint64_t kShowSalt = 0x0e7e;
    static constexpr uint64_t kChangeSalt = 0xc4a9;
    static constexpr uint64_t kSignOutSalt = 0x10c0;

    explicit ProfileDialog(MainWindow* owner);

    // createMode: the account has no profile yet. The fields start from the signed-in account.
    void Open(bool createMode);
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;
    // Saves the name and the photo change; nothing while an update runs, for a blank name, or
    // (outside create mode) when nothing changed.
    void OnSubmit() override;

    // The photo was changed, or the trimmed name differs from the account's. The new password
    // does not count.
    bool HasChanges() const;
    // The notice's height with its gap below; 0 when there is nothing to say.
    float NoticeHeight(UI::Ui& ui, float width) const;

    bool createMode = false;
    std::wstring name;
    std::wstring shownPhoto;                  // full path shown in the avatar; empty for none
    std::optional<std::wstring> photoChange;  // none: unchanged; empty: remove; else the picked file
    std::wstring newPassword;
    bool showPassword = false;
    bool focusName = false;
    std::wstring error;
    std::wstring note;

private:
    void Notice(UI::Ui& ui, float x, float y, float w);
    // The avatar, the name field and the photo buttons from top.
    void ProfileRow(UI::Ui& ui, float x, float top, float w, float fieldHeight, bool busy);
    // The sync section from top: its header and the status card.
    void SyncSection(UI::Ui& ui, float x, float top, float w);
    void PasswordSection(UI::Ui& ui, float x, float top, float w, float fieldHeight, bool busy);
    void ChoosePhoto();
    void ChangePassword();
    void AskSignOut();
    // A failed update's text: in the notice, or in a toast when the session is over.
    void ShowFailure(const std::wstring& failure);

    // Completions of the service reach the dialog only while it lives.
    std::shared_ptr<ProfileDialog*> self_;
};

}  // namespace Lorvex::Main
