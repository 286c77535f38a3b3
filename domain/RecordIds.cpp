#include "domain/RecordIds.h"

#include "foundation/Files.h"

namespace Lorvex {

namespace {

bool IsTokenUnit(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'_';
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
    // The file name adds ".json", which Windows still maps to the device.
    return Files::ReservedDeviceLength(id) == 0;
}

}  // namespace Lorvex
