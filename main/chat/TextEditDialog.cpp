#include "main/chat/TextEditDialog.h"

#include <utility>

#include "foundation/Text.h"
#include "graphics/Graphics.h"
#include "main/kit/Fields.h"
#include "main/kit/KitColor.h"
#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr uint64_t kEditorSalt = 0xed17;

constexpr float kHeight = 300;
constexpr float kNoteHeight = 30;
constexpr float kHintWidth = 220;

}  // namespace

bool TextEditDialog::CanSave() const {
    return !Text::Trim(editText).empty();
}

uint64_t TextEditDialog::EditorId() const {
    return ControlId(kEditorSalt);
}

float TextEditDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return note.empty() ? kHeight : kHeight + kNoteHeight;
}

void TextEditDialog::Body(UI::Ui& ui, const Rect& body) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    if (focusPending && open) {
        ui.focus = EditorId();
        ui.caretTime = ui.time;
        focusPending = false;
    }
    Kit::FieldOptions options(L"Mensaje", true);
    options.fontSize = 14.5f;
    Kit::Field(ui, EditorId(), {body.x, body.y + 10, body.w, kEditorHeight}, editText, options);

    if (!note.empty()) {
        Graphics& graphics = *ui.graphics;
        UI::Material::DrawIcon(graphics, Icon::InfoOutline, {body.x + 9 - 7.5f, body.y + 316 - 7.5f, 15, 15},
                               palette.warning);
        TextStyle noteStyle = Kit::KitStyle(12, 400);
        noteStyle.valign = VerticalAlign::Center;
        noteStyle.ellipsis = true;
        graphics.DrawText(note, {body.x + 24, body.y + 304, body.w - 24, 24}, palette.onBackgroundMuted, noteStyle);
    }
}

void TextEditDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    float x = footer.x + footer.w;
    if (FooterButton(ui, x, footer, L"Guardar", Icon::Save, palette.primary, true, CanSave())) {
        OnSubmit();
        return;
    }
    if (FooterButton(ui, x, footer, L"Cancelar", Icon::Close, palette.onBackground, false, true)) {
        Close();
        return;
    }
    TextStyle hintStyle = Kit::KitStyle(12, 400);
    hintStyle.valign = VerticalAlign::Center;
    hintStyle.ellipsis = true;
    ui.graphics->DrawText(L"Ctrl+Enter para guardar", {footer.x, footer.y, kHintWidth, footer.h},
                          palette.onBackgroundMuted, hintStyle);
}

void TextEditDialog::OnSubmit() {
    if (!CanSave()) {
        return;
    }
    // Taken before closing: the callback may open this dialog again with other fields.
    const std::function<void(const std::wstring&)> save = onSave;
    const std::wstring text = editText;
    Close();
    if (save) {
        save(text);
    }
}

}  // namespace Lorvex::Main
