#pragma once
// The fixed Spanish choices the forms offer and the prompts read. Records hold the chosen text
// itself, so a stored value outside a list is kept as it is. Each list is built once, on first
// use from any thread, and never changes.

#include <string>
#include <vector>

namespace Lorvex {

struct SpeechStyle {
    std::wstring name;
    std::wstring description;
};

// The ten styles, "Normal" first.
const std::vector<SpeechStyle>& SpeechStyles();
const std::vector<std::wstring>& Genders();
const std::vector<std::wstring>& Orientations();
// Most important first: "Principal", "Secundario", "De fondo".
const std::vector<std::wstring>& Importances();

}  // namespace Lorvex
