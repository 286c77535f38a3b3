// The greeting panel of the home screen.

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/Time.h"
#include "main/MainWindow.h"
#include "main/editors/CharacterFormScreen.h"
#include "main/home/HomeList.h"
#include "main/home/HomeScreen.h"
#include "main/home/HomeTexts.h"
#include "main/home/HomeTones.h"
#include "main/kit/Avatar.h"
#include "main/kit/Backdrop.h"
#include "main/kit/Buttons.h"
#include "main/kit/KitColor.h"
#include "services/state/AppState.h"
#include "ui/Motion.h"

namespace Lorvex::Main {
namespace {

constexpr float kInset = 30;
constexpr float kPersonaIndent = 76;

struct Counter {
    size_t value;
    const wchar_t* label;
    UI::Material::Icon icon;
    Home::TagTone tone;
};

// One counter pill from x; returns its width.
float DrawCounter(UI::Ui& ui, float x, float y, const Counter& counter, int64_t shown) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const Color color = Home::ToneColor(counter.tone);
    const std::wstring number = std::to_wstring(shown);
    TextStyle numberStyle = Kit::KitStyle(18, 700);
    numberStyle.valign = VerticalAlign::Center;
    TextStyle labelStyle = Kit::KitStyle(13, 400);
    labelStyle.valign = VerticalAlign::Center;
    const float numberWidth = graphics.MeasureText(number, numberStyle, 100000).width;
    const float labelWidth = graphics.MeasureText(counter.label, labelStyle, 100000).width;
    const float width = numberWidth + 36 + 6 + labelWidth + 18;

    graphics.FillRoundRect({x, y, width, 38}, 19, Kit::Faded(palette.surfaceRaised, palette.dark ? 0.45f : 0.6f));
    graphics.FillEllipse(x + 19, y + 19, 13, 13, Kit::Faded(color, 0.2f));
    UI::Material::DrawIcon(graphics, counter.icon, {x + 19 - 7.5f, y + 19 - 7.5f, 15, 15}, color);
    graphics.DrawText(number, {x + 38, y, numberWidth + 2, 38}, palette.onBackground, numberStyle);
    graphics.DrawText(counter.label, {x + 38 + numberWidth + 6, y + 1, labelWidth + 4, 38}, palette.onBackgroundMuted,
                      labelStyle);
    return width;
}

}  // namespace

void HomeScreen::DrawHero(UI::Ui& ui, const Rect& panel) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    Services::AppState& state = Services::AppState::Instance();

    UI::Material::Shadow(graphics, panel, 22, 3);
    graphics.FillRoundRect(panel, 22, palette.surface);
    graphics.FillLinearGradient(
        panel, 22, {{0, Kit::Faded(palette.accent, 0.2f)}, {1, Kit::Faded(palette.secondary, 0.16f)}}, {0, 0}, {1, 1});
    Kit::Backdrop(ui, panel, 22, 1.2f);
    graphics.StrokeRoundRect({panel.x + 0.5f, panel.y + 0.5f, panel.w - 1, panel.h - 1}, 21.5f, palette.surfaceOverlay,
                             1);

    const std::shared_ptr<Persona> persona =
        state.currentPersona ? state.currentPersona : (state.personas.empty() ? nullptr : state.personas.front());
    float textLeft = panel.x + kInset;
    if (persona) {
        Kit::Avatar(ui, {panel.x + kInset, panel.y + kInset, 58, 58}, persona->photoPath, persona->name, 2.5f, {});
        textLeft += kPersonaIndent;
    }

    const float textWidth = 0.55f * panel.w;
    TextStyle titleStyle = Kit::KitStyle(27, 600);
    titleStyle.valign = VerticalAlign::Center;
    titleStyle.ellipsis = true;
    graphics.DrawText(Home::HeroTitle(Time::CurrentLocalTime().time.wHour, persona.get()),
                      {textLeft, panel.y + 28, textWidth, 38}, palette.onBackground, titleStyle);
    TextStyle lineStyle = Kit::KitStyle(14.5f, 400);
    lineStyle.valign = VerticalAlign::Center;
    graphics.DrawText(L"¿Con quién quieres continuar la historia hoy?", {textLeft, panel.y + 64, textWidth, 24},
                      Kit::Faded(palette.onBackground, 0.7f), lineStyle);

    const Home::RecordCounts& counts = shownCharacters_.Counts(state.characters, state.revision);
    const Counter counters[] = {
        {counts.characters, L"personajes", UI::Material::Icon::TheaterMasks, Home::TagTone::Accent},
        {counts.chats, L"chats", UI::Material::Icon::Forum, Home::TagTone::Secondary},
        {counts.messages, L"mensajes", UI::Material::Icon::MessageText, Home::TagTone::Tertiary},
    };
    float x = panel.x + kInset;
    const float y = panel.y + panel.h - 58;
    for (size_t i = 0; i < std::size(counters); ++i) {
        // Each counter starts counting a tenth of a second after the one before.
        const double since = ui.time - shownAt - 0.1 * static_cast<double>(i + 1);
        if (since < 0.9) {
            ui.redraw = true;
        }
        x += DrawCounter(ui, x, y, counters[i], Home::CountUp(counters[i].value, since)) + 10;
    }

    const float right = panel.x + panel.w - kInset;
    const std::wstring newLabel = L"Nuevo personaje";
    const float newWidth = Kit::ButtonWidth(ui, newLabel, Kit::kButtonFontSize);
    if (Kit::Button(ui, ui.MakeIdFromText("hero-new"), {right - newWidth, panel.y + 36, newWidth, 44},
                    UI::Material::Icon::PersonAdd, newLabel, palette.accent, true, true)) {
        owner->characterFormScreen->StartNew();
        owner->Navigate(kCharacterFormScreen);
    }
    const std::wstring usersLabel = L"Usuarios";
    const float usersWidth = Kit::ButtonWidth(ui, usersLabel, Kit::kButtonFontSize);
    if (Kit::Button(ui, ui.MakeIdFromText("hero-users"), {right - usersWidth, panel.y + 92, usersWidth, 40},
                    UI::Material::Icon::People, usersLabel, palette.secondary, false, true)) {
        owner->Navigate(kPersonasScreen);
    }
}

}  // namespace Lorvex::Main
