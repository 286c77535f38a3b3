// Which pictures of the "images" folder the records use, and the removal of those nobody uses.

#include "services/AppState.h"

#include <windows.h>

#include <algorithm>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"

namespace Lorvex::Services {

namespace {

bool NamesPicture(const std::vector<std::wstring>& paths, const std::wstring& name) {
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::wstring& path) { return Text::EqualsNoCase(Files::FileName(path), name); });
}

void DeletePicture(const std::wstring& file) {
    if (!Files::IsFile(file)) {
        return;
    }
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(file.c_str());
}

}  // namespace

void AppState::SetImages(const std::wstring& ownerId, const std::vector<std::wstring>& paths, bool notifyCloud) {
    std::vector<std::wstring> previous;
    if (const auto found = imageRefs.find(ownerId); found != imageRefs.end()) {
        previous = std::move(found->second);
    }
    imageRefs[ownerId] = paths;
    for (const std::wstring& path : previous) {
        if (path.empty()) {
            continue;
        }
        const bool kept = std::any_of(paths.begin(), paths.end(),
                                      [&](const std::wstring& now) { return Text::EqualsNoCase(now, path); });
        if (!kept) {
            ReleaseImage(path, notifyCloud);
        }
    }
}

void AppState::SetImages(const Character& owner, bool notifyCloud) {
    SetImages(owner.id, ImagePaths(owner), notifyCloud);
}

void AppState::SetImages(const Persona& owner, bool notifyCloud) {
    SetImages(owner.id, ImagePaths(owner), notifyCloud);
}

void AppState::ForgetImages(const std::wstring& ownerId, bool notifyCloud) {
    const auto found = imageRefs.find(ownerId);
    if (found == imageRefs.end()) {
        return;
    }
    const std::vector<std::wstring> paths = std::move(found->second);
    imageRefs.erase(found);
    for (const std::wstring& path : paths) {
        if (!path.empty()) {
            ReleaseImage(path, notifyCloud);
        }
    }
}

void AppState::ReleaseImage(const std::wstring& path, bool notifyCloud) {
    // Pictures outside the folder belong to the user, not to us.
    if (!CloudSync::IsInImagesDir(path)) {
        return;
    }
    const std::wstring name = Files::FileName(path);
    for (const std::shared_ptr<Character>& character : characters) {
        if (NamesPicture(ImagePaths(*character), name)) {
            return;
        }
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        if (NamesPicture(ImagePaths(*persona), name)) {
            return;
        }
    }
    const std::wstring avatar = CloudSync::Instance().AvatarPath();
    if (!avatar.empty() && Text::EqualsNoCase(Files::FileName(avatar), name)) {
        return;
    }
    DeletePicture(Files::JoinPath(Paths::ImagesDir(), name));
    if (notifyCloud) {
        CloudSync::Instance().OnImageDeleted(name);
    }
}

std::set<std::wstring> AppState::ImageNamesInUse() const {
    std::set<std::wstring> names;
    auto add = [&](const std::vector<std::wstring>& paths) {
        for (const std::wstring& path : paths) {
            if (!path.empty()) {
                names.insert(Text::ToLower(Files::FileName(path)));
            }
        }
    };
    for (const std::shared_ptr<Character>& character : characters) {
        add(ImagePaths(*character));
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        add(ImagePaths(*persona));
    }
    const std::wstring avatar = CloudSync::Instance().AvatarPath();
    if (!avatar.empty()) {
        names.insert(Text::ToLower(Files::FileName(avatar)));
    }
    return names;
}

void AppState::CollectUnusedImages() {
    const std::set<std::wstring> names = ImageNamesInUse();
    CloudSync& cloud = CloudSync::Instance();
    for (const std::wstring& file : Files::ListFiles(Paths::ImagesDir(), L"*", false)) {
        const std::wstring name = Files::FileName(file);
        if (names.count(Text::ToLower(name)) != 0) {
            continue;
        }
        DeletePicture(file);
        cloud.OnImageDeleted(name);
    }
}

void AppState::StoreKnownImages(std::vector<KnownCharacter>& known) {
    for (KnownCharacter& person : known) {
        if (!person.photoPath || person.photoPath->empty()) {
            continue;
        }
        std::wstring stored = Storage::ImportImage(*person.photoPath, L"known_");
        if (stored.empty()) {
            person.photoPath.reset();
        } else {
            person.photoPath = std::move(stored);
        }
    }
}

}  // namespace Lorvex::Services
