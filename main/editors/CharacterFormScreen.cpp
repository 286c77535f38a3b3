#include "main/editors/CharacterFormScreen.h"

#include <algorithm>
#include <cmath>

#include "foundation/Files.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "main/overlays/Easing.h"
#include "services/state/AppState.h"
#include "ui/ScrollArea.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

constexpr float kMargin = 28;
constexpr float kHeaderHeight = 70;
constexpr float kFooterHeight = 76;
constexpr float kCardGap = 20;
constexpr float kColumnGap = 20;
constexpr float kStepIndicatorWidth = 210;
constexpr double kEntranceSeconds = 0.4;

Icon IconAt(int32_t value) {
    return static_cast<Icon>(value);
}

bool Holds(const std::vector<std::shared_ptr<Character>>& list, const std::shared_ptr<Character>& record) {
    return record && std::find(list.begin(), list.end(), record) != list.end();
}

// The pictures a save copied into "images" for the record: its paths that are not the form's own picks.
std::vector<std::wstring> CopiesMadeFor(const Character& record, const CharacterDraft& from) {
    Character picks;
    if (!from.photoPath.empty()) {
        picks.photoPath = from.photoPath;
    }
    picks.known_characters = from.knownCharacters;
    const std::vector<std::wstring> own = ImagePaths(picks);
    std::vector<std::wstring> copies;
    for (const std::wstring& path : ImagePaths(record)) {
        if (std::find(own.begin(), own.end(), path) == own.end()) {
            copies.push_back(path);
        }
    }
    return copies;
}

// Deletes those copies again once no record names them (the cloud never saw them).
void ReleaseCopies(const std::vector<std::wstring>& copies) {
    for (const std::wstring& path : copies) {
        Services::AppState::Instance().ReleaseImage(path, false);
    }
}

}  // namespace

// ---- Steps ----

int32_t CharacterFormScreen::ScreenToReturnTo() const {
    return owner->currentScreen == kCharacterFormScreen ? kHomeScreen : owner->currentScreen;
}

void CharacterFormScreen::StartNew() {
    step = NewCharacter;
    draft = CharacterDraft{};
    duoFirst = CharacterDraft{};
    edited.reset();
    showErrors = false;
    returnScreen = ScreenToReturnTo();
    stepShownAt = -10.0;
}

void CharacterFormScreen::StartEdit(const std::shared_ptr<Character>& character) {
    if (!character) {
        return;
    }
    step = EditCharacter;
    edited = character;
    showErrors = false;
    returnScreen = ScreenToReturnTo();
    draft = CharacterDraft::From(*character);
    stepShownAt = -10.0;
}

void CharacterFormScreen::ChangeStep(int32_t next, double now) {
    step = next;
    showErrors = false;
    resetScroll = true;
    stepShownAt = now;
    // The fields keep their ids across steps: a focused one would go on typing into the other draft.
    owner->ui.focus = 0;
}

void CharacterFormScreen::OnShow() {
    shownAt = owner->ui.time;
    resetScroll = true;
}

std::wstring CharacterFormScreen::Title() {
    if (step == EditCharacter) {
        return L"Editar personaje";
    }
    if (step == DuoSecond) {
        return L"Nuevo dúo · paso 2 de 2";
    }
    return L"Nuevo personaje";
}

bool CharacterFormScreen::Validate() {
    showErrors = true;
    if (HasRequiredFields(draft)) {
        return true;
    }
    owner->toasts.Push(L"Completa los campos obligatorios (marcados con *)", Kit::ToastKind::Error);
    return false;
}

void CharacterFormScreen::StartDuo() {
    if (step != NewCharacter || !Validate()) {
        return;
    }
    duoFirst = draft;
    draft = CharacterDraft{};
    ChangeStep(DuoSecond, owner->ui.time);
    owner->toasts.Push(L"Ahora crea al segundo personaje del dúo", Kit::ToastKind::Info);
}

void CharacterFormScreen::Back() {
    if (step != DuoSecond) {
        owner->Navigate(returnScreen);
        return;
    }
    draft = duoFirst;
    duoFirst = CharacterDraft{};
    ChangeStep(NewCharacter, owner->ui.time);
}

