#pragma once
// The settings dialog ("Ajustes"): the theme, the creativity and length of the replies, live
// replies, Enter to send and the time beside messages, each written to the settings file as soon
// as it changes (a slider once per drag); it also opens the data folder and leads to the update
// dialog. Nothing is applied or cancelled on closing. UI thread only; a settings file that cannot
// be written keeps the change in memory, and a folder the system cannot open stays closed.

#include <string>

#include "main/overlays/Dialog.h"

namespace Lorvex::Main {

class SettingsDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 600;
    // The body's height whatever the width: the window scrolls it when too low.
    static constexpr float kContentHeight = 844;

    explicit SettingsDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // Opened by the title bar's settings button: the header, and fresh working copies of the two
    // slider settings.
    void Open();
    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    // Draws a row's icon tile, title and description and returns the rect left for its control:
    // controlWidth wide at the row's right, as high as the row.
    Rect Row(UI::Ui& ui, const Rect& row, UI::Material::Icon icon, const std::wstring& rowTitle,
             const std::wstring& description, float controlWidth);

    // The text beside each slider: two decimals, and a whole number of tokens.
    static std::wstring TemperatureText(float temperature);
    static std::wstring MaxTokensText(float maxTokens);
    // Where a slider's value comes to rest: a multiple of 0.05, a multiple of 100.
    static float SnapTemperature(float temperature);
    static float SnapMaxTokens(float maxTokens);

    float temperature = 0.7f;  // the sliders' working values
    float maxTokens = 1000;

private:
    // Each draws its section from top, in the body's width, and returns where the next begins.
    float AppearanceRows(UI::Ui& ui, float x, float top, float width);
    float ReplyRows(UI::Ui& ui, float x, float top, float width);
    float ChatRows(UI::Ui& ui, float x, float top, float width);
    float DataRow(UI::Ui& ui, float x, float top, float width);
    void UpdateRow(UI::Ui& ui, float x, float top, float width);
    // A row whose switch shows setting; a click inverts it and writes the file.
    void SettingSwitch(UI::Ui& ui, const Rect& row, uint64_t salt, UI::Material::Icon icon,
                       const std::wstring& rowTitle, const std::wstring& description, bool& setting);
    // The value text of a slider row, in its control rect.
    void ValueText(UI::Ui& ui, const Rect& control, const std::wstring& text);
};

}  // namespace Lorvex::Main
