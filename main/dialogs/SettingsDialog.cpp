#include "main/dialogs/SettingsDialog.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "App/Config/Config.h"
#include "domain/Settings.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Shell.h"
#include "graphics/Graphics.h"
#include "main/MainWindow.h"
#include "main/kit/Buttons.h"
#include "main/kit/Headings.h"
#include "main/kit/KitColor.h"
#include "main/updates/UpdateDialog.h"
#include "services/updates/Updates.h"
#include "ui/Material.h"
#include "ui/Theme.h"

namespace Lorvex::Main {
namespace {

using UI::Material::Icon;

// Salts of the controls without a label of their own.
constexpr uint64_t kThemeSalt = 0x5E71;
constexpr uint64_t kTemperatureSalt = 0x5E72;
constexpr uint64_t kMaxTokensSalt = 0x5E73;
constexpr uint64_t kStreamSalt = 0x5E74;
constexpr uint64_t kEnterSalt = 0x5E75;
constexpr uint64_t kTimestampsSalt = 0x5E76;

constexpr float kSectionHeight = 26;
constexpr float kSectionAdvance = 36;
constexpr float kSwitchRowHeight = 64;
constexpr float kSwitchRowAdvance = 90;
constexpr float kSliderRowHeight = 44;
constexpr float kSliderRowAdvance = 84;
constexpr float kTextIndent = 50;
constexpr float kSwitchWidth = 52;
constexpr float kValueWidth = 70;
constexpr float kRowButtonHeight = 38;

constexpr float kMinTemperature = 0;
constexpr float kMaxTemperature = 1.5f;
constexpr float kMinTokens = 200;
constexpr float kMaxTokens = 4000;

void Section(UI::Ui& ui, float x, float y, float width, const std::wstring& title, Icon icon) {
    Kit::SectionHeader(ui, {x, y, width, kSectionHeight}, title, icon);
}

}  // namespace

void SettingsDialog::Open() {
    title = L"Ajustes";
    subtitle = L"Personaliza Lorvex";
    headerIcon = Icon::Settings;
    accent = {0, 0, 0, 0};
    const Settings& settings = Settings::Instance();
    temperature = static_cast<float>(settings.temperature);
    maxTokens = static_cast<float>(settings.max_tokens);
    Dialog::Open();
}

float SettingsDialog::ContentHeight(UI::Ui& ui, float bodyWidth) {
    return kContentHeight;
}

std::wstring SettingsDialog::TemperatureText(float value) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%.*f", 2, static_cast<double>(value));
    return text;
}

std::wstring SettingsDialog::MaxTokensText(float value) {
    return std::to_wstring(static_cast<int32_t>(value));
}

float SettingsDialog::SnapTemperature(float value) {
    return static_cast<float>(std::round(value / 0.05) * 0.05);
}

float SettingsDialog::SnapMaxTokens(float value) {
    return std::round(value / 100) * 100;
}

Rect SettingsDialog::Row(UI::Ui& ui, const Rect& row, Icon icon, const std::wstring& rowTitle,
                         const std::wstring& description, float controlWidth) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Graphics& graphics = *ui.graphics;
    const float centre = row.y + row.h / 2;
    graphics.FillRoundRect({row.x, centre - 18, 36, 36}, 11, palette.surfaceContainer);
    UI::Material::DrawIcon(graphics, icon, {row.x + 8.5f, centre - 9.5f, 19, 19}, palette.primary);

    const float textWidth = row.w - kTextIndent - controlWidth - 12;
    if (textWidth > 0) {
        TextStyle titleStyle = Kit::KitStyle(14.5f, 500);
        titleStyle.valign = VerticalAlign::Center;
        graphics.DrawText(rowTitle, {row.x + kTextIndent, centre - 20, textWidth, 20}, palette.onBackground,
                          titleStyle);
        TextStyle descriptionStyle = Kit::KitStyle(12.5f, 400);
        descriptionStyle.valign = VerticalAlign::Center;
        descriptionStyle.ellipsis = true;
        graphics.DrawText(description, {row.x + kTextIndent, centre + 1, textWidth, 18}, palette.onBackgroundMuted,
                          descriptionStyle);
    }
    return {row.x + row.w - controlWidth, row.y, controlWidth, row.h};
}

