#include "main/editors/PhotoPick.h"

#include "foundation/FileDialog.h"
#include "graphics/Images.h"
#include "main/MainWindow.h"

namespace Lorvex::Main {

std::optional<std::wstring> PickPhoto(MainWindow& window) {
    const std::wstring path = Files::PickOpenFile(
        window.hwnd, L"Selecciona una imagen",
        {{L"Imágenes", L"*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.webp"}, {L"Todos los archivos", L"*.*"}}, L"");
    if (path.empty()) {
        return std::nullopt;
    }
    // A failed load is remembered by the cache: forget it first, so a file that was no picture a
    // moment ago and was replaced since is read again.
    Images::ForgetFailedImages();
    if (!Images::LoadImage(path)) {
        window.toasts.Push(L"El archivo elegido no es una imagen válida.", Kit::ToastKind::Error);
        return std::nullopt;
    }
    return path;
}

PhotoStep PhotoStepFor(const std::wstring& formPhoto, const std::optional<std::wstring>& recordPhoto) {
    if (formPhoto.empty()) {
        return PhotoStep::Clear;
    }
    if (recordPhoto && *recordPhoto == formPhoto) {
        return PhotoStep::Keep;
    }
    return PhotoStep::Import;
}

}  // namespace Lorvex::Main
