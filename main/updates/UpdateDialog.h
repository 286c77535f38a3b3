#pragma once
// The update dialog, the one window on the update service: a status card that says where the
// update state stands (with the progress of a download or installation), the switch of the
// automatic checks, the list of versions with their notes, and a footer that checks again,
// installs, cancels or closes. Opened by the main window when a background check found a new
// version, and by the settings dialog. It reads the update state anew in every frame, so a change
// of the state only needs a redraw. While a download or installation runs it cannot be dismissed.
// UI thread only; nothing fails here (a failed check or download shows the service's error text).

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Graphics.h"
#include "main/overlays/Dialog.h"
#include "main/updates/ChangeLines.h"

namespace Lorvex::Main {

class UpdateDialog : public Dialog {
public:
    static constexpr float kPanelWidth = 640;
    // Salts of the controls without a label: the progress bar's glide and the automatic-check switch.
    static constexpr uint64_t kProgressSalt = 0x0BD1;
    static constexpr uint64_t kAutoCheckSalt = 0x0BD2;

    explicit UpdateDialog(MainWindow* owner) : Dialog(owner, kPanelWidth) {}

    // Sets the header, forces the version list to be rebuilt and asks the channel again when the
    // last check failed, never ran or is more than ten minutes old.
    void Open();
    // The header texts, whether the dialog may be dismissed, and the version list when the update
    // state changed since it was built.
    void Refresh();

    float ContentHeight(UI::Ui& ui, float bodyWidth) override;
    void Body(UI::Ui& ui, const Rect& body) override;
    void Footer(UI::Ui& ui, const Rect& footer) override;

    // Lays the body out from (x, y) in width and returns its height; draws it only with draw set,
    // so that the measured height and the drawing never disagree.
    float Layout(UI::Ui& ui, float x, float y, float width, bool draw);
    // Each lays out its part from y and returns the y below it.
    float DrawStatusCard(UI::Ui& ui, float x, float y, float width, bool draw);
    float DrawAutoCheckRow(UI::Ui& ui, float x, float y, float width, bool draw);
    float DrawVersion(UI::Ui& ui, const ChangeLogEntry& entry, float x, float y, float width, bool draw);

    std::vector<ChangeLogEntry> versions;
    int32_t lastSeenChange = 0;  // the update state's change counter when the list was built
    float shownProgress = 0;     // the progress bar's fraction as last drawn

private:
    void DrawProgress(UI::Ui& ui, float x, float y, float width);
};

// A pill with its text centred both ways in {x, y, text width + 16, height}; returns its width.
float DrawBadge(Graphics& graphics, float x, float y, const std::wstring& text, const Color& fill,
                const Color& textColor, float height);

}  // namespace Lorvex::Main
