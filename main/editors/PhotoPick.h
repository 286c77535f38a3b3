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

// What a save does with the record's photo, the same for characters and personas.
enum class PhotoStep {
    Clear,   // no photo in the form
    Keep,    // the record's own photo, exactly the same path
    Import,  // another file: copied into the pictures folder first
};
PhotoStep PhotoStepFor(const std::wstring& formPhoto, const std::optional<std::wstring>& recordPhoto);

}  // namespace Lorvex::Main
