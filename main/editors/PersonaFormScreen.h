#pragma once
// The persona form: a new persona, an edit of one, or the welcome of the first start (a greeting,
// no way to cancel, home with an invitation once saved). Callers reset or load it, then navigate
// to it. The photo is picked through the shared picker and copied into the pictures folder only
// when the form is saved. UI thread only. Failures show as toasts and leave the form open with
// what was typed: missing required fields, a persona that was removed while the form was open
// (then nothing is written), files that could not be written, a photo that could not be copied
// (the persona is saved with its previous photo).

#include <memory>
#include <string>

#include "domain/Records.h"
#include "main/Screen.h"
#include "main/editors/PersonaDraft.h"

namespace Lorvex::Main {

class PersonaFormScreen : public Screen {
public:
    // Where the form's controls were drawn in the last frame, in the scrolled content's
    // coordinates (the scroll area "pf-scroll" shifts them up by its offset). Empty rects for
    // controls not shown.
    struct Spots {
        Rect photo, pick, remove;
        Rect name, age, traits, personality;
        float genderTop = 0, orientationTop = 0;  // the chip rows
        Rect save, cancel;
    };

    explicit PersonaFormScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    // The next Draw stamps the entrance and scrolls back to the top.
    void OnShow() override;
    // "Editar usuario" for an edited persona, "Bienvenida" in welcome mode, else "Nuevo usuario".
    std::wstring Title() override;

    // A new persona; welcome is the first start's form, which cannot be cancelled.
    void Reset(bool welcomeMode);
    // An edit of the persona.
    void Load(const std::shared_ptr<Persona>& persona);
    // Checks the form and stores the persona; on success leaves for home (welcome) or the list.
    void Save();
    // Leaves without saving: home when there is no persona at all, else the list.
    void Cancel();

    std::shared_ptr<Persona> edited;  // null for a new persona
    bool welcome = false;
    bool showErrors = false;  // the required fields left empty are marked
    PersonaDraft draft;
    Spots spots;

private:
    void DrawHeader(UI::Ui& ui, float cx, float top, float cw, float height);
    void DrawPhotoRow(UI::Ui& ui, float ix, float top, float iw);
    // The fields below the photo, from top; returns the bottom of the last one.
    float DrawFields(UI::Ui& ui, float ix, float top, float iw, float f1, float f4);
    void DrawButtons(UI::Ui& ui, float right, float top);
    void PickPhotoFile();

    // A new persona a save put in the list without writing its file: saving again retries that
    // record instead of adding a second one.
    std::shared_ptr<Persona> unwritten_;
};

}  // namespace Lorvex::Main