// ---- Saves ----

std::shared_ptr<Character> CharacterFormScreen::Build(const CharacterDraft& from,
                                                      const std::shared_ptr<Character>& base) {
    const BuiltCharacter built = BuildCharacter(from, base);
    if (built.photoFailed) {
        owner->toasts.Push(L"No se pudo copiar la foto", Kit::ToastKind::Error);
    }
    return built.character;
}

void CharacterFormScreen::Saved(bool written, const std::wstring& success, int32_t next) {
    if (!written) {
        owner->toasts.Push(L"No se pudieron guardar los cambios.", Kit::ToastKind::Error);
        return;
    }
    owner->toasts.Push(success, Kit::ToastKind::Success);
    owner->Navigate(next);
}

void CharacterFormScreen::Save() {
    if (step == EditCharacter) {
        SaveEdit();
    } else if (step == DuoSecond) {
        SaveDuo();
    } else {
        SaveNew();
    }
}

void CharacterFormScreen::SaveEdit() {
    Services::AppState& state = Services::AppState::Instance();
    // A pull may have removed the character while the form was open; saving it would bring its
    // folder back and upload it again.
    if (!Holds(state.characters, edited)) {
        owner->toasts.Push(L"Este personaje ya no existe.", Kit::ToastKind::Error);
        return;
    }
    Character before = *edited;
    Build(draft, edited);
    const bool written = state.SaveCharacter(edited);
    if (!written) {
        // The home list and the chat go on showing what the file holds; the form keeps what was typed.
        const std::vector<std::wstring> copies = CopiesMadeFor(*edited, draft);
        before.folder = edited->folder;
        *edited = before;
        ReleaseCopies(copies);
    }
    Saved(written, L"Cambios guardados", returnScreen);
}

void CharacterFormScreen::SaveNew() {
    Services::AppState& state = Services::AppState::Instance();
    const std::shared_ptr<Character> character = Build(draft, nullptr);
    state.characters.insert(state.characters.begin(), character);
    const bool written = state.SaveCharacter(character);
    if (!written) {
        TakeBack(character, draft);
    }
    Saved(written, ReadyToChatText(*character), kHomeScreen);
}

void CharacterFormScreen::SaveDuo() {
    Services::AppState& state = Services::AppState::Instance();
    const std::shared_ptr<Character> first = Build(duoFirst, nullptr);
    const std::shared_ptr<Character> second = Build(draft, nullptr);
    const bool written = state.CreateDuo(first, second);
    if (!written) {
        TakeBack(first, duoFirst);
        TakeBack(second, draft);
    }
    Saved(written, L"Dúo creado: " + first->name + L" y " + second->name, kHomeScreen);
}

void CharacterFormScreen::TakeBack(const std::shared_ptr<Character>& record, const CharacterDraft& from) {
    // Kept, an unwritten record would stay listed after the user was told it was not saved, and the
    // next try, or a change of step, would add a second one. The draft still holds everything.
    std::erase(Services::AppState::Instance().characters, record);
    if (!record->folder.empty() && Files::IsDir(record->folder)) {
        Files::RemoveTree(record->folder);
    }
    ReleaseCopies(CopiesMadeFor(*record, from));
}

// ---- Frame ----

void CharacterFormScreen::Draw(UI::Ui& ui, const Rect& content) {
    if (shownAt < 0) {
        shownAt = ui.time;
    }
    if (resetScroll) {
        UI::ScrollState& scroll = ui.State<UI::ScrollState>(ui.MakeIdFromText("cf-scroll"));
        scroll.target = 0;
        scroll.current = 0;
        resetScroll = false;
    }
    DrawHeader(ui, content);
    if (step == DuoSecond) {
        DrawStepIndicator(ui, content);
    }
    DrawCards(ui, content);
    DrawFooter(ui, {content.x, content.y + content.h - kFooterHeight, content.w, kFooterHeight});
}

