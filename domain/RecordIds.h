#pragma once
// Record ids become file names (a chat's and a persona's file) and arrive from files and from
// the cloud, so only a plain file-name token is accepted as an id.

#include <cstddef>
#include <string_view>

namespace Lorvex {

// A UUID text is 36 units; the bound leaves room for other ids without allowing paths that
// approach the system's length limits.
inline constexpr size_t kMaxRecordIdLength = 128;

// True for 1 to kMaxRecordIdLength units, each an ASCII letter, an ASCII digit, '-' or '_',
// that are not a device name of Windows (Files::ReservedDeviceLength: CON, NUL, COM0, LPT9 and
// the like, in any letter case): "NUL.json" would swallow whatever is written to it.
bool IsSafeId(std::wstring_view id);

}  // namespace Lorvex
