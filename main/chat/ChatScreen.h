#pragma once
// The chat screen: the conversation with the open character or duo. For now a stand-in that
// shows its title; it keeps the view state that follows the open chat and sends the window home
// whenever no character is open. UI thread only; nothing fails.

#include <cstdint>
#include <map>
#include <memory>

#include "domain/Records.h"
#include "main/Screen.h"

namespace Lorvex::Main {

class ChatScreen : public Screen {
public:
    explicit ChatScreen(MainWindow* owner) : Screen(owner) {}

    // Without an open character (it was closed, or a pulled deletion removed it) the window goes
    // home and nothing is drawn.
    void Draw(UI::Ui& ui, const Rect& content) override;
    // Stamps the entrance and goes home when no character is open.
    void OnShow() override;
    // "Chat" without a character, the two names of an open duo, else "Chat con " and the name.
    std::wstring Title() override;

    // Points the view at the open chat: the newest messages, pinned to the bottom, entering anew.
    void ResetForChat();

    int32_t windowStart = -1;  // first message shown; -1 follows the newest
    bool followLatest = true;
    bool snapToBottom = true;
    std::shared_ptr<Chat> shownChat;  // the chat the view was last reset for
    double lastResetTime = -10.0;
    std::map<const Message*, double> appearTimes;
};

}  // namespace Lorvex::Main