void CharacterFormScreen::DrawHeader(UI::Ui& ui, const Rect& content) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    if (Kit::IconButton(ui, ui.MakeIdFromText("cf-back"), {content.x + kMargin, content.y + 24, 40, 40}, IconAt(10),
                        palette.onBackground, L"Volver", true, 22)) {
        Back();
    }
    std::wstring heading = L"Crear personaje";
    if (step == EditCharacter) {
        heading = L"Editar a " + (edited ? edited->name : std::wstring());
    } else if (step == DuoSecond) {
        heading = L"Segundo personaje del dúo";
    }
    TextStyle style = Kit::KitStyle(22, 600);
    style.valign = VerticalAlign::Center;
    style.ellipsis = true;
    ui.graphics->DrawText(heading, {content.x + 80, content.y + 18, 0.6f * (content.w - 2 * kMargin), 52},
                          palette.onBackground, style);
}

void CharacterFormScreen::DrawStepIndicator(UI::Ui& ui, const Rect& content) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float x = content.x + content.w - kMargin - kStepIndicatorWidth;
    const float cy = content.y + 44;
    const float e = Entrance(ui.time, stepShownAt, 0.5);
    if (e < 1) {
        ui.redraw = true;
    }
    graphics.FillRoundRect({x + 14, cy - 2, 60, 4}, 2, palette.outlineSubtle);
    graphics.FillRoundRect({x + 14, cy - 2, 60 * e, 4}, 2, palette.accent);
    graphics.FillEllipse(x + 10, cy, 11, 11, palette.accent);
    UI::Material::DrawIcon(graphics, IconAt(20), {x + 10 - 6.5f, cy - 6.5f, 13, 13}, {1, 1, 1, 1});
    graphics.FillEllipse(x + 80, cy, 11, 11, Kit::Mix(palette.surfaceContainer, palette.accent, e));
    TextStyle number = Kit::KitStyle(12, 700);
    number.align = TextAlign::Center;
    number.valign = VerticalAlign::Center;
    graphics.DrawText(L"2", {x + 69, content.y + 18, 22, 52}, {1, 1, 1, 1}, number);
    if (!duoFirst.name.empty()) {
        TextStyle label = Kit::KitStyle(13, 400);
        label.valign = VerticalAlign::Center;
        label.ellipsis = true;
        graphics.DrawText(L"Con " + duoFirst.name, {x + 100, content.y + 18, 120, 52}, palette.onBackgroundMuted,
                          label);
    }
}

void CharacterFormScreen::DrawCards(UI::Ui& ui, const Rect& content) {
    const Rect viewport = {content.x, content.y + kHeaderHeight, content.w, content.h - kHeaderHeight - kFooterHeight};
    UI::ScrollArea area(ui, ui.MakeIdFromText("cf-scroll"), viewport, 64);

    const double since = std::max(shownAt, stepShownAt);
    const float e = Entrance(ui.time, since, kEntranceSeconds);
    const bool entering = e < 1;
    const bool slide = entering && stepShownAt > shownAt;
    if (entering) {
        ui.redraw = true;
        ui.graphics->PushLayer(e, nullptr);
        if (slide) {
            ui.PushTranslate((1 - e) * 40, 0);
        }
    }

    const float inner = content.w - 2 * kMargin;
    const float x0 = content.x + kMargin;
    const float y0 = content.y + 78;
    float bottom = y0;
    if (inner >= kTwoColumnWidth) {
        const float column = (inner - kColumnGap) / 2;
        const float x1 = x0 + column + kColumnGap;
        float left = y0;
        left += DrawStaggered(ui, 0, &CharacterFormScreen::DrawIdentity, x0, left, column) + kCardGap;
        left += DrawStaggered(ui, 1, &CharacterFormScreen::DrawSpeech, x0, left, column) + kCardGap;
        float right = y0;
        right += DrawStaggered(ui, 2, &CharacterFormScreen::DrawPersonality, x1, right, column) + kCardGap;
        right += DrawStaggered(ui, 3, &CharacterFormScreen::DrawScene, x1, right, column) + kCardGap;
        right += DrawStaggered(ui, 4, &CharacterFormScreen::DrawKnown, x1, right, column) + kCardGap;
        bottom = std::max(left, right);
    } else {
        const Painter painters[] = {&CharacterFormScreen::DrawIdentity, &CharacterFormScreen::DrawPersonality,
                                    &CharacterFormScreen::DrawSpeech, &CharacterFormScreen::DrawScene,
                                    &CharacterFormScreen::DrawKnown};
        for (int i = 0; i < 5; ++i) {
            bottom += DrawStaggered(ui, i, painters[i], x0, bottom, inner) + kCardGap;
        }
    }

    if (entering) {
        if (slide) {
            ui.PopTransform();
        }
        ui.graphics->PopLayer();
    }
    // The columns' bottoms include the gap after their last card.
    area.content = bottom - kCardGap - viewport.y + 8;
}

