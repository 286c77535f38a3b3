// Writes the program's icon file (Tools/AppIcon/AppIcon.h) to the path it is given. Prints what
// failed and returns 1 on a failure.

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "Tools/AppIcon/AppIcon.h"
#include "foundation/Files.h"

int main() {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 2) {
        std::fprintf(stderr, "usage: make_app_icon.exe <icon file to write>\n");
        return 1;
    }
    const std::wstring path = arguments[1];
    LocalFree(arguments);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string icon = Lorvex::AppIcon::IconFile();
    CoUninitialize();
    if (icon.empty()) {
        std::fprintf(stderr, "the icon could not be drawn (no PNG encoder)\n");
        return 1;
    }
    if (!Lorvex::Files::WriteReplacing(path, icon)) {
        std::fprintf(stderr, "could not write %ls\n", path.c_str());
        return 1;
    }
    std::printf("wrote %ls (%zu bytes)\n", path.c_str(), icon.size());
    return 0;
}
