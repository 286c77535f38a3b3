#pragma once
// Pictures: storing a picture the user picked into the data folder.

#include <string>

namespace Lorvex::Images {

// Stores the picture at sourcePath as basePath plus an extension and returns the written path,
// empty on failure.
std::wstring StoreImageFile(const std::wstring& sourcePath, const std::wstring& basePath);

}  // namespace Lorvex::Images
