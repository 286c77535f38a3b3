#include "foundation/Shell.h"

#include <windows.h>
#include <shellapi.h>

#include <utility>

namespace Lorvex::Shell {
namespace {

std::function<bool(const std::wstring&)>& Replacement() {
    static std::function<bool(const std::wstring&)> open;
    return open;
}

}  // namespace

void SetOpenForTesting(std::function<bool(const std::wstring& target)> open) {
    Replacement() = std::move(open);
}

bool Open(const std::wstring& target) {
    if (Replacement()) {
        return Replacement()(target);
    }
    // ShellExecuteW reports success with a value above 32 in its instance handle.
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace Lorvex::Shell
