// The program's entry: one copy at a time, then the start-up, main loop and shut-down of
// App/Startup. It reads no command line, environment or registry value.

#include <windows.h>

#include "App/SingleInstance.h"
#include "App/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Older systems and Wine refuse it; the program then runs at the system's DPI.
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const Lorvex::UniqueHandle instance = Lorvex::App::ClaimSingleInstance();
    if (!instance) {
        Lorvex::App::ActivateExistingInstance();
        return 0;
    }
    return Lorvex::App::Run();
}
