// The one-time move of the former product's data into the data folder, and the tree merge it
// rests on.

#include "foundation/Files.h"
#include "foundation/Handle.h"
#include "foundation/Paths.h"

#include <windows.h>

#include <string>
#include <vector>

namespace Lorvex::Paths {

namespace {

const wchar_t* const kFormerDataFolderName = L"VelmorinData";
const wchar_t* const kFormerRoamingFolderName = L"Velmorin";
const wchar_t* const kFormerRoamingFiles[] = {L"settings.json", L"account.dat", L"cloud.json"};

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

// The folder's own path with every link on the way followed; empty when it cannot be resolved.
std::wstring ResolvedPath(const std::wstring& folder) {
    UniqueHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.IsOpen()) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(handle.Get(), path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.assign(length, L'\0');  // too small: the length asked for counts the terminating zero
    }
    return {};
}

// Whether one resolved folder is the other or lies inside it, letter case aside.
bool IsWithin(const std::wstring& inner, const std::wstring& outer) {
    if (inner.size() < outer.size() || (inner.size() > outer.size() && inner[outer.size()] != L'\\')) {
        return false;
    }
    return CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                                static_cast<int>(outer.size()), TRUE) == CSTR_EQUAL;
}

bool Overlap(const std::wstring& a, const std::wstring& b) {
    return IsWithin(a, b) || IsWithin(b, a);
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

// Removes a folder the merge emptied. A link is removed whatever its target still holds, so a
// linked folder is removed only when nothing at all is found through it.
void RemoveIfEmpty(const std::wstring& folder) {
    if (!Files::IsLink(folder)) {
        RemoveEmptyFolder(folder);
    } else if (Files::ListFiles(folder, L"*", false).empty() && Files::ListDirs(folder).empty()) {
        RemoveDirectoryW(folder.c_str());
    }
}

// The originals of files that could only be copied: the copies are in the data folder now.
void DeleteOriginals(const std::vector<std::wstring>& copied) {
    for (const std::wstring& file : copied) {
        Files::RemoveFile(file);
    }
}

// One merge of a former tree into the data folder.
struct Merge {
    std::wstring target;
    std::wstring resolvedTarget;
    // The migration also deletes the originals of files that could only be copied and removes the
    // folders it emptied; a plain MoveTree deletes nothing.
    bool clearSource = false;
    // Resolved roots of the trees being walked: the source and each linked folder entered on the way.
    std::vector<std::wstring> walked;
    bool ok = true;
};

// A linked folder is walked as part of the tree only when it leads to a place that is neither in
// nor around the data folder or a tree already being walked: otherwise its files would be
// brought over twice, to the wrong place, or without end. One that is not walked stays as it is
// and makes the merge incomplete.
bool MayEnter(const Merge& merge, const std::wstring& resolved) {
    if (resolved.empty() || merge.resolvedTarget.empty() || Overlap(resolved, merge.resolvedTarget)) {
        return false;
    }
    for (const std::wstring& root : merge.walked) {
        if (root.empty() || Overlap(resolved, root)) {
            return false;
        }
    }
    return true;
}

// The folder's files, then its sub-folders, then (when clearing) what it no longer needs.
void MergeFolder(Merge& merge, const std::wstring& folder, const std::wstring& relative) {
    std::vector<std::wstring> copied;
    for (const std::wstring& file : Files::ListFiles(folder, L"*", false)) {
        const std::wstring dest = Files::JoinPath(merge.target, Files::JoinPath(relative, Files::FileName(file)));
        if (Files::IsFile(dest)) {
            continue;
        }
        const Transfer transfer = TransferFile(file, dest);
        if (transfer == Transfer::Failed) {
            merge.ok = false;
        } else if (transfer == Transfer::Copied) {
            copied.push_back(file);
        }
    }
    for (const std::wstring& sub : Files::ListDirs(folder)) {
        const std::wstring subRelative = Files::JoinPath(relative, Files::FileName(sub));
        if (!Files::IsLink(sub)) {
            MergeFolder(merge, sub, subRelative);
            continue;
        }
        const std::wstring resolved = ResolvedPath(sub);
        if (!MayEnter(merge, resolved)) {
            merge.ok = false;
            continue;
        }
        merge.walked.push_back(resolved);
        MergeFolder(merge, sub, subRelative);
        merge.walked.pop_back();
    }
    if (merge.clearSource) {
        DeleteOriginals(copied);
        RemoveIfEmpty(folder);
    }
}

bool MergeTree(const std::wstring& source, const std::wstring& target, bool clearSource) {
    Files::EnsureDir(target);
    if (!Files::IsDir(source)) {
        return true;
    }
    Merge merge;
    merge.target = target;
    merge.resolvedTarget = ResolvedPath(target);
    merge.clearSource = clearSource;
    merge.walked.push_back(ResolvedPath(source));
    // A source that leads into or around the target cannot be merged into it.
    if (!merge.walked.front().empty() && !merge.resolvedTarget.empty() &&
        Overlap(merge.walked.front(), merge.resolvedTarget)) {
        return false;
    }
    MergeFolder(merge, source, L"");
    return merge.ok;
}

// Removes the folders of the former roaming folder that the migration emptied, deepest first. A
// folder that still holds anything stays, and so does a linked folder inside, which was never
// looked into.
void RemoveEmptiedFolders(const std::wstring& folder) {
    for (const std::wstring& sub : Files::ListDirs(folder)) {
        if (!Files::IsLink(sub)) {
            RemoveEmptiedFolders(sub);
        }
    }
    RemoveIfEmpty(folder);
}

}  // namespace

bool MoveTree(const std::wstring& source, const std::wstring& target) {
    return MergeTree(source, target, false);
}

bool MigrateLegacyData(const std::wstring& dataDir, const std::wstring& documentsDir, const std::wstring& roamingDir) {
    bool result = true;

    const std::wstring legacy =
        documentsDir.empty() ? std::wstring() : Files::JoinPath(documentsDir, kFormerDataFolderName);
    if (Files::IsDir(legacy)) {
        // On the same volume the whole folder simply becomes the data folder.
        const bool renamed = !Files::IsDir(dataDir) && MoveFileExW(legacy.c_str(), dataDir.c_str(), 0) != 0;
        if (!renamed && !MergeTree(legacy, dataDir, true)) {
            result = false;
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
            DeleteOriginals(copied);
            RemoveEmptiedFolders(former);
        }
    }

    return result;
}

}  // namespace Lorvex::Paths
