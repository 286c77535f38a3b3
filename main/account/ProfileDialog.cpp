#include "main/account/ProfileDialog.h"

#include <algorithm>
#include <utility>

#include "foundation/Text.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/account/AccountNotice.h"
#include "main/dialogs/ConfirmDialog.h"
#include "main/editors/PhotoPick.h"
#include "main/kit/Avatar.h"
#include "main/kit/Buttons.h"
#include "main/kit/Fields.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "services/sync/CloudSync.h"
#include "ui/Ids.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kAvatarSize = 92;
constexpr float kNameLeft = 110;
constexpr float kRowGap = 24;
constexpr float kSectionHeight = 26;
constexpr float kSectionAdvance = 36;
constexpr float kCardHeight = 52;
constexpr float kPhotoButtonHeight = 36;
constexpr float kChangeButtonHeight = 38;
constexpr float kSpinnerRadius = 9;
constexpr float kSpinnerStroke = 2.5f;
constexpr float kRefusedGap = 12;

const wchar_t* const kCreateNote =
    L"Elige cómo se verá tu cuenta. El nombre y la foto se sincronizan en todos tus PCs.";
const wchar_t* const kSignOutMessage =
    L"Los personajes y chats de este PC no se borran; solo se deja de sincronizar con tu cuenta.";
const wchar_t* const kUnsentWarning =
    L"\n\nHay cambios que aún no se han subido a la nube: se quedarán solo en este PC.";
const wchar_t* const kSignOut = L"Cerrar sesión";

// The avatar and name row is as tall as the avatar, or the field with the buttons under it.
float ProfileRowHeight(float fieldHeight) {
    return std::max(fieldHeight + 48, kAvatarSize);
}

Services::CloudSync& Cloud() {
    return Services::CloudSync::Instance();
}

// The changes the cloud refused, one line each with its own reason, for as long as they wait.
std::wstring RefusedText() {
    std::wstring text;
    for (const std::wstring& reason : Cloud().SetAsideReasons()) {
        text += (text.empty() ? L"" : L"\n") + reason;
    }
    return text;
}

// The notice under the status card; 0 when the cloud refused nothing.
float RefusedHeight(UI::Ui& ui, float width) {
    const std::wstring text = RefusedText();
    return text.empty() ? 0 : kRefusedGap + AccountNotice::Height(ui, text, width) - AccountNotice::kGapBelow;
}

}  // namespace

ProfileDialog::ProfileDialog(MainWindow* owner)
    : Dialog(owner, kPanelWidth), self_(std::make_shared<ProfileDialog*>(this)) {
}

void ProfileDialog::Open(bool create) {
    const Services::CloudSync& cloud = Cloud();
    createMode = create;
    title = create ? L"Crea tu perfil" : L"Tu perfil";
    subtitle = cloud.account.email;
    headerIcon = Icon::PersonCircle;
    accent = {0, 0, 0, 0};
    name = cloud.account.displayName;
    shownPhoto = cloud.AvatarPath();
    photoChange.reset();
    newPassword.clear();
    error.clear();
    showPassword = false;
    note = create ? kCreateNote : L"";
    focusName = create;
    Dialog::Open();
}

bool ProfileDialog::HasChanges() const {
    return photoChange.has_value() || Text::Trim(name) != Cloud().account.displayName;
}

float ProfileDialog::NoticeHeight(UI::Ui& ui, float width) const {
    return AccountNotice::Height(ui, error.empty() ? note : error, width);
}

float ProfileDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    // A round that found the session over, or an update that could not renew it, signed the
    // account out: nothing here applies any more.
    if (open && !Cloud().SignedIn()) {
        Close();
    }
    const float fh = Kit::FieldHeight(ui, false, 1);
    return NoticeHeight(ui, bodyWidth) + ProfileRowHeight(fh) + kRowGap + kSectionAdvance + kCardHeight +
           RefusedHeight(ui, bodyWidth) + kRowGap + kSectionAdvance + fh + 8;
}

void ProfileDialog::Body(UI::Ui& ui, const Rect& body) {
    const bool busy = Cloud().userUpdateBusy;
    const float fh = Kit::FieldHeight(ui, false, 1);
    const float x = body.x;
    const float w = body.w;
    const float noticeHeight = NoticeHeight(ui, w);
    if (noticeHeight > 0) {
        Notice(ui, x, body.y, w);
    }
    const float ay = body.y + noticeHeight;
    ProfileRow(ui, x, ay, w, fh, busy);
    const float sy = ay + ProfileRowHeight(fh) + kRowGap;
    SyncSection(ui, x, sy, w);
    const float refused = RefusedHeight(ui, w);
    if (refused > 0) {
        AccountNotice::Draw(ui, x, sy + kSectionAdvance + kCardHeight + kRefusedGap, w, RefusedText(),
                            Icon::AlertCircle, Kit::KitPalette().danger);
    }
    PasswordSection(ui, x, sy + kSectionAdvance + kCardHeight + refused + kRowGap, w, fh, busy);
}

