#pragma once
// The shell's file-open dialog, the one system window besides the start-up message boxes.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace Lorvex::Files {

// Shows the modal file-open dialog over owner and returns the chosen file's file-system path;
// empty when the user cancelled or anything failed. filters are (display name, patterns separated
// by ";") in the order of the type box, the first one selected; an empty title keeps the system's
// title and an empty or unusable start folder the system's choice. UI thread only (a
// single-threaded COM apartment); blocks until the dialog closes.
std::wstring PickOpenFile(HWND owner, const std::wstring& title,
                          const std::vector<std::pair<std::wstring, std::wstring>>& filters,
                          const std::wstring& startFolder);

}  // namespace Lorvex::Files
