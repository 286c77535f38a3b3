#pragma once
// The cloud account and the sync state: the session, the change queue that every saved or
// deleted record enters while an account is signed in, what the cloud is known to hold, and the
// callbacks through which the application state hands over its records and takes pulled ones.
// This build keeps the queue and the state in memory only: no account or state file is read or
// written, no timer is armed and no round runs, so nothing leaves the machine yet.
// UI thread only; the object has no lock.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/json/Value.h"

namespace Lorvex::Services {

class CloudSync {
public:
    // The signed-in session; signed in exactly when the refresh token is not empty.
    struct Account {
        std::string accessToken;
        std::string refreshToken;
        int64_t expiresAt = 0;
        std::wstring userId;
        std::wstring email;
        std::wstring displayName;
        std::wstring avatarFile;  // file name in the images folder; empty for none

        bool SignedIn() const { return !refreshToken.empty(); }
    };

    // One queued change. A chat's id is the chat item id "owner:chat"; a picture's its file name.
    struct QueueItem {
        std::wstring kind;  // "character", "chat", "persona" or "image"
        std::wstring id;
        std::wstring parentId;  // a chat's owner id; empty otherwise
        Json::Value data;       // the upload form; null for deletions and pictures
        bool deleted = false;
        std::string hash;  // change hash; "deleted" for a deletion; empty for pictures
        int64_t seq = 0;
    };

    // One row pulled from the cloud.
    struct RemoteItem {
        std::wstring kind;
        std::wstring id;
        std::wstring parentId;
        Json::Value data;
        bool deleted = false;
    };

    static CloudSync& Instance();
    // Tests only: puts the one instance back to its first state (signed out, empty, no callbacks).
    static void ResetForTesting();

    std::function<void(const std::vector<RemoteItem>&)> onPulled;
    std::function<void()> onMergeNeeded;
    std::function<std::set<std::wstring>()> imageNames;
    Account account;
    std::wstring stateUserId;
    std::map<std::wstring, QueueItem> pending;   // by item key
    std::map<std::wstring, std::string> synced;  // item key -> change hash, or "deleted"
    std::set<std::wstring> uploaded;             // picture file names in the cloud bucket
    std::string cursor;
    int64_t lastSeq = 0;
    bool initialized = false;

    bool SignedIn() const { return account.SignedIn(); }

    // Once per process, after the application state installed its callbacks: the account and the
    // sync state, and a state that belongs to another user is dropped.
    void Initialize();
    void LoadAccount();
    void LoadState();
    // Clears everything that belongs to one user's sync state.
    void ResetState();

    // Full path of the account's avatar in the images folder; empty without one.
    std::wstring AvatarPath() const;
    // The one-line sync status the title bar and the account dialog show. A stand-in until the
    // sync rounds exist: the count of waiting changes and the time of the last round join it then.
    std::wstring StatusText() const;

    static std::wstring ItemKey(const std::wstring& kind, const std::wstring& id);
    static std::wstring ItemKey(const RemoteItem& row);
    static std::wstring ChatItemId(const std::wstring& characterId, const std::wstring& chatId);
    // The record's JSON with picture paths cut to their file names: only file names leave the
    // machine. A new value; the argument is not changed.
    static Json::Value StripPhotoPaths(const Json::Value& data);
    // SHA-256 (lower-case hex) of the compact text of the upload form.
    static std::string ChangeHash(const Json::Value& data);
    // True when the path names something inside the data folder's "images" folder.
    static bool IsInImagesDir(const std::wstring& path);

    // The cloud holds this form of the record now: storing it locally must not queue it again.
    void MarkSynced(const std::wstring& kind, const std::wstring& id, const Json::Value& data);

    // The notifiers: each queues its changes while signed in and does nothing otherwise.
    void OnCharacterSaved(const Character& character);
    void OnChatSaved(const Character& owner, const Chat& chat);
    void OnPersonaSaved(const Persona& persona);
    void OnCharacterDeleted(const Character& character);
    void OnChatDeleted(const Character& owner, const Chat& chat);
    void OnPersonaDeleted(const std::wstring& personaId);
    void OnImageDeleted(const std::wstring& fileName);

    void QueueImageFile(const std::wstring& path);
    void MarkChanged(QueueItem item);

    // ---- For the cloud part still to come ----
    // The sync rounds, the authentication client and the status display will use these; nothing
    // in this build reads them yet (ResetState clears the state among them, Start only records a
    // request).

    std::function<void()> onStatusChanged;
    std::function<void(const std::wstring& text, bool error)> onNotice;
    std::wstring lastSync;
    std::wstring lastError;
    bool offline = false;
    bool mergePending = false;
    bool storageListed = false;
    bool authBusy = false;
    bool userUpdateBusy = false;
    bool syncing = false;
    bool again = false;
    bool againFull = false;
    int32_t generation = 0;
    uint32_t flushTimer = 0;
    uint32_t saveTimer = 0;

    // A sync round when signed in and a full round is asked for or changes wait. Rounds do not
    // exist in this build; a request is only recorded while one would run.
    void Start(bool full);
};

}  // namespace Lorvex::Services
