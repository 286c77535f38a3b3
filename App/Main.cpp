// The program's entry: one copy at a time, then the start-up, main loop and shut-down of
// App/Startup. It reads no command line, environment or registry value. The process's DPI
// awareness (per monitor, version 2) comes from the manifest in App/Lorvex.rc, before any code
// runs; a call here would only fail, as the system refuses to change it once the manifest set it.

#include <windows.h>

#include "App/SingleInstance.h"
#include "App/Startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const Lorvex::UniqueHandle instance = Lorvex::App::ClaimSingleInstance();
    if (!instance) {
        Lorvex::App::ActivateExistingInstance();
        return 0;
    }
    return Lorvex::App::Run();
}
