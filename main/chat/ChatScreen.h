#pragma once
// The chat screen: the conversation with the open character or duo. It owns no records: every
// frame it reads the open character, chat, persona, duo and reply mode from the application state
// and keeps only view state of its own (the draft, the message window and its scroll memory, the
// rows' entrance times, the AI writing job). The four regions are drawn by their own methods in
// ChatScreen*.cpp, ChatMessages.cpp, ChatBubble.cpp, ChatComposer.cpp, ChatModeBar.cpp and
// ChatAiWrite.cpp. UI thread only; failures of the services reach the user as toasts.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "domain/Records.h"
#include "foundation/Cancel.h"
#include "main/Screen.h"
#include "main/chat/MessageRows.h"
#include "main/kit/RichText.h"
#include "ui/Icons.h"

namespace Lorvex::Main {

class ChatScreen : public Screen {
public:
    explicit ChatScreen(MainWindow* owner);
    ~ChatScreen() override;

    // Without an open character (it was closed, or a pulled deletion removed it) the window goes
    // home and nothing is drawn.
    void Draw(UI::Ui& ui, const Rect& content) override;
    // Stamps the entrance and goes home when no character is open.
    void OnShow() override;
    // "Chat" without a character, the two names of an open duo, else "Chat con " and the name.
    std::wstring Title() override;

    // Points the view at the open chat: the newest messages, pinned to the bottom, entering anew.
    void ResetForChat();

    // Where a message's hover action bar stands: beside the bubble when it fits, else over its
    // top edge. `surfaceWidth` is the drawing surface's width in DIP.
    static Rect ActionBarRect(float surfaceWidth, bool isUser, bool duoMode, const Rect& bubble);
    // The photo of the first known person who speaks under this name (bubble name or name, any
    // case); the first match ends the search, with or without a photo.
    static std::optional<std::wstring> FindKnownPhoto(const std::wstring& speakerName,
                                                      const std::vector<KnownCharacter>& known);

    // One laid-out message of the message window; built for the frame that draws it.
    struct MessageRow {
        std::shared_ptr<Message> message;
        int index = 0;  // position in the chat
        bool isUser = false;
        bool grouped = false;  // continues the previous message's group: no name line, a small gap
        bool newDay = false;   // a day separator stands above the row
        std::wstring dayKey;   // first 10 characters of the timestamp
        std::wstring speakerName;
        std::wstring timeText;  // "HH:MM", or empty when hidden or unparsable
        std::optional<std::wstring> photoPath;
        Color color;  // the speaker's colour: accent or secondary accent
        Kit::RichText text{std::wstring(), Color{}, Color{}};
        float bubbleWidth = 0;
        float bubbleHeight = 0;
        float textHeight = 0;
        int versionCount = 0;  // stored versions of the message's version group
        float top = 0;         // y inside the scrolled content
        float height = 0;      // full height of the row
    };

    // ---- Regions (each in its own file) ----
    void DrawSidebar(UI::Ui& ui, const Rect& rect);
    void DrawTopBar(UI::Ui& ui, const Rect& rect);
    // The chat menu of the top bar, opened at this rect in window coordinates.
    void ShowChatMenu(const Rect& anchor);
    // The character sheets, the user's sheet and the conversation to the clipboard, with a toast.
    void CopyConversation();
    // label ": " value CR LF; nothing for an empty value.
    static void AppendSheetField(std::wstring& text, const std::wstring& label, const std::wstring& value);
    static void AppendKnownPerson(std::wstring& text, const KnownCharacter& person);
    static std::wstring CharacterSheet(const Character& character, const std::wstring& heading);
    void DrawMessages(UI::Ui& ui, const Rect& area);
    void LayoutMessages(UI::Ui& ui, std::vector<MessageRow>& rows, float maxBubbleWidth);
    void DrawMessage(UI::Ui& ui, const MessageRow& row, const Rect& rect);
    // The hover action bar of a message at this amount of its entrance (0..1).
    void DrawMessageActions(UI::Ui& ui, const MessageRow& row, const Rect& bubble, float amount);
    float ComposerHeight(UI::Ui& ui, float width);
    void DrawComposer(UI::Ui& ui, const Rect& rect);
    void DrawModeBar(UI::Ui& ui, const Rect& rect);
    // Sends the trimmed draft; nothing when it is blank, no chat is open or the AI is writing.
    void Send();
    // Starts a job that writes (false) or polishes (true) the user's message into the composer.
    void AiWrite(bool improve);

    std::wstring composerText;
    int32_t windowStart = -1;  // first message shown; -1 follows the newest
    bool followLatest = true;
    bool snapToBottom = true;
    uint64_t lastMessageCount = 0;
    float contentHeight = 0;
    float viewportHeight = 0;
    float scrollOffset = 0;
    std::shared_ptr<Chat> shownChat;  // the chat the view was last reset for
    double lastResetTime = -10.0;
    std::map<const Message*, double> appearTimes;
    bool aiBusy = false;
    int32_t aiGeneration = 0;
    std::wstring savedDraft;

