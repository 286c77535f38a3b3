#pragma once
// The program's life between the single-instance test and the exit: the process-wide services
// prepared in a fixed order, the main window opened, the main loop run until the window is gone,
// and everything taken down again in order. UI thread (the process's first thread) only. Failure
// shows as a message box and the exit code: 1 when the graphics device or the main window cannot
// be made.

#include <functional>
#include <string>

namespace Lorvex::Main {
class MainWindow;
}

namespace Lorvex::App {

struct StartOptions {
    // Opens the main window; the window's own Open unless a test replaces it.
    std::function<bool(Main::MainWindow&)> open;
    // Called once the window is open, before the main loop (tests close the window from here).
    std::function<void(Main::MainWindow&)> opened;
    // Shows a start-up message (text, MB_ICON* flags); MessageBoxW unless a test replaces it.
    std::function<void(const std::wstring& text, unsigned icon)> message;
};

inline constexpr const wchar_t* kDeviceFailedText = L"No se pudo iniciar Direct2D en este equipo.";
inline constexpr const wchar_t* kWindowFailedText = L"No se pudo abrir la ventana principal.";
inline constexpr const wchar_t* kMigrationText =
    L"No se pudieron mover todos los datos de la versión anterior a la carpeta nueva de Lorvex.\n\n"
    L"Lo que falta sigue en Documentos\\VelmorinData: cierra los programas que lo estén usando y "
    L"vuelve a abrir Lorvex.";

// Runs the program from COM's initialisation to the shut-down and returns the exit code.
int Run(const StartOptions& options = {});

}  // namespace Lorvex::App
