#pragma once
// Handing a folder, file or web address to the system: the data folder opens in Explorer, a link
// in the browser. UI thread only (the shell expects a single-threaded COM apartment); failure
// shows as false.

#include <functional>
#include <string>

namespace Lorvex::Shell {

// Opens target with what the system associates with it (ShellExecuteW, verb "open"). False when
// the system could not.
bool Open(const std::wstring& target);

// Tests only: Open calls open instead of the system, which opens nothing; an empty function
// restores the system's.
void SetOpenForTesting(std::function<bool(const std::wstring& target)> open);

}  // namespace Lorvex::Shell