float CharacterFormScreen::DrawStaggered(UI::Ui& ui, int index, Painter painter, float x, float y, float width) {
    const double start = shownAt + std::min(index, 16) * 0.06;
    const float e = Entrance(ui.time, start, kEntranceSeconds);
    const bool entering = e < 1;
    if (entering) {
        ui.redraw = true;
        ui.graphics->PushLayer(e, nullptr);
        ui.PushTranslate(0, (1 - e) * 16);
    }
    const float height = (this->*painter)(ui, x, y, width);
    if (entering) {
        ui.PopTransform();
        ui.graphics->PopLayer();
    }
    return height;
}

void CharacterFormScreen::DrawFooter(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float m = footer.y + footer.h / 2;
    graphics.FillRect(footer, Kit::Faded(palette.chrome, 0.92f));
    graphics.FillRect({footer.x, footer.y, footer.w, 1}, palette.outlineSubtle);
    ui.BlockHover(footer, true);

    std::wstring label = L"Crear personaje";
    Icon icon = IconAt(20);
    if (step == EditCharacter) {
        label = L"Guardar cambios";
        icon = IconAt(37);
    } else if (step == DuoSecond) {
        label = L"Crear dúo";
        icon = IconAt(5);
    }
    const float saveWidth = Kit::ButtonWidth(ui, label, Kit::kButtonFontSize);
    float right = footer.x + footer.w - kMargin - saveWidth;
    const bool save = Kit::Button(ui, ui.MakeIdFromText("cf-save"), {right, m - 22, saveWidth, 44}, icon, label,
                                  palette.accent, true, true);

    if (step == NewCharacter) {
        const std::wstring duoLabel = L"Crear dúo";
        const float duoWidth = Kit::ButtonWidth(ui, duoLabel, Kit::kButtonFontSize);
        right -= 12 + duoWidth;
        if (Kit::Button(ui, ui.MakeIdFromText("cf-dual"), {right, m - 20, duoWidth, 40}, IconAt(5), duoLabel,
                        palette.secondary, false, true)) {
            StartDuo();
        }
    }

    const bool duo = step == DuoSecond;
    const std::wstring cancelLabel = duo ? L"Atrás" : L"Cancelar";
    const float cancelWidth = Kit::ButtonWidth(ui, cancelLabel, Kit::kButtonFontSize);
    right -= 12 + cancelWidth;
    const bool cancel = Kit::Button(ui, ui.MakeIdFromText("cf-cancel"), {right, m - 20, cancelWidth, 40},
                                    IconAt(duo ? 10 : 28), cancelLabel, palette.onBackground, false, true);

    if (step == NewCharacter) {
        const float hintWidth = right - 12 - (footer.x + kMargin);
        if (hintWidth > 0) {
            TextStyle hint = Kit::KitStyle(12.5f, 400);
            hint.valign = VerticalAlign::Center;
            hint.ellipsis = true;
            graphics.DrawText(L"Un dúo son dos personajes que comparten el mismo chat.",
                              {footer.x + kMargin, footer.y, hintWidth, footer.h}, palette.onBackgroundMuted, hint);
        }
    }

    if (cancel) {
        Back();
    } else if (save && Validate()) {
        Save();
    }
}

}  // namespace Lorvex::Main
