// Pictures on their way to and from the bucket: object paths, content types, the re-encoding
// before an upload, and the checks that keep a name or id from the server out of every path that
// does not lie in the images folder.

#include <algorithm>

#include "domain/RecordIds.h"
#include "domain/Storage.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "graphics/Images.h"
#include "services/sync/CloudSyncRound.h"
#include "services/sync/Supabase.h"

namespace Lorvex::Services {

namespace {

constexpr size_t kShrinkAbove = 524288;
constexpr float kUploadQuality = 0.85f;
// Names the application gives are a prefix and a UUID; this leaves room without letting the
// path approach the system's limits.
constexpr size_t kMaxPictureName = 160;

std::wstring LowerExtension(const std::wstring& fileName) {
    return Text::ToLowerAscii(Files::Extension(fileName));
}

}  // namespace

std::string CloudSync::ShrinkForUpload(const std::wstring& fileName, const std::string& bytes) {
    const std::wstring extension = LowerExtension(fileName);
    const bool png = extension == L".png";
    const bool jpeg = extension == L".jpg" || extension == L".jpeg";
    if ((!png && !jpeg) || bytes.size() <= kShrinkAbove) {
        return bytes;
    }
    const auto smaller =
        Images::Recompress(bytes, png ? Images::RecompressMode::Png : Images::RecompressMode::Jpeg, kUploadQuality);
    return smaller && smaller->bytes.size() < bytes.size() ? smaller->bytes : bytes;
}

std::wstring CloudSync::MimeType(const std::wstring& fileName) {
    const std::wstring extension = LowerExtension(fileName);
    if (extension == L".png") {
        return L"image/png";
    }
    if (extension == L".jpg" || extension == L".jpeg") {
        return L"image/jpeg";
    }
    if (extension == L".gif") {
        return L"image/gif";
    }
    if (extension == L".webp") {
        return L"image/webp";
    }
    if (extension == L".bmp") {
        return L"image/bmp";
    }
    return L"application/octet-stream";
}

std::wstring CloudSync::StoragePath(const std::wstring& userId, const std::wstring& fileName) {
    return std::wstring(CloudSyncRound::kBucket) + L"/" + Text::ToWide(Text::UrlEncode(Text::ToUtf8(userId))) + L"/" +
           Text::ToWide(Text::UrlEncode(Text::ToUtf8(fileName)));
}

bool CloudSync::IsSafePictureName(std::wstring_view name) {
    if (name.empty() || name.size() > kMaxPictureName || name.back() == L'.' || name.back() == L' ' ||
        name.find(L"..") != std::wstring_view::npos || Files::ReservedDeviceLength(name) != 0) {
        return false;
    }
    // Separators and ':' would leave the folder or name a stream; the rest Windows refuses in a name.
    return std::none_of(name.begin(), name.end(), [](wchar_t c) {
        return c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
    });
}

bool CloudSync::IsStorageSafeName(std::wstring_view name) {
    static constexpr std::wstring_view kMarks = L"!-.*'() &$@=;:+,?_";
    return !name.empty() && std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               kMarks.find(c) != std::wstring_view::npos;
    });
}

namespace CloudSyncRound {

bool IsSafeRow(const CloudSync::RemoteItem& row) {
    if (row.kind == L"chat") {
        const size_t colon = row.id.find(L':');
        if (colon == std::wstring::npos || !IsSafeId(std::wstring_view(row.id).substr(0, colon)) ||
            !IsSafeId(std::wstring_view(row.id).substr(colon + 1))) {
            return false;
        }
    } else if (!IsSafeId(row.id)) {
        return false;
    }
    if (!row.parentId.empty() && !IsSafeId(row.parentId)) {
        return false;
    }
    const std::vector<std::wstring> names = PhotoNames(row.data);
    return std::all_of(names.begin(), names.end(),
                       [](const std::wstring& name) { return name.empty() || CloudSync::IsSafePictureName(name); });
}

std::vector<std::wstring> PhotoNames(const Json::Value& data) {
    std::vector<std::wstring> names;
    if (data.Find("photoPath").kind == Json::Type::String) {
        names.push_back(data.Find("photoPath").AsWString());
    }
    const Json::Value& known = data.Find("known_characters");
    if (known.kind == Json::Type::Array) {
        for (const Json::Value& person : known.Items()) {
            if (person.Find("photoPath").kind == Json::Type::String) {
                names.push_back(person.Find("photoPath").AsWString());
            }
        }
    }
    return names;
}

std::optional<std::wstring> PicturePath(const std::wstring& name) {
    if (!CloudSync::IsSafePictureName(name)) {
        return std::nullopt;
    }
    std::wstring path = Files::JoinPath(Paths::ImagesDir(), name);
    if (!Storage::IsInImagesDir(path)) {
        return std::nullopt;
    }
    return path;
}

bool DownloadPicture(const CloudSync::Account& account, const std::wstring& name) {
    const std::optional<std::wstring> path = PicturePath(name);
    if (!path) {
        return false;
    }
    // Downloaded beside the target and checked there: a torn or undecodable body never takes the
    // picture's name, so the next full round that pulls its row tries again.
    const std::wstring fetched = *path + L".download";
    const std::wstring url =
        Supabase::Url(L"/storage/v1/object/authenticated/" + CloudSync::StoragePath(account.userId, name));
    if (!Http::Download(url, fetched, {}, nullptr, Supabase::AuthHeaders(account))) {
        return false;
    }
    const std::optional<std::string> bytes = Files::ReadBytes(fetched);
    if (!bytes || !Images::DecodesAsPicture(*bytes) || !Files::Move(fetched, *path, true)) {
        Files::RemoveFile(fetched);
        return false;
    }
    return true;
}

}  // namespace CloudSyncRound

}  // namespace Lorvex::Services
