// The account side of the cloud sync: signing in, up and out, profile and password updates, and
// the one-line status the title bar and the account dialog show.

#include "services/CloudSync.h"

#include "foundation/Files.h"
#include "foundation/Paths.h"

namespace Lorvex::Services {

void CloudSync::SignIn(const std::wstring& email, const std::wstring& password,
                       std::function<void(const std::wstring& error)> done) {
    (void)email;
    (void)password;
    (void)done;
}

void CloudSync::SignUp(const std::wstring& email, const std::wstring& password,
                       std::function<void(const std::wstring& error, bool needsConfirmation)> done) {
    (void)email;
    (void)password;
    (void)done;
}

void CloudSync::SignOut() {
}

void CloudSync::UpdateProfile(const std::wstring& name, const std::optional<std::wstring>& photo,
                              std::function<void(const std::wstring& error)> done) {
    (void)name;
    (void)photo;
    (void)done;
}

void CloudSync::ChangePassword(const std::wstring& password, std::function<void(const std::wstring& error)> done) {
    (void)password;
    (void)done;
}

void CloudSync::AdoptSession(const Account& session) {
    (void)session;
}

void CloudSync::SignOutLocal() {
}

CloudSync::UserResult CloudSync::RunUserUpdate(Account session, const Json::Value& body,
                                               const std::wstring& avatarPath) {
    (void)body;
    (void)avatarPath;
    UserResult result;
    result.account = std::move(session);
    return result;
}

void CloudSync::StartUserUpdate(Json::Value body, std::wstring avatarPath,
                                std::function<void(const std::wstring& error)> done) {
    (void)body;
    (void)avatarPath;
    (void)done;
}

std::wstring CloudSync::AvatarPath() const {
    if (account.avatarFile.empty()) {
        return {};
    }
    return Files::JoinPath(Paths::ImagesDir(), account.avatarFile);
}

std::wstring CloudSync::StatusText() const {
    if (!SignedIn()) {
        return L"Sin iniciar sesión";
    }
    if (syncing) {
        return L"Sincronizando…";
    }
    if (offline) {
        return L"Sin conexión · los cambios se subirán más tarde";
    }
    if (!lastError.empty()) {
        return lastError;
    }
    return L"Pendiente de sincronizar";
}
}  // namespace Lorvex::Services
