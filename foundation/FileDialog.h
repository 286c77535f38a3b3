#pragma once
// The shell's file-open dialog, the one system window besides the start-up message boxes.

#include <windows.h>

#include <functional>
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

// What PickOpenFile shows: the shell's dialog unless a test put another picker in its place.
using OpenFilePicker = std::function<std::wstring(HWND owner, const std::wstring& title,
                                                  const std::vector<std::pair<std::wstring, std::wstring>>& filters,
                                                  const std::wstring& startFolder)>;
// Tests only: PickOpenFile asks picker instead of showing a window; an empty function restores
// the shell's dialog. UI thread.
void SetOpenFilePickerForTesting(OpenFilePicker picker);

}  // namespace Lorvex::Files
