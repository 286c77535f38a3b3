// The data folder: where it is, and the folders and files inside it.

#include "foundation/Paths.h"

#include "foundation/CoTaskMem.h"
#include "foundation/Files.h"

#include <windows.h>
// The known-folder ids are defined here rather than taken from a uuid library.
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <utility>

namespace Lorvex::Paths {

namespace {

const wchar_t* const kDataFolderName = L"LorvexData";

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
    // The buffer is ours to free even when the call failed.
    CoTaskMemPtr<wchar_t> raw;
    const HRESULT hr = SHGetKnownFolderPath(id, 0, nullptr, raw.Put());
    std::wstring path;
    if (SUCCEEDED(hr) && raw) {
        path = raw.Get();
    }
    return path;
}

std::wstring& DataDirStorage() {
    static std::wstring dir = ComputeDataDir();
    return dir;
}

}  // namespace

const std::wstring& DataDir() {
    return DataDirStorage();
}

std::wstring ComputeDataDir() {
    return ComputeDataDir(KnownFolder(FOLDERID_RoamingAppData), KnownFolder(FOLDERID_LocalAppData));
}

std::wstring ComputeDataDir(const std::wstring& roamingAppData, const std::wstring& localAppData) {
    const std::wstring& base = roamingAppData.empty() ? localAppData : roamingAppData;
    return Files::JoinPath(base, kDataFolderName);
}

std::wstring ImagesDir() {
    return Files::JoinPath(DataDir(), L"images");
}

std::wstring SettingsPath() {
    return Files::JoinPath(DataDir(), L"settings.json");
}

std::wstring DocumentsDir() {
    return KnownFolder(FOLDERID_Documents);
}

bool MigrateLegacyData() {
    return MigrateLegacyData(DataDir(), DocumentsDir(), KnownFolder(FOLDERID_RoamingAppData));
}

void SetDataDirForTesting(std::wstring dataDir) {
    DataDirStorage() = std::move(dataDir);
}

}  // namespace Lorvex::Paths
