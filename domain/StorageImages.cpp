// Pictures of the records: re-rooting stored paths into the current "images" folder and
// importing a picked file into it.

#include "domain/Storage.h"

#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "graphics/Images.h"

#include <windows.h>

#include <iterator>
#include <string_view>

namespace Lorvex::Storage {

namespace {

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[1040];
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(std::size(buffer)), buffer, nullptr);
    if (length == 0 || length >= std::size(buffer)) {
        return path;
    }
    return std::wstring(buffer, length);
}

// True when `path` lies inside `folder`, letter case ignored. The folder's name must end where
// a separator follows, so "images2\x.png" is not inside "images".
bool IsInside(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty() || path.size() <= folder.size() ||
        !Text::EqualsNoCase(std::wstring_view(path).substr(0, folder.size()), folder)) {
        return false;
    }
    return Files::IsSeparator(folder.back()) || Files::IsSeparator(path[folder.size()]);
}

}  // namespace

void ResolveImagePath(std::optional<std::wstring>& photo) {
    if (!photo || photo->empty() || Files::IsFile(*photo)) {
        return;
    }
    const std::wstring candidate = Files::JoinPath(Paths::ImagesDir(), Files::FileName(*photo));
    if (!candidate.empty() && Files::IsFile(candidate)) {
        photo = candidate;
    }
}

bool IsInImagesDir(const std::wstring& path) {
    return !path.empty() && IsInside(FullPath(path), FullPath(Paths::ImagesDir()));
}

std::wstring ImportImage(const std::wstring& source, const std::wstring& prefix) {
    if (source.empty() || !Files::IsFile(source)) {
        return {};
    }
    const std::wstring images = Paths::ImagesDir();
    if (IsInImagesDir(source)) {
        return source;
    }
    Files::EnsureDir(images);
    return Images::StoreImageFile(source, Files::JoinPath(images, prefix + Time::NewUuid()));
}

}  // namespace Lorvex::Storage
