#include "App/Startup.h"

#include <windows.h>
#include <objbase.h>

#include <memory>

#include "App/MainLoop.h"
#include "domain/Settings.h"
#include "foundation/Async.h"
#include "foundation/Paths.h"
#include "graphics/Device.h"
#include "main/MainWindow.h"
#include "services/state/AppState.h"
#include "services/sync/CloudSync.h"
#include "services/updates/Updates.h"
#include "ui/Theme.h"

namespace Lorvex::App {
namespace {

void ShowMessage(const StartOptions& options, const std::wstring& text, unsigned icon) {
    if (options.message) {
        options.message(text, icon);
    } else {
        MessageBoxW(nullptr, text.c_str(), L"Lorvex", MB_OK | icon);
    }
}

// Opens the main window and runs the loop until it is gone; the window is destroyed before this
// returns, so that it detaches from the services before they are taken down.
int RunMainWindow(const StartOptions& options) {
    auto window = std::make_unique<Main::MainWindow>();
    const bool open = options.open ? options.open(*window) : window->Open();
    if (!open) {
        // Not a success: whoever started the program sees that it could not run.
        ShowMessage(options, kWindowFailedText, MB_ICONERROR);
        return 1;
    }
    if (options.opened) {
        options.opened(*window);
    }
    return RunLoop();
}

void Shutdown() {
    // The dispatcher drops its timers without running them: a change made just before the close
    // would be in its record file but missing from the upload queue of the next start.
    Services::CloudSync::Instance().CloseState();
    Async::Shutdown();
    Graphics::Device::Release();
    CoUninitialize();
}

}  // namespace

int Run(const StartOptions& options) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The wake event and the clock origin: before any timer, frame or worker.
    Async::Startup();

    if (!Graphics::Device::Initialize()) {
        ShowMessage(options, kDeviceFailedText, MB_ICONERROR);
        Shutdown();
        return 1;
    }
    Graphics::Fonts::Initialize();
    if (!Paths::MigrateLegacyData()) {
        ShowMessage(options, kMigrationText, MB_ICONWARNING);
    }
    Settings::Load();
    UI::Material::DarkTheme = Settings::Instance().dark_theme;
    UI::Material::ApplyTheme();
    Services::Updates::AfterStart();
    Services::AppState::Instance().Initialize();

    const int exitCode = RunMainWindow(options);
    Shutdown();
    return exitCode;
}

}  // namespace Lorvex::App
