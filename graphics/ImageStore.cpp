#include <windows.h>

#include "foundation/Files.h"
#include "graphics/Images.h"

namespace Lorvex::Images {
namespace {

std::optional<uint64_t> FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A file too large to be a picture we decode is still stored unchanged, but copied by the system
// rather than held in memory whole.
bool CopyUnchanged(const std::wstring& source, const std::wstring& target) {
    Files::EnsureDir(Files::ParentPath(target));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileW(source.c_str(), target.c_str(), FALSE) != 0;
}

}  // namespace

std::wstring StoreImageFile(const std::wstring& sourcePath, const std::wstring& basePath) {
    const std::wstring unchangedTarget = basePath + Files::Extension(sourcePath);
    const std::optional<uint64_t> size = FileSize(sourcePath);
    if (!size) {
        return {};
    }
    if (*size > MaxPictureBytes) {
        return CopyUnchanged(sourcePath, unchangedTarget) ? unchangedTarget : std::wstring();
    }

    const std::optional<std::string> bytes = Files::ReadBytes(sourcePath);
    if (!bytes) {
        return {};
    }
    const std::optional<Recompressed> smaller = Recompress(*bytes, RecompressMode::ByContent, 0.85f);
    if (smaller && smaller->bytes.size() < bytes->size()) {
        const std::wstring target = basePath + (smaller->png ? L".png" : L".jpg");
        if (Files::WriteBytes(target, smaller->bytes)) {
            return target;
        }
        Files::RemoveFile(target);  // no half-written picture left behind
    }
    return Files::WriteBytes(unchangedTarget, *bytes) ? unchangedTarget : std::wstring();
}

}  // namespace Lorvex::Images
