#include "domain/RecordIds.h"

#include <array>

namespace Lorvex {

namespace {

bool IsTokenUnit(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
}

wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool EqualsAsciiUpper(std::wstring_view text, std::wstring_view upper) {
    if (text.size() != upper.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (AsciiUpper(text[i]) != upper[i]) {
            return false;
        }
    }
    return true;
}

// Only the units a token may hold matter here: the id never has an extension of its own, and
// the file name adds ".json", which Windows still maps to the device.
bool IsReservedDeviceName(std::wstring_view id) {
    static constexpr std::array<std::wstring_view, 4> kPlain = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (std::wstring_view name : kPlain) {
        if (EqualsAsciiUpper(id, name)) {
            return true;
        }
    }
    if (id.size() == 4 && id[3] >= L'1' && id[3] <= L'9') {
        std::wstring_view stem = id.substr(0, 3);
        return EqualsAsciiUpper(stem, L"COM") || EqualsAsciiUpper(stem, L"LPT");
    }
    return false;
}

}  // namespace

bool IsSafeId(std::wstring_view id) {
    if (id.empty() || id.size() > kMaxRecordIdLength) {
        return false;
    }
    for (wchar_t c : id) {
        if (!IsTokenUnit(c)) {
            return false;
        }
    }
    return !IsReservedDeviceName(id);
}

}  // namespace Lorvex
