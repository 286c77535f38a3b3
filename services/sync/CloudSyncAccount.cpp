// The account side of the cloud sync: signing in, up and out, profile and password updates, and
// the one-line status the title bar and the account dialog show.

#include "services/sync/CloudSync.h"

#include <memory>
#include <utility>

#include "foundation/Async.h"
#include "foundation/Files.h"
#include "foundation/Paths.h"
#include "foundation/Text.h"
#include "foundation/Time.h"
#include "foundation/net/Http.h"
#include "graphics/Images.h"
#include "services/sync/Supabase.h"

namespace Lorvex::Services {

namespace {

const wchar_t* const kUnreadablePicture = L"No se pudo leer la imagen";
const wchar_t* const kSessionExpired = L"La sesión ha caducado; vuelve a iniciar sesión";
// Only when the system refuses a worker thread, which leaves nothing else to report.
const wchar_t* const kNotStarted = L"No se pudo iniciar la operación";

constexpr uint32_t kAvatarUploadTimeoutMs = 120000;

}  // namespace

void CloudSync::SignIn(const std::wstring& email, const std::wstring& password,
                       std::function<void(const std::wstring& error)> done) {
    if (authBusy) {
        return;  // a double click: the first request answers
    }
    authBusy = true;
    if (onStatusChanged) {
        onStatusChanged();
    }
    const bool started = Async::Run([email, password] { return Supabase::SignIn(email, password); },
                                    [this, done](const Supabase::AuthResult& result) {
                                        authBusy = false;
                                        if (result.ok) {
                                            AdoptSession(result.account);
                                        }
                                        if (onStatusChanged) {
                                            onStatusChanged();
                                        }
                                        if (done) {
                                            done(result.ok ? std::wstring() : result.error);
                                        }
                                    });
    if (!started) {
        authBusy = false;
        if (onStatusChanged) {
            onStatusChanged();
        }
        if (done) {
            done(kNotStarted);
        }
    }
}

void CloudSync::SignUp(const std::wstring& email, const std::wstring& password,
                       std::function<void(const std::wstring& error, bool needsConfirmation)> done) {
    if (authBusy) {
        return;
    }
    authBusy = true;
    if (onStatusChanged) {
        onStatusChanged();
    }
    const bool started =
        Async::Run([email, password] { return Supabase::SignUp(email, password); },
                   [this, done](const Supabase::AuthResult& result) {
                       authBusy = false;
                       if (result.ok && !result.needsConfirmation) {
                           AdoptSession(result.account);
                       }
                       if (onStatusChanged) {
                           onStatusChanged();
                       }
                       if (done) {
                           done(result.ok ? std::wstring() : result.error, result.ok && result.needsConfirmation);
                       }
                   });
    if (!started) {
        authBusy = false;
        if (onStatusChanged) {
            onStatusChanged();
        }
        if (done) {
            done(kNotStarted, false);
        }
    }
}

void CloudSync::AdoptSession(const Account& session) {
    if (session.userId != stateUserId) {
        ResetState();
        stateUserId = session.userId;
    }
    account = session;
    ++generation;
    // An update of the previous session can no longer finish into this one, so it holds nothing up.
    userUpdateBusy = false;
    syncing = false;
    again = false;
    againFull = false;
    offline = false;
    lastError.clear();
    SaveAccount();
    mergePending = true;
    SaveState();
    Start(true);
}

void CloudSync::SignOut() {
    if (!SignedIn()) {
        return;
    }
    // The server forgets the session in the background; this PC is signed out either way.
    Async::StartThread([session = account] { Supabase::Logout(session); });
    SignOutLocal();
}

void CloudSync::SignOutLocal() {
    SaveState();
    account = Account{};
    ++generation;
    userUpdateBusy = false;
    syncing = false;
    again = false;
    againFull = false;
    Async::CancelTimer(flushTimer);
    flushTimer = 0;
    lastError.clear();
    offline = false;
    Files::RemoveFile(AccountPath());
    if (onStatusChanged) {
        onStatusChanged();
    }
}

void CloudSync::UpdateProfile(const std::wstring& name, const std::optional<std::wstring>& photo,
                              std::function<void(const std::wstring& error)> done) {
    if (!SignedIn() || userUpdateBusy) {
        return;
    }
    std::wstring avatar = account.avatarFile;
    std::wstring localPath;
    if (photo) {
        avatar.clear();
        if (!photo->empty()) {
            Files::EnsureDir(Paths::ImagesDir());
            localPath =
                Images::StoreImageFile(*photo, Files::JoinPath(Paths::ImagesDir(), L"avatar_" + Time::NewUuid()));
            if (localPath.empty()) {
                if (done) {
                    done(kUnreadablePicture);
                }
                return;
            }
            avatar = Files::FileName(localPath);
        }
    }
    Json::Value body;
    body["data"]["display_name"] = Json::Value(Text::Trim(name));
    body["data"]["avatar"] = Json::Value(avatar);
    StartUserUpdate(std::move(body), std::move(localPath), std::move(done));
}

void CloudSync::ChangePassword(const std::wstring& password, std::function<void(const std::wstring& error)> done) {
    if (!SignedIn() || userUpdateBusy) {
        return;
    }
    Json::Value body;
    body["password"] = Json::Value(password);
    StartUserUpdate(std::move(body), std::wstring(), std::move(done));
}

CloudSync::UserResult CloudSync::RunUserUpdate(Account session, const Json::Value& body,
                                               const std::wstring& avatarPath) {
    UserResult result;
    // One renewal per update: ahead of time when the token is about to expire, or once the
    // server refused it. Only the token endpoint refusing the refresh token ends the session; a
    // missing connection, a rate limit or a server fault leave it for the next try.
    bool renewed = false;
    const auto renew = [&] {
        renewed = true;
        const Supabase::AuthResult fresh = Supabase::RenewSession(session.refreshToken);
        if (!fresh.ok) {
            result.unauthorized = fresh.sessionRefused;
            result.error = fresh.error;
            return false;
        }
        result.renewedFrom = session.refreshToken;
        session.accessToken = fresh.account.accessToken;
        session.refreshToken = fresh.account.refreshToken;
        session.expiresAt = fresh.account.expiresAt;
        result.account = session;
        result.accountChanged = true;
        return true;
    };
    if (Supabase::NeedsRefresh(session) && !renew()) {
        return result;
    }
    result.account = session;

    if (!avatarPath.empty()) {
        const std::optional<std::string> bytes = Files::ReadBytes(avatarPath);
        if (!bytes) {
            result.error = kUnreadablePicture;
            return result;
        }
        const std::wstring name = Files::FileName(avatarPath);
        const std::string upload = ShrinkForUpload(name, *bytes);
        const auto send = [&] {
            Http::Request request;
            request.method = L"POST";
            request.url = Supabase::Url(L"/storage/v1/object/" + StoragePath(session.userId, name));
            request.headers = Supabase::AuthHeaders(session);
            request.headers.emplace_back(L"x-upsert", L"true");
            request.body = upload;
            request.contentType = MimeType(name);
            request.timeout = kAvatarUploadTimeoutMs;
            return Http::Send(request);
        };
        Http::Response response = send();
        if (!renewed && Supabase::TokenRefused(response)) {
            if (!renew()) {
                return result;
            }
            response = send();
        }
        if (!Http::IsSuccess(response.status)) {
            result.error = Supabase::ErrorText(response);
            return result;
        }
    }

    Supabase::AuthResult updated = Supabase::UpdateUser(session, body);
    if (!updated.ok && updated.tokenRefused && !renewed) {
        if (!renew()) {
            return result;
        }
        updated = Supabase::UpdateUser(session, body);
    }
    if (!updated.ok) {
        result.error = updated.error;
        return result;
    }
    result.ok = true;
    result.account.displayName = updated.account.displayName;
    result.account.avatarFile = updated.account.avatarFile;
    return result;
}

void CloudSync::StartUserUpdate(Json::Value body, std::wstring avatarPath,
                                std::function<void(const std::wstring& error)> done) {
    userUpdateBusy = true;
    if (onStatusChanged) {
        onStatusChanged();
    }
    const int32_t startedIn = generation;
    auto work = [session = account, body, avatarPath] { return RunUserUpdate(session, body, avatarPath); };
    auto finish = [this, startedIn, avatarPath, done](const UserResult& result) {
        if (generation != startedIn) {
            // Signed out or in again meanwhile: that already let go of the busy flag, and a later
            // update of the new session may hold it now. The picture stored for a failed update
            // is named nowhere; one the backend took is the user's avatar on the next sign-in.
            if (!result.ok && !avatarPath.empty()) {
                Files::RemoveFile(avatarPath);
            }
            return;
        }
        userUpdateBusy = false;
        // A round may have renewed the session since; its pair is newer and the one the server
        // still accepts.
        if (result.accountChanged && account.refreshToken == result.renewedFrom) {
            account.accessToken = result.account.accessToken;
            account.refreshToken = result.account.refreshToken;
            account.expiresAt = result.account.expiresAt;
        }
        if (result.unauthorized) {
            SignOutLocal();
            if (done) {
                done(kSessionExpired);
            }
            return;
        }
        if (result.ok) {
            const std::wstring old = account.avatarFile;
            account.displayName = result.account.displayName;
            account.avatarFile = result.account.avatarFile;
            if (!avatarPath.empty()) {
                uploaded.insert(Files::FileName(avatarPath));
            }
            if (!old.empty() && old != account.avatarFile) {
                DeleteReplacedAvatarFile(old, account.avatarFile);
                uploaded.erase(old);
                // The old avatar is in the cloud even when this PC never listed it there (another
                // PC may have set it), so its deletion is queued without asking OnImageDeleted.
                QueueItem deletion;
                deletion.kind = L"image";
                deletion.id = old;
                deletion.deleted = true;
                MarkChanged(std::move(deletion));
            }
        } else if (!avatarPath.empty()) {
            Files::RemoveFile(avatarPath);
        }
        if (result.ok || result.accountChanged) {
            SaveAccount();
        }
        SaveState();
        if (onStatusChanged) {
            onStatusChanged();
        }
        if (done) {
            done(result.ok ? std::wstring() : result.error);
        }
    };
    if (!Async::Run(std::move(work), std::move(finish))) {
        userUpdateBusy = false;
        if (!avatarPath.empty()) {
            Files::RemoveFile(avatarPath);
        }
        if (onStatusChanged) {
            onStatusChanged();
        }
        if (done) {
            done(kNotStarted);
        }
    }
}

std::wstring CloudSync::AvatarPath() const {
    // The name comes from the backend's user record: one that is no plain file name in "images"
    // is treated as no picture rather than as a path to somewhere else.
    if (account.avatarFile.empty() || !IsSafePictureName(account.avatarFile)) {
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
    if (const size_t refused = pending.size() - WaitingChanges(); refused != 0) {
        return refused == 1 ? L"No se puede subir 1 cambio"
                            : L"No se pueden subir " + std::to_wstring(refused) + L" cambios";
    }
    if (const size_t count = WaitingChanges(); count != 0) {
        return std::to_wstring(count) + (count == 1 ? L" cambio pendiente" : L" cambios pendientes");
    }
    if (!lastSync.empty()) {
        return L"Sincronizado " + Time::RelativeTime(lastSync);
    }
    return L"Pendiente de sincronizar";
}

}  // namespace Lorvex::Services
