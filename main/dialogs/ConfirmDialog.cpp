#include "main/dialogs/ConfirmDialog.h"

#include <utility>

#include "graphics/Graphics.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"

namespace Lorvex::Main {
namespace {

TextStyle MessageStyle() {
    TextStyle style = Kit::KitStyle(14.5f, 400);
    style.wrap = true;
    return style;
}

}  // namespace

void ConfirmDialog::Open(const std::wstring& titleText, const std::wstring& messageText, const std::wstring& label,
                         bool isDanger, std::function<void()> action, UI::Material::Icon icon) {
    title = titleText;
    subtitle.clear();
    message = messageText;
    confirmLabel = label;
    danger = isDanger;
    onConfirm = std::move(action);
    headerIcon = icon;
    accent = isDanger ? Kit::KitPalette().danger : Color{0, 0, 0, 0};
    Dialog::Open();
}

float ConfirmDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return ui.graphics->MeasureText(message, MessageStyle(), bodyWidth).height + 16;
}

void ConfirmDialog::Body(UI::Ui& ui, const Rect& body) {
    const Color ink = Kit::Faded(Kit::KitPalette().onBackground, 0.85f);
    ui.graphics->DrawText(message, {body.x, body.y + 4, body.w, body.h - 4}, ink, MessageStyle());
}

void ConfirmDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    float x = footer.x + footer.w;
    const UI::Material::Icon icon = danger ? UI::Material::Icon::Delete : UI::Material::Icon::Check;
    if (FooterButton(ui, x, footer, confirmLabel, icon, danger ? palette.danger : palette.primary, true, true)) {
        OnSubmit();
    }
    if (FooterButton(ui, x, footer, L"Cancelar", UI::Material::Icon::Close, palette.onBackground, false, true)) {
        Close();
    }
}

void ConfirmDialog::OnSubmit() {
    std::function<void()> action = onConfirm;
    Close();
    if (action) {
        action();
    }
}

}  // namespace Lorvex::Main
