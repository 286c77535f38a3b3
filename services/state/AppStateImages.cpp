// Which pictures of the "images" folder the records use, and the removal of those nobody uses.

#include "services/state/AppState.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"

namespace Lorvex::Services {

namespace {

bool NamesPicture(const std::vector<std::wstring>& paths, const std::wstring& name) {
    return std::any_of(paths.begin(), paths.end(),
                       [&](const std::wstring& path) { return Text::EqualsNoCase(Files::FileName(path), name); });
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
    if (NamesImage(name)) {
        return;
    }
    Files::RemoveFile(Files::JoinPath(Paths::ImagesDir(), name));
    if (notifyCloud) {
        CloudSync::Instance().OnImageDeleted(name);
    }
}

bool AppState::NamesImage(const std::wstring& name) const {
    for (const std::shared_ptr<Character>& character : characters) {
        if (NamesPicture(ImagePaths(*character), name)) {
            return true;
        }
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        if (NamesPicture(ImagePaths(*persona), name)) {
            return true;
        }
    }
    const std::wstring avatar = CloudSync::Instance().AvatarPath();
    return !avatar.empty() && Text::EqualsNoCase(Files::FileName(avatar), name);
}

std::vector<std::wstring> AppState::PictureNamesInUse() const {
    std::vector<std::wstring> names;
    auto add = [&](const std::vector<std::wstring>& paths) {
        for (const std::wstring& path : paths) {
            if (!path.empty() && CloudSync::IsInImagesDir(path)) {
                names.push_back(Files::FileName(path));
            }
        }
    };
    for (const std::shared_ptr<Character>& character : characters) {
        add(ImagePaths(*character));
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        add(ImagePaths(*persona));
    }
    return names;
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
        Files::RemoveFile(file);
        cloud.OnImageDeleted(name);
    }
}

void AppState::GiveSafePictureNames() {
    CloudSync& cloud = CloudSync::Instance();
    // The picture stays under its old name until every record naming it was written on the copy:
    // a record that could not be written, or a run that ends in between, still finds its picture.
    struct Renamed {
        std::wstring oldName;
        std::wstring copy;  // full path
    };
    std::map<std::wstring, Renamed> renamed;  // lower-cased old name -> its copy
    // The path to use instead of this one, when its name is one the cloud refuses.
    const auto copyOf = [&](const std::optional<std::wstring>& photo) -> std::optional<std::wstring> {
        if (!photo || photo->empty() || !CloudSync::IsInImagesDir(*photo)) {
            return std::nullopt;
        }
        const std::wstring name = Files::FileName(*photo);
        if (CloudSync::IsStorageSafeName(name)) {
            return std::nullopt;
        }
        const std::wstring key = Text::ToLowerSystem(name);
        if (const auto done = renamed.find(key); done != renamed.end()) {
            return done->second.copy;
        }
        std::wstring extension = Text::ToLowerAscii(Files::Extension(name));
        if (!CloudSync::IsStorageSafeName(extension)) {
            extension.clear();
        }
        const std::wstring copy = Files::JoinPath(Paths::ImagesDir(), L"photo_" + Time::NewUuid() + extension);
        const std::wstring current = Files::JoinPath(Paths::ImagesDir(), name);
        if (!Files::IsFile(current) || !Files::Copy(current, copy)) {
            return std::nullopt;
        }
        renamed[key] = Renamed{name, copy};
        return copy;
    };
    // Points the record's pictures at their copies and writes it; a record that cannot be written
    // is put back on the names its file still holds. True when it was written on new names.
    const auto give = [&](auto& record, const auto& write) {
        std::vector<std::pair<std::optional<std::wstring>*, std::optional<std::wstring>>> previous;
        const auto point = [&](std::optional<std::wstring>& photo) {
            if (std::optional<std::wstring> copy = copyOf(photo)) {
                previous.emplace_back(&photo, std::move(photo));
                photo = std::move(copy);
            }
        };
        point(record.photoPath);
        for (KnownCharacter& person : record.known_characters) {
            point(person.photoPath);
        }
        if (previous.empty()) {
            return false;
        }
        if (!write(record)) {
            for (auto& [photo, before] : previous) {
                *photo = std::move(before);
            }
            return false;
        }
        return true;
    };
    const auto writeCharacter = [](Character& character) {
        // Only the character's own file: its chats did not change.
        return character.folder.empty() ? Storage::SaveCharacter(character)
                                        : Storage::WriteFileAtomic(Files::JoinPath(character.folder, L"character.json"),
                                                                   Character::ToJson(character));
    };
    bool any = false;
    for (const std::shared_ptr<Character>& character : characters) {
        if (give(*character, writeCharacter)) {
            any = true;
            SetImages(*character, false);
            cloud.OnCharacterSaved(*character);
        }
    }
    for (const std::shared_ptr<Persona>& persona : personas) {
        if (give(*persona, Storage::SavePersona)) {
            any = true;
            SetImages(*persona, false);
            cloud.OnPersonaSaved(*persona);
        }
    }
    for (const auto& [key, picture] : renamed) {
        if (!NamesImage(Files::FileName(picture.copy))) {
            Files::RemoveFile(picture.copy);  // no record could be written on it
        }
        if (!NamesImage(picture.oldName)) {
            Files::RemoveFile(Files::JoinPath(Paths::ImagesDir(), picture.oldName));
            cloud.OnImageRenamed(picture.oldName);
        }
    }
    if (any) {
        Changed();
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
