#include "domain/Choices.h"

namespace Lorvex {

// "Poetico" and "Tecnico" carry no accent: stored characters hold these exact names.
const std::vector<SpeechStyle>& SpeechStyles() {
    static const std::vector<SpeechStyle> styles = {
        {L"Normal", L"Habla estándar sin características especiales."},
        {L"Picante", L"Utiliza lenguaje sugerente y provocativo, con dobles sentidos."},
        {L"Agresivo", L"Habla con insultos y tono confrontativo."},
        {L"Amistoso", L"Utiliza términos cariñosos y muestra cercanía emocional."},
        {L"Educado", L"Usa lenguaje formal y respetuoso, con cortesías."},
        {L"Vulgar", L"Incorpora groserías y lenguaje obsceno con frecuencia."},
        {L"Jerga juvenil", L"Usa modismos y expresiones juveniles actuales."},
        {L"Poetico", L"Expresa ideas con metáforas y lenguaje florido."},
        {L"Tecnico", L"Utiliza terminología especializada y precisa."},
        {L"Misterioso", L"Habla de manera enigmática y con frases ambiguas."},
    };
    return styles;
}

const std::vector<std::wstring>& Genders() {
    static const std::vector<std::wstring> genders = {L"Hombre", L"Mujer", L"Otro"};
    return genders;
}

const std::vector<std::wstring>& Orientations() {
    static const std::vector<std::wstring> orientations = {L"Heterosexual", L"Homosexual", L"Bisexual", L"Otro"};
    return orientations;
}

const std::vector<std::wstring>& Importances() {
    static const std::vector<std::wstring> importances = {L"Principal", L"Secundario", L"De fondo"};
    return importances;
}

}  // namespace Lorvex
