#pragma once
// What the program's resource script (App/Lorvex.rc) shares with the code: the version it was built
// as and the id of the program's icon. Plain macros, because the resource compiler reads this file
// too and knows nothing but the preprocessor; C++ reads the version as Config::kVersion. Nothing
// here runs or fails.

// The running version: the numbers the version information carries and the same version as text
// (App/Config/Config.cpp checks at compile time that the two agree).
#define LORVEX_VERSION_MAJOR 3
#define LORVEX_VERSION_MINOR 0
#define LORVEX_VERSION_PATCH 2
#define LORVEX_VERSION_TEXT "3.0.2"

// The program's icon: the window class's, the window's own and the one Explorer shows for the exe
// (the lowest id, so the shell takes it).
#define LORVEX_ICON_RESOURCE 101