    // ---- Composer, reply mode and AI writing (ChatComposer.cpp, ChatModeBar.cpp, ChatAiWrite.cpp) ----

    // What an AI writing job's worker owns: copies only, nothing shared with the UI thread but the
    // cancel flag (which the screen never sets: a dropped job runs out and is ignored).
    struct AiWriteJob {
        bool improve = false;
        std::wstring draft;             // trimmed: the text to polish, or the idea to follow (may be empty)
        std::vector<Message> messages;  // the chat's last 20, in order
        std::optional<Character> character;
        std::optional<Persona> persona;                           // as the character sees it
        std::function<void(const std::wstring& text)> onPartial;  // the whole text so far, on the worker
        Async::Cancel cancel;
    };
    // Where the composer's parts stand in its band.
    struct ComposerLayout {
        float column = 0;  // the centred column's width
        Rect modeBar;
        Rect box;  // the rounded input box
        Rect aiButton;
        Rect sendButton;
        Rect editor;
        Rect hint;
    };
    static ComposerLayout LayOutComposer(const Rect& band);
    // The composer's two buttons: the AI menu (or, while a job runs, its spinner and stop), and
    // send, which stops every running reply while one runs.
    void DrawAiControl(UI::Ui& ui, const Rect& rect);
    void DrawSendButton(UI::Ui& ui, const Rect& rect);
    // "ai-stop": drops the running job and puts the draft back at once.
    void CancelAiWrite();
    // The one rule for a job's partial texts and its result: they land only while the job is the
    // newest one and the chat it was started in is still the open one. A job found writing for
    // another chat is dropped here like a cancel, so the draft comes back and nothing of the job
    // reaches that chat's composer. Checked by every posted text, the result and every frame.
    bool AiJobOwnsComposer(int32_t generation);
    // Counts a change made here to the application state's fields (reply mode, participants,
    // stop flags): bumps its revision and calls its on-change callback.
    static void StateChanged();

    std::wstring aiChatId;  // the chat the running job writes for
    // Held weakly by a job's posted tasks, which then find the screen gone instead of dangling.
    std::shared_ptr<ChatScreen*> aiSelf = std::make_shared<ChatScreen*>(this);

    // ---- Conversation list and chat menu (ChatSidebar.cpp, ChatTopBar.cpp) ----
    // One chat of the list at its place in the scrolled content; index orders the entrance.
    void DrawChatRow(UI::Ui& ui, const Rect& row, const std::shared_ptr<Character>& character,
                     const std::shared_ptr<Chat>& chat, size_t index);
    void DrawPersonaCard(UI::Ui& ui, const Rect& card);
    // Whether a character an action held since it was offered is still the open one and still in
    // the application state; actions that find it is not do nothing.
    static bool StillOpen(const std::shared_ptr<Character>& character);
    // The confirmation that deletes the character's chat; the deletion happens only while the
    // character is still open, and an open chat it removes is replaced by the next (or a new) one.
    void AskDeleteChat(const std::shared_ptr<Character>& character, const std::shared_ptr<Chat>& chat);
    void DeleteHeldChat(const std::shared_ptr<Character>& character, const std::shared_ptr<Chat>& chat);
    // The known people of the character and, with a persona, the persona's, in one dialog.
    void OpenKnownPeople(const std::shared_ptr<Character>& character, const std::shared_ptr<Persona>& persona);


    // ---- The message list's own bookkeeping (ChatMessages.cpp) ----
    // The window's measured rows, reused until their text, width or theme change.
    ChatRows::LayoutCache rowLayouts;
    // Rows the latest frame laid out and drew, for tests and the benchmark.
    size_t rowsBuilt = 0;
    size_t rowsDrawn = 0;


    // ---- Message actions and menus (ChatActions.cpp) ----
    // Each action holds the message's record and does nothing when, by the time it runs, no chat
    // is open or the message is no longer in it.

    // The message menu ("more"), at this rect in window coordinates.
    void ShowMessageMenu(const Rect& anchor, const std::shared_ptr<Message>& message);
    // Who a character's reply is shown under: detected, the character, or one of the known people
    // of the character or the persona.
    void ShowSpeakerMenu(const Rect& anchor, const std::shared_ptr<Message>& message);
    // Opens the text edit dialog on the message; saving replaces its text through the state.
    void EditMessage(const std::shared_ptr<Message>& message);
    // The widget id of one button of a message's action bar, named by its icon.
    static uint64_t ActionId(const Message* message, UI::Material::Icon icon);
};

}  // namespace Lorvex::Main
