#include "services/sync/CloudSyncProtection.h"

#include <windows.h>

#include <dpapi.h>

#include <limits>

#include "foundation/Handle.h"

namespace Lorvex::Services::CloudSyncProtection {
namespace {

struct LocalMemoryTraits {
    using Type = BYTE*;
    static bool IsNone(BYTE* memory) { return memory == nullptr; }
    static void Close(BYTE* memory) { LocalFree(memory); }
};
using LocalBytes = BasicHandle<LocalMemoryTraits>;

// Runs one of the two calls on the bytes; the system allocates the output, freed here.
std::optional<std::string> Apply(const std::string& input, bool protect) {
    if (input.size() > std::numeric_limits<DWORD>::max()) {
        return std::nullopt;
    }
    DATA_BLOB in{static_cast<DWORD>(input.size()), reinterpret_cast<BYTE*>(const_cast<char*>(input.data()))};
    DATA_BLOB out{};
    const BOOL done =
        protect ? CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)
                : CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out);
    const LocalBytes owned(out.pbData);
    if (!done) {
        return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(out.pbData), out.cbData);
}

}  // namespace

std::optional<std::string> Protect(const std::string& plain) {
    return Apply(plain, true);
}

std::optional<std::string> Unprotect(const std::string& sealed) {
    return Apply(sealed, false);
}

}  // namespace Lorvex::Services::CloudSyncProtection
