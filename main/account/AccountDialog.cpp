#include "main/account/AccountDialog.h"

#include "foundation/Text.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/account/AccountNotice.h"
#include "main/account/ProfileDialog.h"
#include "main/kit/Buttons.h"
#include "main/kit/Chips.h"
#include "main/kit/Fields.h"
#include "main/kit/KitColor.h"
#include "main/kit/Progress.h"
#include "main/kit/Toasts.h"
#include "main/overlays/OverlayInput.h"
#include "services/sync/CloudSync.h"
#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr size_t kMinPassword = 6;
constexpr float kChipHeight = 36;
constexpr float kChipGap = 8;
constexpr float kFieldsTop = 54;  // below the chips
constexpr float kRowGap = 14;
constexpr float kNoteHeight = 40;
constexpr float kEyeSide = 34;
constexpr float kEyeRoom = 48;  // the password's right padding, room for the eye
constexpr float kBusyTextWidth = 180;

Services::CloudSync& Cloud() {
    return Services::CloudSync::Instance();
}

}  // namespace

void AccountDialog::Open() {
    title = L"Cuenta en la nube";
    subtitle = L"Guarda tus personajes, personas y chats en tu cuenta";
    headerIcon = Icon::Cloud;
    accent = {0, 0, 0, 0};
    signUp = false;
    showPassword = false;
    password.clear();
    error.clear();
    info.clear();
    focusEmail = true;
    Dialog::Open();
}

bool AccountDialog::CanSubmit() const {
    if (Cloud().authBusy || password.size() < kMinPassword) {
        return false;
    }
    const std::wstring address = Text::Trim(email);
    return address.find(L'@') != std::wstring::npos && address.find(L'.') != std::wstring::npos;
}

float AccountDialog::NoticeHeight(UI::Ui& ui, float width) const {
    return AccountNotice::Height(ui, error.empty() ? info : error, width);
}

float AccountDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    const float field = Kit::FieldHeight(ui, false, 1);
    return NoticeHeight(ui, bodyWidth) + kFieldsTop + field + kRowGap + field + kRowGap + kNoteHeight;
}

void AccountDialog::Body(UI::Ui& ui, const Rect& body) {
    // A plain Enter submits from either field: the form has nothing else to do with it.
    if (open && TakeKey(ui, kEnterKey)) {
        OnSubmit();
    }
    const float x = body.x;
    const float y = body.y;
    const float w = body.w;
    ModeChips(ui, x, y, w);

    const uint64_t emailId = WidgetId(kEmailSalt);
    if (focusEmail && open) {
        ui.focus = emailId;
        ui.caretTime = ui.time;
        focusEmail = false;
    }
    const bool idle = !Cloud().authBusy;
    const float field = Kit::FieldHeight(ui, false, 1);
    if (Kit::Field(ui, emailId, {x, y + kFieldsTop, w, field}, email, Kit::FieldOptions(L"Email", false), idle)) {
        error.clear();
    }
    const float passwordTop = y + kFieldsTop + field + kRowGap;
    PasswordRow(ui, x, passwordTop, w, field);
    const float ry = Notice(ui, x, passwordTop + field + kRowGap, w);
    Note(ui, x, ry, w);
}

void AccountDialog::ModeChips(UI::Ui& ui, float x, float y, float w) {
    const Color accentColour = Kit::KitPalette().primary;
    const bool idle = !Cloud().authBusy;
    const float chip = (w - kChipGap) / 2;
    if (Kit::ChoiceChip(ui, WidgetId(kSignInChipSalt), {x, y, chip, kChipHeight}, L"Iniciar sesión", !signUp,
                        accentColour, idle) &&
        signUp) {
        // The confirmation information of a sign-up stays: it tells what to do in this mode.
        signUp = false;
        error.clear();
    }
    if (Kit::ChoiceChip(ui, WidgetId(kSignUpChipSalt), {x + chip + kChipGap, y, chip, kChipHeight}, L"Crear cuenta",
                        signUp, accentColour, idle) &&
        !signUp) {
        signUp = true;
        error.clear();
        info.clear();
    }
}

