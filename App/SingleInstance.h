#pragma once
// One running copy of the program: the instance mutex, and bringing the running copy's window to
// the front when another one starts. UI thread only; failure to make the mutex counts as "another
// copy runs".

#include <windows.h>

#include "foundation/Handle.h"

namespace Lorvex::App {

// The instance mutex, owned by this process, when no other copy (nor the former product) runs;
// an empty handle when one does. The handle is held until the end of the program.
UniqueHandle ClaimSingleInstance();

// Brings the running copy's window (class "Lorvex.Window", or the former product's) to the
// front, restoring it when minimised.
void ActivateExistingInstance();

// EnumWindows callback: stops at the first matching window of another process, after
// activating it.
BOOL CALLBACK ActivateExistingWindow(HWND window, LPARAM);

}  // namespace Lorvex::App