void ProfileDialog::Notice(UI::Ui& ui, float x, float y, float w) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    if (!error.empty()) {
        AccountNotice::Draw(ui, x, y, w, error, Icon::AlertCircle, palette.danger);
    } else {
        AccountNotice::Draw(ui, x, y, w, note, Icon::InfoOutline, palette.primary);
    }
}

void ProfileDialog::ProfileRow(UI::Ui& ui, float x, float top, float w, float fh, bool busy) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const Services::CloudSync& cloud = Cloud();
    const std::wstring trimmed = Text::Trim(name);
    Kit::Avatar(ui, {x, top, kAvatarSize, kAvatarSize},
                shownPhoto.empty() ? std::nullopt : std::optional<std::wstring>(shownPhoto),
                trimmed.empty() ? cloud.account.email : trimmed, 3, {0, 0, 0, 0});

    const uint64_t nameId = WidgetId(kNameSalt);
    if (focusName && open) {
        ui.focus = nameId;
        ui.caretTime = ui.time;
        focusName = false;
    }
    if (Kit::Field(ui, nameId, {x + kNameLeft, top + 2, w - kNameLeft, fh}, name, Kit::FieldOptions(L"Nombre", false),
                   !busy)) {
        error.clear();
    }

    const std::wstring photoLabel = shownPhoto.empty() ? L"Añadir foto" : L"Cambiar foto";
    const Rect photo = {x + kNameLeft, top + fh + 14, Kit::ButtonWidth(ui, photoLabel, Kit::kButtonFontSize),
                        kPhotoButtonHeight};
    const bool pick =
        Kit::Button(ui, WidgetId(kPhotoSalt), photo, Icon::ImageAdd, photoLabel, palette.primary, false, !busy);
    if (!shownPhoto.empty()) {
        const std::wstring removeLabel = L"Quitar";
        const Rect remove = {photo.x + photo.w + 8, photo.y, Kit::ButtonWidth(ui, removeLabel, Kit::kButtonFontSize),
                             kPhotoButtonHeight};
        if (Kit::Button(ui, WidgetId(kRemoveSalt), remove, Icon::Delete, removeLabel, palette.danger, false, !busy)) {
            shownPhoto.clear();
            photoChange = std::wstring();
        }
    }
    // After the row is drawn: the file dialog runs its own message loop.
    if (pick) {
        ChoosePhoto();
    }
}

void ProfileDialog::ChoosePhoto() {
    if (!owner) {
        return;
    }
    if (std::optional<std::wstring> path = PickPhoto(*owner)) {
        shownPhoto = *path;
        photoChange = std::move(*path);
    }
}

void ProfileDialog::SyncSection(UI::Ui& ui, float x, float top, float w) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    Services::CloudSync& cloud = Cloud();
    Kit::SectionHeader(ui, {x, top, w, kSectionHeight}, L"Sincronización", Icon::Cloud);

    const float card = top + kSectionAdvance;
    graphics.FillRoundRect({x, card, w, kCardHeight}, 12, palette.surfaceContainer);
    Icon icon = Icon::CloudCheck;
    Color iconColor = palette.primary;
    if (cloud.SignedIn()) {
        if (cloud.syncing) {
            icon = Icon::CloudSync;
        } else if (cloud.offline) {
            icon = Icon::CloudOff;
        } else if (!cloud.lastError.empty() || cloud.WaitingChanges() != cloud.pending.size()) {
            icon = Icon::CloudAlert;
            iconColor = palette.danger;
        }
    }
    UI::Material::DrawIcon(graphics, icon, {x + 16, card + 16, 20, 20}, iconColor);
    TextStyle status = Kit::KitStyle(13.5f, 400);
    status.valign = VerticalAlign::Center;
    status.ellipsis = true;
    graphics.DrawText(cloud.StatusText(), {x + 50, card, w - 102, kCardHeight}, palette.onBackground, status);

    if (cloud.syncing) {
        Kit::Spinner(ui, x + w - 27, card + 26, kSpinnerRadius, palette.primary, kSpinnerStroke);
        return;
    }
    if (Kit::IconButton(ui, WidgetId(kSyncSalt), {x + w - 46, card + 7, 38, 38}, Icon::Refresh, palette.primary,
                        L"Sincronizar ahora", true, 18) &&
        cloud.SignedIn()) {
        cloud.Start(true);
    }
}