void SettingsDialog::ValueText(UI::Ui& ui, const Rect& control, const std::wstring& text) {
    TextStyle style = Kit::KitStyle(14, 600);
    style.align = TextAlign::Trailing;
    style.valign = VerticalAlign::Center;
    ui.graphics->DrawText(text, control, Kit::KitPalette().primary, style);
}

void SettingsDialog::SettingSwitch(UI::Ui& ui, const Rect& row, uint64_t salt, Icon icon, const std::wstring& rowTitle,
                                   const std::wstring& description, bool& setting) {
    const Rect control = Row(ui, row, icon, rowTitle, description, kSwitchWidth);
    if (UI::Material::Switch(ui, ControlId(salt), control, setting, true)) {
        setting = !setting;
        owner->SaveSettings();
    }
}

void SettingsDialog::Body(UI::Ui& ui, const Rect& body) {
    float y = body.y;
    y = AppearanceRows(ui, body.x, y, body.w);
    y = ReplyRows(ui, body.x, y, body.w);
    y = ChatRows(ui, body.x, y, body.w);
    y = DataRow(ui, body.x, y, body.w);
    UpdateRow(ui, body.x, y, body.w);
}

float SettingsDialog::AppearanceRows(UI::Ui& ui, float x, float top, float width) {
    Section(ui, x, top, width, L"Apariencia", Icon::Palette);
    const bool dark = UI::Material::DarkTheme;
    const Rect row = {x, top + kSectionAdvance, width, kSwitchRowHeight};
    const Rect control = Row(ui, row, dark ? Icon::Moon : Icon::Sun, L"Tema oscuro",
                             L"Colores nocturnos, más suaves para la vista", kSwitchWidth);
    // The switch only shows the theme; the switch of themes itself flips it when it starts.
    const bool idle = owner && !owner->themeReveal.Busy();
    if (UI::Material::Switch(ui, ControlId(kThemeSalt), control, dark, idle) && owner) {
        const float cx = control.x + control.w / 2;
        const float cy = control.y + control.h / 2;
        owner->themeReveal.Request(cx * ui.scale + ui.offsetX, cy * ui.scale + ui.offsetY);
    }
    return row.y + kSwitchRowAdvance;
}

float SettingsDialog::ReplyRows(UI::Ui& ui, float x, float top, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Settings& settings = Settings::Instance();
    Section(ui, x, top, width, L"Inteligencia artificial", Icon::Robot);

    // While a slider is held only its copy moves; the file is written once, when it is let go.
    float y = top + kSectionAdvance;
    Rect control = Row(ui, {x, y, width, kSliderRowHeight}, Icon::Sparkles, L"Creatividad",
                       L"Más alta: respuestas más sorprendentes", kValueWidth);
    bool dragging = false;
    if (UI::Material::Slider(ui, ControlId(kTemperatureSalt), {x + kTextIndent, y + 48, width - kTextIndent, 28},
                             temperature, kMinTemperature, kMaxTemperature, palette.primary, &dragging)) {
        temperature = SnapTemperature(temperature);
    }
    ValueText(ui, control, TemperatureText(temperature));
    if (!dragging && std::abs(temperature - settings.temperature) > 0.001) {
        // The double nearest the step the slider shows, not the float copy widened.
        settings.temperature = std::round(temperature * 20.0) / 20.0;
        owner->SaveSettings();
    }

    y += kSliderRowAdvance;
    control = Row(ui, {x, y, width, kSliderRowHeight}, Icon::TextBoxEdit, L"Longitud máxima de respuesta",
                  L"En tokens (unas 0,75 palabras cada uno)", kValueWidth);
    dragging = false;
    if (UI::Material::Slider(ui, ControlId(kMaxTokensSalt), {x + kTextIndent, y + 48, width - kTextIndent, 28},
                             maxTokens, kMinTokens, kMaxTokens, palette.primary, &dragging)) {
        maxTokens = SnapMaxTokens(maxTokens);
    }
    ValueText(ui, control, MaxTokensText(maxTokens));
    if (!dragging && static_cast<int32_t>(maxTokens) != settings.max_tokens) {
        settings.max_tokens = static_cast<int32_t>(maxTokens);
        owner->SaveSettings();
    }

    y += kSliderRowAdvance;
    SettingSwitch(ui, {x, y, width, kSwitchRowHeight}, kStreamSalt, Icon::MessageForward, L"Respuestas en directo",
                  L"El texto aparece palabra a palabra mientras se escribe", settings.stream_replies);
    return y + kSwitchRowAdvance;
}

