#pragma once
// The persona form: a new persona, an edit of one, or the welcome of the first start. For now a
// stand-in that shows its title; it keeps the edited persona and the welcome flag. Callers reset
// or load it, then navigate to it. UI thread only; nothing fails.

#include <memory>

#include "domain/Records.h"
#include "main/Screen.h"

namespace Lorvex::Main {

class PersonaFormScreen : public Screen {
public:
    explicit PersonaFormScreen(MainWindow* owner) : Screen(owner) {}

    void Draw(UI::Ui& ui, const Rect& content) override;
    // The next Draw stamps the entrance.
    void OnShow() override;
    // "Editar usuario" for an edited persona, "Bienvenida" in welcome mode, else "Nuevo usuario".
    std::wstring Title() override;

    // A new persona; welcome is the first start's form, which cannot be cancelled.
    void Reset(bool welcomeMode);
    // An edit of the persona.
    void Load(const std::shared_ptr<Persona>& persona);

    std::shared_ptr<Persona> edited;  // null for a new persona
    bool welcome = false;
};

}  // namespace Lorvex::Main
