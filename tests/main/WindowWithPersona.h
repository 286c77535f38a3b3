#pragma once
// The real window as the theme and settings tests open it: a persona keeps the first screen home
// (not the first-run form), at the given theme and size. Test thread only.

#include <memory>

#include "domain/Records.h"
#include "tests/support/FrameDriver.h"

namespace Lorvex::Testing {

inline FrameDriver::Options WindowWithPersona(bool dark, int width, int height) {
    FrameDriver::Options options;
    options.settings.dark_theme = dark;
    options.settings.window_width = width;
    options.settings.window_height = height;
    auto persona = std::make_shared<Persona>();
    persona->id = L"persona-1";
    persona->name = L"Lucía";
    options.personas.push_back(persona);
    return options;
}

}  // namespace Lorvex::Testing