void ProfileDialog::PasswordSection(UI::Ui& ui, float x, float top, float w, float fh, bool busy) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Kit::SectionHeader(ui, {x, top, w, kSectionHeight}, L"Contraseña", Icon::Lock);

    const float py = top + kSectionAdvance;
    const std::wstring changeLabel = L"Cambiar";
    const float bw = Kit::ButtonWidth(ui, changeLabel, Kit::kButtonFontSize);
    Kit::FieldOptions field(L"Nueva contraseña (mínimo 6 caracteres)", false);
    field.password = !showPassword;
    field.paddingRight = 48;
    if (Kit::Field(ui, WidgetId(kPasswordSalt), {x, py, w - bw - 10, fh}, newPassword, field, !busy)) {
        error.clear();
    }
    if (Kit::IconButton(ui, WidgetId(kShowSalt), {x + w - bw - 10 - 42, py + (fh - 34) / 2, 34, 34},
                        showPassword ? Icon::EyeOff : Icon::Eye, palette.onBackgroundMuted,
                        showPassword ? L"Ocultar" : L"Mostrar", true, 18)) {
        showPassword = !showPassword;
    }
    const bool canChange = !busy && newPassword.size() >= 6;
    if (Kit::Button(ui, WidgetId(kChangeSalt),
                    {x + w - bw, py + (fh - kChangeButtonHeight) / 2, bw, kChangeButtonHeight}, Icon::Check,
                    changeLabel, palette.primary, true, canChange)) {
        ChangePassword();
    }
}

void ProfileDialog::ChangePassword() {
    error.clear();
    note.clear();
    const std::weak_ptr<ProfileDialog*> self = self_;
    Cloud().ChangePassword(newPassword, [self](const std::wstring& failure) {
        const std::shared_ptr<ProfileDialog*> alive = self.lock();
        if (!alive) {
            return;
        }
        ProfileDialog& dialog = **alive;
        if (failure.empty()) {
            dialog.newPassword.clear();
            if (dialog.owner) {
                dialog.owner->toasts.Push(L"Contraseña cambiada", Kit::ToastKind::Success);
            }
        } else {
            dialog.ShowFailure(failure);
        }
        if (dialog.owner) {
            dialog.owner->dirty = true;
        }
    });
}

void ProfileDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const bool busy = Cloud().userUpdateBusy;
    float x = footer.x + footer.w;
    const bool canSave = !busy && !Text::Trim(name).empty() && (HasChanges() || createMode);
    if (FooterButton(ui, x, footer, createMode ? L"Crear perfil" : L"Guardar", Icon::Save, palette.primary, true,
                     canSave)) {
        OnSubmit();
    }
    if (FooterButton(ui, x, footer, createMode ? L"Más tarde" : L"Cerrar", Icon::Close, palette.onBackground, false,
                     !busy) &&
        open) {
        Close();
    }

    const float centre = footer.y + footer.h / 2;
    if (busy) {
        Kit::Spinner(ui, footer.x + 12, centre, kSpinnerRadius, palette.primary, kSpinnerStroke);
        TextStyle style = Kit::KitStyle(12.5f, 400);
        style.valign = VerticalAlign::Center;
        ui.graphics->DrawText(L"Guardando…", {footer.x + 30, footer.y, 160, footer.h}, palette.onBackgroundMuted,
                              style);
        return;
    }
    const Rect signOut = {footer.x, centre - 19, Kit::ButtonWidth(ui, kSignOut, Kit::kButtonFontSize), 38};
    if (Kit::Button(ui, WidgetId(kSignOutSalt), signOut, Icon::Logout, kSignOut, palette.danger, false, true)) {
        AskSignOut();
    }
}

void ProfileDialog::AskSignOut() {
    std::wstring message = kSignOutMessage;
    if (!Cloud().pending.empty()) {
        message += kUnsentWarning;
    }
    if (open) {
        Close();
    }
    if (!owner) {
        return;
    }
    MainWindow* window = owner;
    window->confirmDialog->Open(
        L"¿Cerrar sesión?", message, kSignOut, false,
        [window] {
            Cloud().SignOut();
            window->toasts.Push(L"Sesión cerrada", Kit::ToastKind::Info);
        },
        Icon::Logout);
}

void ProfileDialog::OnSubmit() {
    if (Cloud().userUpdateBusy || Text::Trim(name).empty()) {
        return;
    }
    if (!HasChanges() && !createMode) {
        return;
    }
    error.clear();
    const std::weak_ptr<ProfileDialog*> self = self_;
    const bool created = createMode;
    Cloud().UpdateProfile(name, photoChange, [self, created](const std::wstring& failure) {
        const std::shared_ptr<ProfileDialog*> alive = self.lock();
        if (!alive) {
            return;
        }
        ProfileDialog& dialog = **alive;
        if (failure.empty()) {
            if (dialog.open) {
                dialog.Close();
            }
            if (dialog.owner) {
                dialog.owner->toasts.Push(created ? L"Perfil creado" : L"Perfil guardado", Kit::ToastKind::Success);
            }
        } else {
            dialog.ShowFailure(failure);
        }
        if (dialog.owner) {
            dialog.owner->dirty = true;
        }
    });
}

void ProfileDialog::ShowFailure(const std::wstring& failure) {
    error = failure;
    // The update found the session over and signed out: the dialog closes with it, so the reason
    // goes where the user still sees it.
    if (!Cloud().SignedIn()) {
        if (open) {
            Close();
        }
        if (owner) {
            owner->toasts.Push(failure, Kit::ToastKind::Error);
        }
    }
}

}  // namespace Lorvex::Main
