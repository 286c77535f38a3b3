#include "graphics/Images.h"

#include "foundation/Files.h"

namespace Lorvex::Images {

// The source's bytes under the source's extension. Re-encoding to a smaller file comes with the
// picture decoder.
std::wstring StoreImageFile(const std::wstring& sourcePath, const std::wstring& basePath) {
    const auto bytes = Files::ReadBytes(sourcePath);
    if (!bytes) return {};
    const std::wstring target = basePath + Files::Extension(sourcePath);
    return Files::WriteBytes(target, *bytes) ? target : std::wstring();
}

}  // namespace Lorvex::Images
