#pragma once
// The cloud account and the sync state: the session, the change queue that every saved or
// deleted record enters while an account is signed in, what the cloud is known to hold, and the
// callbacks through which the application state hands over its records and takes pulled ones.
// The session lives in "account.dat" (protected for the Windows user) and the sync state in
// "cloud.json", both in the data folder; the dispatcher's timers start the upload after a burst of
// changes and write the state shortly after the first one. A round runs on a worker with a copy of
// what it needs (Job) and hands back a Result that ApplyResult brings in on the UI thread.
// UI thread only, except RunRound, RunUserUpdate and the static helpers, which any thread may call;
// the object has no lock. Nothing here reports failure by throwing: an unreadable file counts as
// absent, a write that fails leaves the previous file, and a failed round or account operation
// leaves its Spanish text in lastError or hands it to the caller's callback.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "domain/Records.h"
#include "foundation/json/Value.h"
#include "services/sync/SyncBase.h"

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
    // The queue holds no record forms: the round reads the stored record when it sends it.
    struct QueueItem {
        std::wstring kind;  // "character", "chat", "persona" or "image"
        std::wstring id;
        std::wstring parentId;  // a chat's owner id; empty otherwise
        bool deleted = false;
        // Change hash of the upload form; "deleted" for a deletion; empty for pictures and for a
        // record the merge after a sign-in queued, which its round hashes (and sends only when the
        // cloud does not hold that form already).
        std::string hash;
        uint64_t size = 0;  // bytes of the compact upload form; 0 when not known
        // The compact upload form, only for an item read from an older "cloud.json", whose queue
        // carried the forms; sent as it is.
        std::string form;
        // The record's file, filled in by Start for the round that sends it.
        std::wstring source;
        int64_t seq = 0;
        // Why the cloud refused this form of the item as invalid; while set, the item is set
        // aside: no round sends it until it changes.
        std::wstring refusal;
    };

    // One row pulled from the cloud.
    struct RemoteItem {
        std::wstring kind;
        std::wstring id;
        std::wstring parentId;
        Json::Value data;
        bool deleted = false;
        std::string updatedAt;  // the backend's stamp of the row's last change; empty when absent
        // The change hash of the record the row holds, in the form this PC writes it ("deleted"
        // for a deletion); empty when the round could not tell (an unknown kind, no object).
        std::string hash;
    };

    // One picture object listed in the user's folder of the bucket.
    struct ImageRow {
        std::wstring name;
        std::string createdAt;  // the object's "created_at"; empty when it is not a string
    };

    // What a round's worker gets: copies only, so the UI thread may go on changing the queue.
    struct Job {
        Account account;
        std::vector<QueueItem> items;  // pictures first, then the records, each in key order; none set aside
        std::string cursor;
        bool full = false;
        bool listStorage = false;
        std::map<std::wstring, std::string> synced;  // what the cloud held of each record at the start
        // For a full round: the pictures the records name. Those this PC lacks (a download that
        // failed, a record that came back after its pictures were removed here) are fetched.
        std::vector<std::wstring> pictures;
    };

    // An item the cloud refused as invalid (for its name, size or content; not for the session,
    // a rate limit or a fault of the server), with the text of the refusal.
    struct Refusal {
        int64_t seq = 0;
        std::wstring error;
    };

    // What a round hands back to the UI thread.
    struct Result {
        Account account;  // the job's session, with renewed tokens when the round renewed it
        bool accountChanged = false;
        bool unauthorized = false;  // the backend refused the refresh token: the session is over
        bool offline = false;
        std::wstring error;         // why the round ended early; empty when it ran to its end
        std::vector<int64_t> done;  // seq of every item the cloud confirmed, in that order
        // For record items of `done`: the hash of the form the cloud holds now, when it is not the
        // queued one (the record changed since it was queued, was merged, or the cloud's later edit
        // won); empty when nothing was sent because the record is gone.
        std::map<int64_t, std::string> sent;
        std::vector<Refusal> refused;  // items refused as invalid; the round went on without them
        // Every record the cloud confirmed (item key, and the hash of the form it holds now, or
        // "deleted"), also when the record changed again during the round and stays queued.
        std::vector<std::pair<std::wstring, std::string>> agreed;
        std::vector<std::wstring> downloaded;  // pictures the round fetched: the cloud holds them
        bool pulled = false;
        // The rows that changed since this PC last agreed with the cloud on them (rows it agreed
        // on already are left out); the queued changes of the same records were held back, to be
        // merged with these rows on the UI thread and sent by a later round.
        std::vector<RemoteItem> items;
        std::string cursor;
        bool listed = false;
        std::vector<ImageRow> images;
        // The refresh token the round's renewal replaced: a pair renewed since by someone else is
        // newer and must not be overwritten by this one.
        std::string renewedFrom;
    };

    // Outcome of a profile or password update.
    struct UserResult {
        bool ok = false;
        bool accountChanged = false;
        bool unauthorized = false;
        Account account;
        std::wstring error;
        std::string renewedFrom;  // as in Result
    };

    static CloudSync& Instance();
    // Tests only: puts the one instance back to its first state (signed out, empty, no callbacks).
    static void ResetForTesting();

    // Applies pulled rows; returns the item keys of rows it left for a later pull (a chat that a
    // running reply writes into), so the cursor does not move past them.
    std::function<std::vector<std::wstring>(const std::vector<RemoteItem>&)> onPulled;
    std::function<void()> onMergeNeeded;
    std::function<std::set<std::wstring>()> imageNames;
    // The pictures the records name, as they spell them: a full round fetches those this PC lacks.
    std::function<std::vector<std::wstring>()> pictureNames;
    // Fills in `source` of each record item: the file of the stored record it stands for.
    std::function<void(std::vector<QueueItem>& items)> locateRecords;
    Account account;
    std::wstring stateUserId;
    std::map<std::wstring, QueueItem> pending;   // by item key
    std::map<std::wstring, std::string> synced;  // item key -> change hash, or "deleted"
    std::set<std::wstring> uploaded;             // picture file names in the cloud bucket
    std::string cursor;
    int64_t lastSeq = 0;
    bool initialized = false;

    bool SignedIn() const { return account.SignedIn(); }
    // The queued changes a round may send: every pending item but those set aside.
    size_t WaitingChanges() const;
    // The items set aside, each with its own reason ("La imagen «x.png»: …"), in key order; shown
    // for as long as they stay aside.
    std::vector<std::wstring> SetAsideReasons() const;

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
    // Also takes the place of an armed state save.
    void SaveState();
    // Clears everything that belongs to one user's sync state.
    void ResetState();

    // Re-arms the upload timer: a round starts 2.5 s after the last change of a burst.
    void ScheduleFlush();
    // Arms the state save 0.4 s ahead unless one is armed already; later changes do not delay it.
    void SaveStateSoon();
    // Shut-down drops the dispatcher's timers: an armed state save is written now instead.
    void FlushPendingSave();
    // The program's end: the state is written, marked as closed. A start that finds it still open
    // (the process was killed, the system went down) merges every record again, as after a
    // sign-in: a record written just before may never have reached the queue.
    void CloseState();

    // Full path of the account's avatar in the images folder; empty without one.
    std::wstring AvatarPath() const;
    // The one-line sync status the title bar and the account dialog show: signed out, a running
    // round, no connection, the last round's error, the changes the cloud refused, the changes
    // waiting, or when the last round ended.
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
    // True when the table stamp a ("updated_at") is an earlier time than b. Compared as times:
    // the fraction has no fixed width and the offset may differ. Texts that are no time compare
    // as bytes.
    static bool StampBefore(const std::string& a, const std::string& b);

    // The cloud holds this form of the record now: storing it locally must not queue it again.
    void MarkSynced(const std::wstring& kind, const std::wstring& id, const Json::Value& data);
    // This PC now agrees with the pulled row (it stored it, or merged it into its own record):
    // `synced` and the record's base take the row's form, or its deletion.
    void Agree(const RemoteItem& row);
    // This PC agrees the cloud deleted the record, yet keeps what it changed of it, to send again:
    // the base stays, so a later merge still knows the kept lines as older than those added since.
    void AgreeDeletedKeepingBase(const std::wstring& key);
    // What this PC last agreed with the cloud on for the record; none when it never did (or the
    // base cannot be read), which the merges take as a union.
    std::optional<SyncBase::RecordBase> BaseFor(const std::wstring& key) const;
    // Whether the record's upload form differs from what this PC last agreed with the cloud on:
    // a change here since, or a record the cloud never had from here.
    bool ChangedSinceAgreed(const std::wstring& key, const Json::Value& record) const;
    // Drops the queued change of the record: a merge made it the cloud's form already.
    void ForgetQueued(const std::wstring& key);

    // The notifiers: each queues its changes while signed in and does nothing otherwise.
    void OnCharacterSaved(const Character& character);
    void OnChatSaved(const Character& owner, const Chat& chat);
    void OnPersonaSaved(const Persona& persona);
    void OnCharacterDeleted(const Character& character);
    void OnChatDeleted(const Character& owner, const Chat& chat);
    void OnPersonaDeleted(const std::wstring& personaId);
    void OnImageDeleted(const std::wstring& fileName);
    // The picture took a new name: an upload of the old name waiting in the queue is dropped (its
    // file is gone; the new name is queued with the record that uses it).
    void OnImageRenamed(const std::wstring& oldName);
    // The record was deleted elsewhere and stays here: its pictures are queued whatever the
    // bucket was known to hold, since the deletion there may have taken them.
    void QueuePicturesAgain(const std::vector<std::wstring>& paths);

    void QueueImageFile(const std::wstring& path);
    // Queues a change. A record's item is hashed from `record`, its JSON as its writer gives it;
    // without one (and not a deletion) the item waits for its round to read and hash the stored
    // record. The tree is not kept.
    void MarkChanged(QueueItem item, const Json::Value& record = Json::Value());
    // The merge after a sign-in: every local record, unread, unless a change of it is queued
    // already. Arms nothing: the caller writes the state and starts the round.
    void QueueForMerge(const std::wstring& kind, const std::wstring& id, const std::wstring& parentId = {});
    // Whether a change of one of the character's chats, not a deletion, is queued.
    bool HoldsLiveChatOf(const std::wstring& characterId) const;
    static bool StampBefore(const std::wstring& a, const std::wstring& b);

    // ---- Session and round state read by the status display and the rounds ----

    std::function<void()> onStatusChanged;
    std::function<void(const std::wstring& text, bool error)> onNotice;
    std::wstring lastSync;
    std::wstring lastError;
    bool offline = false;
    bool mergePending = false;
    bool stateOpen = false;  // this process has the state in use; "cloud.json" says so until CloseState
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
    // the request is only recorded. roundStarted, when set, is told of every round that begins.
    void Start(bool full);
    std::function<void(bool full)> roundStarted;
    // Tests only: runs on the round's worker in place of RunRound; empty for the real round. Start
    // hands the worker its own copy, so the worker never reads this field.
    std::function<Result(const Job&)> roundWorker;

    // ---- The round (worker side) ----

    // Uploads the job's pictures and records, and for a full job pulls, fetches missing pictures
    // and lists the bucket. Any thread but the UI thread; touches no field of the object.
    static Result RunRound(const Job& job);
    // The bytes to upload for a picture: PNG and JPEG files over 512 KiB re-encoded when smaller.
    static std::string ShrinkForUpload(const std::wstring& fileName, const std::string& bytes);
    static std::wstring MimeType(const std::wstring& fileName);
    // "velmorin-images/<user id>/<file name>", both parts URL-encoded.
    static std::wstring StoragePath(const std::wstring& userId, const std::wstring& fileName);
    // A name from the server may become a file name in the images folder only when this holds:
    // a plain file name with no separator, ':', "..", device name, or trailing dot or space.
    static bool IsSafePictureName(std::wstring_view name);
    // Whether the bucket takes the name as part of an object's key: ASCII letters and digits and
    // a few plain marks only (storage refuses every other character, accented letters among them).
    static bool IsStorageSafeName(std::wstring_view name);

    // ---- Applying a round's result (UI thread) ----

    void ApplyResult(Result result, int32_t roundGeneration, bool full);
    void CleanOrphanImages(const std::vector<ImageRow>& rows);

    // ---- Account operations (UI thread) ----

    void SignIn(const std::wstring& email, const std::wstring& password,
                std::function<void(const std::wstring& error)> done);
    void SignUp(const std::wstring& email, const std::wstring& password,
                std::function<void(const std::wstring& error, bool needsConfirmation)> done);
    void SignOut();
    // photo: no value keeps the photo, an empty text removes it, a path is a newly picked picture.
    void UpdateProfile(const std::wstring& name, const std::optional<std::wstring>& photo,
                       std::function<void(const std::wstring& error)> done);
    void ChangePassword(const std::wstring& password, std::function<void(const std::wstring& error)> done);
    void AdoptSession(const Account& session);
    void SignOutLocal();
    // Worker side of an update; touches no field of the object.
    static UserResult RunUserUpdate(Account session, const Json::Value& body, const std::wstring& avatarPath);

private:
    // The parts of ApplyResult: a renewed pair taken unless a newer one is held, the confirmed
    // items out of the queue by seq, and the pulled rows applied with the cursor moved after them.
    void TakeRenewedSession(const Account& renewed, const std::string& renewedFrom);
    void ConfirmDone(const Result& result);
    // Sets the refused items aside, each with its reason.
    void SetAside(const std::vector<Refusal>& refused);
    // pulledTo empty: the cursor stays (a failed round hands over only the rows it resolved).
    void ApplyPulledRows(const std::vector<RemoteItem>& rows, const std::string& pulledTo);
    // Deletes the local file of an avatar that another one replaced. The old name came from the
    // backend: only a plain file name is a path, and a name that differs from the new one only in
    // letter case is the same file.
    static void DeleteReplacedAvatarFile(const std::wstring& old, const std::wstring& current);

    void StartUserUpdate(Json::Value body, std::wstring avatarPath,
                         std::function<void(const std::wstring& error)> done);
};

}  // namespace Lorvex::Services