void AccountDialog::PasswordRow(UI::Ui& ui, float x, float y, float w, float fieldHeight) {
    Kit::FieldOptions options(signUp ? L"Contraseña (mínimo 6 caracteres)" : L"Contraseña", false);
    options.password = !showPassword;
    options.paddingRight = kEyeRoom;
    if (Kit::Field(ui, WidgetId(kPasswordSalt), {x, y, w, fieldHeight}, password, options, !Cloud().authBusy)) {
        error.clear();
    }
    const Rect eye = {x + w - 42, y + (fieldHeight - kEyeSide) / 2, kEyeSide, kEyeSide};
    if (Kit::IconButton(ui, WidgetId(kShowPasswordSalt), eye, showPassword ? Icon::EyeOff : Icon::Eye,
                        Kit::KitPalette().onBackgroundMuted, showPassword ? L"Ocultar" : L"Mostrar", true, 18)) {
        showPassword = !showPassword;
    }
}

float AccountDialog::Notice(UI::Ui& ui, float x, float ny, float w) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    if (!error.empty()) {
        AccountNotice::Draw(ui, x, ny, w, error, Icon::AlertCircle, palette.danger);
    } else {
        AccountNotice::Draw(ui, x, ny, w, info, Icon::Email, palette.success);
    }
    return ny + NoticeHeight(ui, w);
}

void AccountDialog::Note(UI::Ui& ui, float x, float ry, float w) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    UI::Material::DrawIcon(graphics, Icon::Lock, {x + 8 - 7, ry + 12 - 7, 14, 14}, palette.onBackgroundMuted);
    TextStyle style = Kit::KitStyle(12, 400);
    style.wrap = true;
    style.ellipsis = true;
    graphics.DrawText(L"Tus datos siguen guardados también en este PC. Solo tú puedes verlos en la nube.",
                      {x + 22, ry + 3, w - 22, 36}, palette.onBackgroundMuted, style);
}

void AccountDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    const bool busy = Cloud().authBusy;
    float x = footer.x + footer.w;
    if (FooterButton(ui, x, footer, signUp ? L"Crear cuenta" : L"Entrar", signUp ? Icon::PersonAdd : Icon::Login,
                     palette.primary, true, CanSubmit())) {
        OnSubmit();
    }
    if (FooterButton(ui, x, footer, L"Cancelar", Icon::Close, palette.onBackground, false, !busy) && open) {
        Close();
    }
    if (!busy) {
        return;
    }
    const float cy = footer.y + footer.h / 2;
    Kit::Spinner(ui, footer.x + 12, cy, 9, palette.primary, 2.5f);
    TextStyle style = Kit::KitStyle(12.5f, 400);
    style.wrap = false;
    style.ellipsis = true;
    style.valign = VerticalAlign::Center;
    ui.graphics->DrawText(signUp ? L"Creando cuenta…" : L"Entrando…",
                          {footer.x + 30, footer.y, kBusyTextWidth, footer.h}, palette.onBackgroundMuted, style);
}

void AccountDialog::OnSubmit() {
    if (!CanSubmit()) {
        return;
    }
    error.clear();
    info.clear();
    const std::wstring address = Text::Trim(email);
    // The dialog lives as long as the window, which a request may outlast.
    const std::weak_ptr<AccountDialog*> self = self_;
    if (signUp) {
        Cloud().SignUp(address, password, [self](const std::wstring& failure, bool needsConfirmation) {
            if (const std::shared_ptr<AccountDialog*> dialog = self.lock()) {
                (*dialog)->SignUpDone(failure, needsConfirmation);
            }
        });
    } else {
        Cloud().SignIn(address, password, [self](const std::wstring& failure) {
            if (const std::shared_ptr<AccountDialog*> dialog = self.lock()) {
                (*dialog)->SignInDone(failure);
            }
        });
    }
}

void AccountDialog::SignUpDone(const std::wstring& failure, bool needsConfirmation) {
    if (!failure.empty()) {
        error = failure;
    } else if (needsConfirmation) {
        signUp = false;
        password.clear();
        info = kConfirmationInfo;
    } else {
        if (open) {
            Close();
        }
        if (owner) {
            owner->toasts.Push(L"Cuenta creada · subiendo tus datos a la nube", Kit::ToastKind::Success);
            owner->profileDialog->Open(true);
        }
    }
    if (owner) {
        owner->dirty = true;
    }
}

void AccountDialog::SignInDone(const std::wstring& failure) {
    if (!failure.empty()) {
        error = failure;
    } else {
        password.clear();
        if (open) {
            Close();
        }
        if (owner) {
            owner->toasts.Push(L"Sesión iniciada · sincronizando tus datos", Kit::ToastKind::Success);
            if (Cloud().account.displayName.empty()) {
                owner->profileDialog->Open(true);
            }
        }
    }
    if (owner) {
        owner->dirty = true;
    }
}

}  // namespace Lorvex::Main
