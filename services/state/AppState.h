#pragma once
// The application state: the one owner of every character, persona and chat of the running
// program, what is open, the reply jobs that write the characters' lines, and the bookkeeping of
// the pictures in the "images" folder. Screens read its fields anew every frame and call its
// operations; every operation writes its files first, then tells the cloud sync, then bumps
// `revision` and calls OnChanged. The in-memory state changes even when a file cannot be written;
// the saves of characters and personas report whether their files were written, and a chat that
// cannot be written is reported through OnChatSaveFailed. UI thread only; nothing here is locked.

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Cancel.h"
#include "services/ai/AiReply.h"
#include "services/ai/DeepSeekService.h"
#include "services/sync/CloudSync.h"

// winuser.h maps SendMessage to SendMessageW; the application state's own keeps its name.
#undef SendMessage

namespace Lorvex::Services {

class AppState {
public:
    // One reply job not yet applied. Found by the identity of its message and chat.
    struct RunningReply {
        std::shared_ptr<Message> message;  // the pending message being written
        std::shared_ptr<Chat> chat;        // the chat it stood in when the job started
        Async::Cancel cancel;              // shared with the worker
    };

    std::vector<std::shared_ptr<Character>> characters;  // newest activity first
    std::vector<std::shared_ptr<Persona>> personas;      // NameLess order
    std::shared_ptr<Character> currentCharacter;
    std::shared_ptr<Chat> currentChat;  // an element of currentCharacter's chat list, or empty
    std::shared_ptr<Persona> currentPersona;
    bool dualMode = false;
    std::shared_ptr<Character> dualPartner;
    std::vector<std::wstring> participantIds;                    // who answers in the open duo, in order
    bool manualReplies = false;                                  // never saved
    std::map<std::wstring, std::vector<std::wstring>> versions;  // version group -> texts, this run only
    std::function<void()> OnChanged;
    std::function<void(const std::shared_ptr<Message>&, const std::wstring& errorText)> OnReplyFinished;
    // A chat file could not be written. Called once when chat writes start failing, not again
    // while they go on failing, and again only after one wrote every file: the user hears of the
    // fault once, while each later change still tries to save.
    std::function<void()> OnChatSaveFailed;
    int revision = 0;
    std::map<std::wstring, std::vector<std::wstring>> imageRefs;  // owner id -> picture paths
    DeepSeekService service;
    std::vector<RunningReply> runningReplies;

    static AppState& Instance();
    // Tests only: puts the one instance back to its first state. Jobs still running then end
    // on the fresh state, so tests let them finish first.
    static void ResetForTesting();

    // ---- Start and pictures ----

    // Folders, records, duo lists, order, picture references, the cloud sync's callbacks and
    // start, then the removal of pictures no record uses; that removal is skipped when any record
    // or chat file could not be loaded.
    void Initialize();

    // Name order of characters or personas (domain/NameOrder.h), the order the store sorts personas in.
    template <class Record>
    static bool NameLess(const std::shared_ptr<Record>& a, const std::shared_ptr<Record>& b) {
        return NameLessText(a->name, b->name);
    }
    static bool NameLessText(const std::wstring& a, const std::wstring& b);

    // Gives the two halves of each duo one chat list: an empty half takes the other's list, and
    // two lists with chats are merged (newest first; of a chat id both hold, the open chat's or a
    // running reply's record, else the one whose newest settled line is newer, then the longer
    // one, else the first half's).
    void LinkSharedChats();
    // Whether the chat is the open one or a running reply stands in it.
    bool IsChatInUse(const std::shared_ptr<Chat>& chat) const;

    // The owner's current picture paths; paths it no longer uses are released.
    void SetImages(const std::wstring& ownerId, const std::vector<std::wstring>& paths, bool notifyCloud);
    void SetImages(const Character& owner, bool notifyCloud);
    void SetImages(const Persona& owner, bool notifyCloud);
    void ForgetImages(const std::wstring& ownerId, bool notifyCloud);
    // Deletes the picture when it lies in "images" and nothing refers to its name any more.
    void ReleaseImage(const std::wstring& path, bool notifyCloud);
    // Whether a record or the account's avatar names a picture of this file name, letter case ignored.
    bool NamesImage(const std::wstring& name) const;
    // File names of the pictures in "images" the records name, as the records spell them (a name
    // may come twice).
    std::vector<std::wstring> PictureNamesInUse() const;
    // Lower-cased file names of every picture a record or the account's avatar uses.
    std::set<std::wstring> ImageNamesInUse() const;
    void CollectUnusedImages();
    // Brings each known person's photo into "images"; a photo that cannot be stored is dropped.
    void StoreKnownImages(std::vector<KnownCharacter>& known);
    // Gives every picture of "images" that a record uses under a name the cloud refuses (any
    // letter outside ASCII, as older versions kept the picked file's name) a new plain name: the
    // picture is copied, each record naming it is pointed at the copy, written and queued, and
    // the old name goes once no record names it. A record whose file cannot be written stays on
    // the old name, with its picture, for a later call to try again.
    void GiveSafePictureNames();

    // ---- The cloud's view ----

    // The merge after a sign-in: every picture, persona, character and chat queued by its key.
    void QueueEverythingForMerge();
    // The file of each record item's stored record.
    void LocateRecords(std::vector<CloudSync::QueueItem>& items) const;

