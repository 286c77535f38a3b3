// The data folder and the migration of the former product's data.

#include "foundation/Paths.h"

#include "foundation/CoTaskMem.h"
#include "foundation/Files.h"

#include <windows.h>
// The known-folder ids are defined here rather than taken from a uuid library.
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <utility>
#include <vector>

namespace Lorvex::Paths {

namespace {

const wchar_t* const kDataFolderName = L"LorvexData";
const wchar_t* const kFormerDataFolderName = L"VelmorinData";
const wchar_t* const kFormerRoamingFolderName = L"Velmorin";
const wchar_t* const kFormerRoamingFiles[] = {L"settings.json", L"account.dat", L"cloud.json"};

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

enum class Transfer { Moved, Copied, Failed };

// Moves one file; when moving fails (the file is in use, or the volume refuses), a copy still
// brings it over and the original stays.
Transfer TransferFile(const std::wstring& from, const std::wstring& to) {
    Files::EnsureDir(Files::ParentPath(to));
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_COPY_ALLOWED)) {
        return Transfer::Moved;
    }
    Files::EnsureDir(Files::ParentPath(to));
    if (CopyFileW(from.c_str(), to.c_str(), TRUE)) {
        return Transfer::Copied;
    }
    return Transfer::Failed;
}

// The part of a listed file's path below the folder it was listed from; the listing builds its
// paths by joining onto the folder text, so that text (with '/' turned into '\') is the prefix.
std::wstring RelativePath(const std::wstring& file, const std::wstring& folder) {
    std::wstring prefix = folder;
    for (wchar_t& c : prefix) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    if (file.size() <= prefix.size() || file.compare(0, prefix.size(), prefix) != 0) {
        return {};
    }
    std::size_t start = prefix.size();
    while (start < file.size() && file[start] == L'\\') {
        ++start;
    }
    return file.substr(start);
}

bool MergeTree(const std::wstring& source, const std::wstring& target, std::vector<std::wstring>* copied) {
    Files::EnsureDir(target);
    bool ok = true;
    for (const std::wstring& file : Files::ListFiles(source, L"*", true)) {
        const std::wstring relative = RelativePath(file, source);
        if (relative.empty()) {
            ok = false;
            continue;
        }
        const std::wstring dest = Files::JoinPath(target, relative);
        if (Files::IsFile(dest)) {
            continue;
        }
        const Transfer transfer = TransferFile(file, dest);
        if (transfer == Transfer::Failed) {
            ok = false;
        } else if (transfer == Transfer::Copied && copied != nullptr) {
            copied->push_back(file);
        }
    }
    return ok;
}

bool RemoveEmptyFolder(const std::wstring& folder) {
    if (RemoveDirectoryW(folder.c_str())) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0) {
        return false;
    }
    SetFileAttributesW(folder.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (RemoveDirectoryW(folder.c_str())) {
        return true;
    }
    SetFileAttributesW(folder.c_str(), attributes);
    return false;
}

// Removes the folders of a former tree that the migration emptied, deepest first. A folder that
// still holds anything stays, and so does a linked folder, which was never looked into.
void RemoveEmptiedFolders(const std::wstring& folder) {
    for (const std::wstring& sub : Files::ListDirs(folder)) {
        if ((GetFileAttributesW(sub.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            RemoveEmptiedFolders(sub);
        }
    }
    RemoveEmptyFolder(folder);
}

// After a merge: the originals of files that could only be copied are in the data folder now,
// so they go; then every folder left empty goes. Nothing that was not brought over is deleted.
void ClearBroughtOver(const std::vector<std::wstring>& copied, const std::wstring& formerFolder) {
    for (const std::wstring& file : copied) {
        Files::RemoveFile(file);
    }
    RemoveEmptiedFolders(formerFolder);
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

bool MoveTree(const std::wstring& source, const std::wstring& target) {
    return MergeTree(source, target, nullptr);
}

bool MigrateLegacyData() {
    return MigrateLegacyData(DataDir(), DocumentsDir(), KnownFolder(FOLDERID_RoamingAppData));
}

bool MigrateLegacyData(const std::wstring& dataDir, const std::wstring& documentsDir, const std::wstring& roamingDir) {
    bool result = true;

    const std::wstring legacy =
        documentsDir.empty() ? std::wstring() : Files::JoinPath(documentsDir, kFormerDataFolderName);
    if (Files::IsDir(legacy)) {
        // On the same volume the whole folder simply becomes the data folder.
        const bool renamed = !Files::IsDir(dataDir) && MoveFileExW(legacy.c_str(), dataDir.c_str(), 0) != 0;
        if (!renamed) {
            std::vector<std::wstring> copied;
            if (!MergeTree(legacy, dataDir, &copied)) {
                result = false;
            }
            ClearBroughtOver(copied, legacy);
        }
    }

    // Without a roaming folder there is no former roaming folder to look at; a relative
    // "Velmorin" would be whatever the current directory happens to hold.
    if (!roamingDir.empty()) {
        const std::wstring former = Files::JoinPath(roamingDir, kFormerRoamingFolderName);
        if (Files::IsDir(former)) {
            Files::EnsureDir(dataDir);
            std::vector<std::wstring> copied;
            bool allMoved = true;
            for (const wchar_t* name : kFormerRoamingFiles) {
                const std::wstring from = Files::JoinPath(former, name);
                const std::wstring to = Files::JoinPath(dataDir, name);
                if (!Files::IsFile(from) || Files::IsFile(to)) {
                    continue;
                }
                const Transfer transfer = TransferFile(from, to);
                if (transfer == Transfer::Failed) {
                    allMoved = false;
                } else if (transfer == Transfer::Copied) {
                    copied.push_back(from);
                }
            }
            if (!allMoved) {
                result = false;
            }
            ClearBroughtOver(copied, former);
        }
    }

    return result;
}

void SetDataDirForTesting(std::wstring dataDir) {
    DataDirStorage() = std::move(dataDir);
}

}  // namespace Lorvex::Paths