float SettingsDialog::ChatRows(UI::Ui& ui, float x, float top, float width) {
    Settings& settings = Settings::Instance();
    Section(ui, x, top, width, L"Chat", Icon::Forum);
    float y = top + kSectionAdvance;
    // The row under it follows closer: the two switches belong together.
    SettingSwitch(
        ui, {x, y, width, kSwitchRowHeight}, kEnterSalt, Icon::Send, L"Enter para enviar",
        settings.enter_to_send ? L"Shift+Enter añade una línea nueva" : L"Ctrl+Enter envía; Enter añade una línea",
        settings.enter_to_send);
    y += kSwitchRowHeight;
    SettingSwitch(ui, {x, y, width, kSwitchRowHeight}, kTimestampsSalt, Icon::History, L"Mostrar la hora",
                  L"La hora de cada mensaje junto al nombre", settings.show_timestamps);
    return y + kSwitchRowAdvance;
}

float SettingsDialog::DataRow(UI::Ui& ui, float x, float top, float width) {
    Section(ui, x, top, width, L"Datos", Icon::FolderOpen);
    const std::wstring label = L"Abrir carpeta";
    const std::wstring& folder = Paths::DataDir();
    const Rect control = Row(ui, {x, top + kSectionAdvance, width, kSwitchRowHeight}, Icon::FolderOpen,
                             L"Carpeta de datos", folder, Kit::ButtonWidth(ui, label, Kit::kButtonFontSize));
    const Rect button = {control.x, control.y + (control.h - kRowButtonHeight) / 2, control.w, kRowButtonHeight};
    if (Kit::Button(ui, LabelId(label), button, Icon::FolderOpen, label, Kit::KitPalette().secondary, false, true)) {
        Files::EnsureDir(folder);
        Shell::Open(folder);
    }
    return control.y + kSwitchRowAdvance;
}

void SettingsDialog::UpdateRow(UI::Ui& ui, float x, float top, float width) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    Section(ui, x, top, width, L"Actualizaciones", Icon::Update);
    const bool newer = Services::Updates::HasNewerVersion();
    const std::wstring description =
        newer ? L"Hay una versión nueva: la " + Services::Updates::NewestRelease()->version
              : L"Tienes la versión " + std::wstring(Config::kVersion) + L". Novedades y búsqueda de versiones";
    const std::wstring label = newer ? L"Actualizar" : L"Ver novedades";
    const Rect control =
        Row(ui, {x, top + kSectionAdvance, width, kSwitchRowHeight}, newer ? Icon::Download : Icon::Update,
            L"Versión de Lorvex", description, Kit::ButtonWidth(ui, label, Kit::kButtonFontSize));
    const Rect button = {control.x, control.y + (control.h - kRowButtonHeight) / 2, control.w, kRowButtonHeight};
    if (Kit::Button(ui, LabelId(label), button, newer ? Icon::Download : Icon::Update, label,
                    newer ? palette.primary : palette.secondary, newer, true)) {
        Close();
        if (owner) {
            owner->updateDialog->Open();
        }
    }
}

void SettingsDialog::Footer(UI::Ui& ui, const Rect& footer) {
    const UI::Material::Theme& palette = Kit::KitPalette();
    float x = footer.x + footer.w;
    if (FooterButton(ui, x, footer, L"Listo", Icon::Check, palette.primary, true, true)) {
        Close();
    }
    TextStyle style = Kit::KitStyle(12.5f, 400);
    style.valign = VerticalAlign::Center;
    ui.graphics->DrawText(L"Lorvex " + std::wstring(Config::kVersion), {footer.x, footer.y, 240, footer.h},
                          palette.onBackgroundMuted, style);
}

}  // namespace Lorvex::Main
