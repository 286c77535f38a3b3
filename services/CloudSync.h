#pragma once
// The cloud account and the sync state: the session, the change queue that every saved or
// deleted record enters while an account is signed in, what the cloud is known to hold, and the
// callbacks through which the application state hands over its records and takes pulled ones.
// The session lives in "account.dat" (protected for the Windows user) and the sync state in
// "cloud.json", both in the data folder; the dispatcher's timers start the upload after a burst of
// changes and write the state shortly after the first one. The round itself does not exist yet:
// Start only decides whether one would begin.
// UI thread only; the object has no lock. Nothing here reports failure: an unreadable file counts
// as absent and a write that fails leaves the previous file.

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
    // sync state, a state that belongs to another user dropped, and the sync timers armed.
    void Initialize();

    static std::wstring AccountPath();
    static std::wstring StatePath();
    // Each load changes the object only when its file was read whole; otherwise it stays as it was
    // (at start: signed out, and an empty state).
    void LoadAccount();
    void LoadState();
    // Both write nothing while signed out, so a file that could not be read stays for the next
    // sign-in to replace.
    void SaveAccount() const;
    void SaveState() const;
    // Clears everything that belongs to one user's sync state.
    void ResetState();

    // Re-arms the upload timer: a round starts 2.5 s after the last change of a burst.
    void ScheduleFlush();
    // Arms the state save 0.4 s ahead unless one is armed already; later changes do not delay it.
    void SaveStateSoon();
    // Shut-down drops the dispatcher's timers: an armed state save is written now instead.
    void FlushPendingSave();

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

    // ---- Session and round state read by the status display and the rounds ----

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

    // A sync round when signed in and a full round is asked for or changes wait; while one runs
    // the request is only recorded. Rounds do not exist in this build: where one would begin,
    // roundStarted is called (when set) and nothing runs.
    void Start(bool full);
    std::function<void(bool full)> roundStarted;
};

}  // namespace Lorvex::Services