    // ---- Characters, duos and chats ----

    void OpenCharacter(const std::shared_ptr<Character>& character);
    void SelectChat(const std::shared_ptr<Chat>& chat);
    std::shared_ptr<Chat> NewChat();
    void CloseChat();
    void SetChatPersona(const std::shared_ptr<Persona>& persona);
    // True when every file of the open chat was written, or no chat is open.
    bool SaveCurrentChat();
    // The saves and the duo report whether every file was written; the records in memory change
    // either way. A record whose files were not all written is neither queued for the cloud nor
    // given new picture references (so no picture its old file names is released).
    bool SaveCharacter(const std::shared_ptr<Character>& character);
    void DeleteCharacter(const std::shared_ptr<Character>& character);
    void DeleteAllChats(const std::shared_ptr<Character>& character);
    void DeleteChat(const std::shared_ptr<Character>& character, const std::shared_ptr<Chat>& chat);
    bool CreateDuo(const std::shared_ptr<Character>& first, const std::shared_ptr<Character>& second);
    bool SavePersona(const std::shared_ptr<Persona>& persona);
    void DeletePersona(const std::shared_ptr<Persona>& persona);
    // The owners of the open chat: the open character, then the duo partner, each when set.
    std::vector<std::shared_ptr<Character>> CurrentCharacters() const;
    // Copies of the first n messages of the open chat.
    std::vector<Message> HistoryBefore(size_t n) const;

    // ---- Sending and reply jobs ----

    void SendMessage(const std::wstring& text);
    std::vector<std::shared_ptr<Character>> NextSpeakers() const;
    void ReplyNow(const std::shared_ptr<Character>& speaker);
    std::shared_ptr<Message> AppendReplyMessage(const std::shared_ptr<Character>& speaker);
    // Starts the job that writes the pending message; nothing unless it stands in the open chat.
    void StartReply(const std::shared_ptr<Message>& message, const std::shared_ptr<Character>& speaker,
                    const std::optional<std::wstring>& versionGroup);

    // ---- Regenerate, edit, delete and retry ----

    void RegenerateReply(const std::shared_ptr<Message>& message);
    void EditMessage(const std::shared_ptr<Message>& message, const std::wstring& text);
    void DeleteMessage(const std::shared_ptr<Message>& message);
    void RetryReply(const std::shared_ptr<Message>& message);

    // ---- Recap and continuation ----

    std::wstring BuildRecap() const;
    std::shared_ptr<Chat> ContinueChat();

    // ---- Pulled items ----

    // Returns the item keys of rows left for a later pull: a chat a running reply writes into.
    std::vector<std::wstring> ApplyRemoteItems(const std::vector<CloudSync::RemoteItem>& items);

private:
    // The UI-thread end of a reply job.
    void ApplyReply(const std::shared_ptr<Chat>& chat, const std::shared_ptr<Message>& message, const AiReply& reply,
                    const std::optional<std::wstring>& versionGroup,
                    const std::vector<std::shared_ptr<Character>>& owners);

    void Changed();
    // Writes the chat for each owner that still holds it, then queues it for the cloud (also when
    // the file failed, so the cloud copy still follows). False when a file could not be written.
    bool WriteChat(const std::vector<std::shared_ptr<Character>>& owners, const std::shared_ptr<Chat>& chat);
    std::shared_ptr<Character> FindCharacter(const std::wstring& id) const;
    // The character and every character that shares its chat list, in list order.
    std::vector<std::shared_ptr<Character>> HoldersOf(const std::shared_ptr<Character>& character) const;
    // The open character, or in a duo the character the message names when it is loaded.
    std::shared_ptr<Character> SpeakerOf(const Message& message) const;
    void CancelRepliesIn(const std::shared_ptr<Chat>& chat);
    // ---- Pulled items (AppStatePull.cpp) ----
    // Whether the character, or one of its chats, changed here since this PC last agreed with the
    // cloud on it so that something outlives a deletion from elsewhere, which then leaves it.
    bool CharacterChangedSinceAgreed(const Character& character) const;
    // The lines of the chat that outlive its deletion elsewhere: those changed or added here since
    // this PC last agreed with the cloud on it. None when it holds only lines agreed on, or when
    // what changed here was only deletions.
    std::vector<std::shared_ptr<Message>> LinesOutlivingDeletion(const std::wstring& key, const Chat& chat) const;
    // Closes it if open and removes it with its folder, as a deletion from elsewhere does.
    void RemoveCharacterHere(const std::shared_ptr<Character>& character);
    // The character deleted here, as this PC last agreed with the cloud on it, stored again; null
    // when there is no such agreement or it cannot be stored.
    std::shared_ptr<Character> RestoreCharacter(const std::wstring& id);
    // Sets the flag of every reply whose message no longer stands in the open chat.
    void CancelDetachedReplies();

    // Queues the deletion of every record this PC agreed with the cloud on and no longer holds:
    // deleted while signed out, or by a run that ended before its queue reached the disk.
    void QueueDeletionsOfAgreedRecords();

    bool chatSaveFailing_ = false;  // the last chat write failed and OnChatSaveFailed was called
    // Record files the start could not read: their records are not in the lists, which then
    // cannot tell what was deleted.
    size_t unreadRecords_ = 0;
};

}  // namespace Lorvex::Services
