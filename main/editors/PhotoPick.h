#pragma once
// The photo picker every form shares (character, persona, known person): the system's open-file
// dialog for pictures over the main window, and the check that the chosen file is a picture at
// all, so a form never keeps (and a save never copies) a file that is none. UI thread only; a
// refused file is announced with an error toast, a cancelled dialog says nothing.

#include <optional>
#include <string>

namespace Lorvex::Main {

class MainWindow;

// The chosen picture's full path; none when the user cancelled or the file is no picture (then
// "El archivo elegido no es una imagen válida." is shown).
std::optional<std::wstring> PickPhoto(MainWindow& window);

}  // namespace Lorvex::Main
